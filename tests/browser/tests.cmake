vexel_add_test(test_browserwindows ${CMAKE_CURRENT_LIST_DIR}/test_browserwindows.cpp)
vexel_add_test(test_newwindows ${CMAKE_CURRENT_LIST_DIR}/test_newwindows.cpp)
vexel_add_test(test_webengine ${CMAKE_CURRENT_LIST_DIR}/test_webengine.cpp)
vexel_add_test(test_webengine_extras ${CMAKE_CURRENT_LIST_DIR}/test_webengine_extras.cpp)
