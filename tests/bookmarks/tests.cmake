# SPDX-License-Identifier: GPL-3.0-or-later
vexel_add_test(test_bookmarkfile ${CMAKE_CURRENT_LIST_DIR}/test_bookmarkfile.cpp ${CMAKE_CURRENT_LIST_DIR}/bookmarktree.h)
vexel_add_test(test_bmedit ${CMAKE_CURRENT_LIST_DIR}/test_bmedit.cpp ${CMAKE_CURRENT_LIST_DIR}/bookmarktree.h
  ${CMAKE_CURRENT_LIST_DIR}/editortree.h)
vexel_add_test(test_bookmarkmenu ${CMAKE_CURRENT_LIST_DIR}/test_bookmarkmenu.cpp ${CMAKE_CURRENT_LIST_DIR}/bookmarktree.h)
vexel_add_test(test_bookmarkhtml ${CMAKE_CURRENT_LIST_DIR}/test_bookmarkhtml.cpp ${CMAKE_CURRENT_LIST_DIR}/bookmarktree.h
  ${CMAKE_CURRENT_LIST_DIR}/editortree.h)
