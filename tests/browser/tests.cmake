# SPDX-License-Identifier: GPL-3.0-or-later
vexel_add_test(test_browserwindows ${CMAKE_CURRENT_LIST_DIR}/test_browserwindows.cpp)
vexel_add_test(test_newwindows ${CMAKE_CURRENT_LIST_DIR}/test_newwindows.cpp)
vexel_add_test(test_webengine ${CMAKE_CURRENT_LIST_DIR}/test_webengine.cpp)
vexel_add_test(test_hungpages ${CMAKE_CURRENT_LIST_DIR}/test_hungpages.cpp)
vexel_add_test(test_pagediff ${CMAKE_CURRENT_LIST_DIR}/test_pagediff.cpp)
vexel_add_test(test_filterloading ${CMAKE_CURRENT_LIST_DIR}/test_filterloading.cpp)
# Engine rules per site: the rules file and which rule an address meets.
vexel_add_test(test_enginerules ${CMAKE_CURRENT_LIST_DIR}/test_enginerules.cpp)
# Its own entry (no Qt Test): it runs itself as child processes, one per
# restart; the Gecko slot's on the X server the test run provides.
add_executable(test_persistence ${CMAKE_CURRENT_LIST_DIR}/test_persistence.cpp)
target_link_libraries(test_persistence PRIVATE vexel_testsupport vexel_webengine_objects)
add_test(NAME test_persistence COMMAND test_persistence --engine ie)
set_tests_properties(test_persistence PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
if(TARGET vexel-webkit)
  add_dependencies(test_persistence vexel-webkit)
  add_test(NAME test_persistence_gecko COMMAND test_persistence --engine gecko)
  set_tests_properties(test_persistence_gecko PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=xcb")
endif()
vexel_add_test(test_firstwindow ${CMAKE_CURRENT_LIST_DIR}/test_firstwindow.cpp X11)
target_link_libraries(test_firstwindow PRIVATE PkgConfig::XCB)
vexel_add_test(test_enginepart ${CMAKE_CURRENT_LIST_DIR}/test_enginepart.cpp X11)
add_dependencies(test_enginepart vexel)
