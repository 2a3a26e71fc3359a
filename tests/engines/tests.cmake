# What both engines do alike, one row per class ID, on the X server the test
# run provides; the Gecko rows only where the engine host is built.
vexel_add_test(test_engine_contract ${CMAKE_CURRENT_LIST_DIR}/test_engine_contract.cpp X11)
target_include_directories(test_engine_contract PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../webkit)
target_link_libraries(test_engine_contract PRIVATE PkgConfig::XCB)
if(TARGET vexel-webkit)
  target_compile_definitions(test_engine_contract PRIVATE VEXEL_GECKO_ROWS)
  add_dependencies(test_engine_contract vexel-webkit)
endif()
