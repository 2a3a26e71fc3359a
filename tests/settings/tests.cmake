vexel_add_test(test_profile ${CMAKE_CURRENT_LIST_DIR}/test_profile.cpp)
