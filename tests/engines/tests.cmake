# What both engines do alike, one row per class ID, on the X server the test
# run provides; the Gecko rows only where the engine host is built.
function(vexel_engine_test name)
  vexel_add_test(${name} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${name}.cpp X11)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../webkit)
  target_link_libraries(${name} PRIVATE PkgConfig::XCB)
  if(TARGET vexel-webkit)
    target_compile_definitions(${name} PRIVATE VEXEL_GECKO_ROWS)
    add_dependencies(${name} vexel-webkit)
  endif()
endfunction()

vexel_engine_test(test_engine_contract)
# Our error pages, on local servers.
vexel_engine_test(test_errorpages)
# Find counts, text encodings, saved histories and compositions, on a
# Japanese system (installed as a C library locale or not).
vexel_engine_test(test_pagetools)
set_tests_properties(test_pagetools PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=xcb;LANG=ja_JP.UTF-8")
