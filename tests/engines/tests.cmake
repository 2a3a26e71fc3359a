# What both engines do alike, one row per class ID, on the X server the test
# run provides; the Gecko rows only where the engine host is built.
vexel_add_test(test_engine_contract ${CMAKE_CURRENT_LIST_DIR}/test_engine_contract.cpp X11)
target_include_directories(test_engine_contract PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../webkit)
target_link_libraries(test_engine_contract PRIVATE PkgConfig::XCB)
if(TARGET vexel-webkit)
  target_compile_definitions(test_engine_contract PRIVATE VEXEL_GECKO_ROWS)
  add_dependencies(test_engine_contract vexel-webkit)
endif()

# Our error pages in both engines, on local servers.
vexel_add_test(test_errorpages ${CMAKE_CURRENT_LIST_DIR}/test_errorpages.cpp X11)
target_include_directories(test_errorpages PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../webkit)
target_link_libraries(test_errorpages PRIVATE PkgConfig::XCB)
if(TARGET vexel-webkit)
  target_compile_definitions(test_errorpages PRIVATE VEXEL_GECKO_ROWS)
  add_dependencies(test_errorpages vexel-webkit)
endif()

# Find counts, text encodings, saved histories and compositions, per engine.
vexel_add_test(test_pagetools ${CMAKE_CURRENT_LIST_DIR}/test_pagetools.cpp X11)
# On a Japanese system, installed as a C library locale or not.
set_tests_properties(test_pagetools PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=xcb;LANG=ja_JP.UTF-8")
target_include_directories(test_pagetools PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../webkit)
if(TARGET vexel-webkit)
  target_compile_definitions(test_pagetools PRIVATE VEXEL_GECKO_ROWS)
  add_dependencies(test_pagetools vexel-webkit)
endif()
