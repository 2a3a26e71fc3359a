# SPDX-License-Identifier: GPL-3.0-or-later
# The filter matcher is plain C++ without the frame: its test links the
# matcher and Qt Test alone.
add_executable(test_filterengine ${CMAKE_CURRENT_LIST_DIR}/test_filterengine.cpp)
target_link_libraries(test_filterengine PRIVATE vexel_blocking Qt6::Test)
add_test(NAME test_filterengine COMMAND test_filterengine)
set_tests_properties(test_filterengine PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
