# SPDX-License-Identifier: GPL-3.0-or-later
vexel_add_test(test_mainform ${CMAKE_CURRENT_LIST_DIR}/test_mainform.cpp)
vexel_add_test(test_bands ${CMAKE_CURRENT_LIST_DIR}/test_bands.cpp)
vexel_add_test(test_windowsession ${CMAKE_CURRENT_LIST_DIR}/test_windowsession.cpp)
vexel_add_test(test_addressreader ${CMAKE_CURRENT_LIST_DIR}/test_addressreader.cpp)
vexel_add_test(test_framekeys ${CMAKE_CURRENT_LIST_DIR}/test_framekeys.cpp)
vexel_add_test(test_renderpath ${CMAKE_CURRENT_LIST_DIR}/test_renderpath.cpp)
