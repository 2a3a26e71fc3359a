vexel_add_test(test_browserwindows ${CMAKE_CURRENT_LIST_DIR}/test_browserwindows.cpp)
vexel_add_test(test_newwindows ${CMAKE_CURRENT_LIST_DIR}/test_newwindows.cpp)
vexel_add_test(test_webengine ${CMAKE_CURRENT_LIST_DIR}/test_webengine.cpp)
vexel_add_test(test_webengine_extras ${CMAKE_CURRENT_LIST_DIR}/test_webengine_extras.cpp)
# Its own entry (no Qt Test): it runs itself twice as a child process.
add_executable(test_persistence ${CMAKE_CURRENT_LIST_DIR}/test_persistence.cpp)
target_link_libraries(test_persistence PRIVATE vexel_testsupport)
add_test(NAME test_persistence COMMAND test_persistence)
vexel_add_test(test_firstwindow ${CMAKE_CURRENT_LIST_DIR}/test_firstwindow.cpp X11)
