# SPDX-License-Identifier: GPL-3.0-or-later
vexel_add_test(test_history ${CMAKE_CURRENT_LIST_DIR}/test_history.cpp ${CMAKE_CURRENT_LIST_DIR}/test_historyviews.cpp
  ${CMAKE_CURRENT_LIST_DIR}/historytests.h)
