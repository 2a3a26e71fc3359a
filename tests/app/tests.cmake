vexel_add_test(test_mainform ${CMAKE_CURRENT_LIST_DIR}/test_mainform.cpp)
vexel_add_test(test_bands ${CMAKE_CURRENT_LIST_DIR}/test_bands.cpp)
vexel_add_test(test_windowsession ${CMAKE_CURRENT_LIST_DIR}/test_windowsession.cpp)
