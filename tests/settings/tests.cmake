# SPDX-License-Identifier: GPL-3.0-or-later
vexel_add_test(test_profile ${CMAKE_CURRENT_LIST_DIR}/test_profile.cpp)
vexel_add_test(test_shbffex ${CMAKE_CURRENT_LIST_DIR}/test_shbffex.cpp)
vexel_add_test(test_option ${CMAKE_CURRENT_LIST_DIR}/test_option.cpp)
vexel_add_test(test_atomicfile ${CMAKE_CURRENT_LIST_DIR}/test_atomicfile.cpp)
