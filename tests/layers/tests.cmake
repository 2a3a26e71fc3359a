# SPDX-License-Identifier: GPL-3.0-or-later
# The floors hold: a source of a lower floor that includes a higher floor's
# header does not build. The probe is built only by this test.
add_library(upward_include_probe OBJECT EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/upward_include.cpp)
target_link_libraries(upward_include_probe PRIVATE vexel_browser)
add_test(NAME test_layers COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target upward_include_probe)
set_tests_properties(test_layers PROPERTIES PASS_REGULAR_EXPRESSION "app/mainform.h: No such file")
