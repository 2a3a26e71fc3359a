# SPDX-License-Identifier: GPL-3.0-or-later
# What both engines do alike, one row per class ID, on the X server the test
# run provides; the Gecko rows only where the engine host is built.
function(vexel_engine_test name)
  vexel_add_test(${name} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${name}.cpp
    ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../webkit/webkittests.h X11)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../webkit)
  target_link_libraries(${name} PRIVATE PkgConfig::XCB)
  if(TARGET vexel-webkit)
    target_compile_definitions(${name} PRIVATE VEXEL_GECKO_ROWS)
    add_dependencies(${name} vexel-webkit)
  endif()
endfunction()

vexel_engine_test(test_engine_contract)
target_sources(test_engine_contract PRIVATE ${CMAKE_CURRENT_LIST_DIR}/test_engine_contract_dialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/enginecontract.h)
# The downloads list and window, on local servers.
vexel_engine_test(test_downloads)
# Our error pages, on local servers.
vexel_engine_test(test_errorpages)
# Find counts, text encodings, saved histories and compositions, on a
# Japanese system (installed as a C library locale or not).
vexel_engine_test(test_pagetools)
set_tests_properties(test_pagetools PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=xcb;LANG=ja_JP.UTF-8")
# Permission questions, remembered decisions, on a local server.
vexel_engine_test(test_permissions)
# Print to PDF, a page's print request and our print preview.
vexel_engine_test(test_printing)
# A page's source and the engine's inspector; what the Gecko page's menu saves.
vexel_engine_test(test_source)
# What sites keep, listed and cleared in both engines; clearing by period.
vexel_engine_test(test_sitedata)
# Content blocking from one list in both engines, on a local server.
vexel_engine_test(test_contentblocking)
# Private windows leave no file changed and no data for other windows.
vexel_engine_test(test_private)
# What a window reports of a PDF or an image.
vexel_engine_test(test_documentviews)
# A page in both engines side by side, linked.
vexel_engine_test(test_linkedpair)
# Engine rules per site take a typed address, a bookmark and a link to
# the other engine, on a local server.
vexel_engine_test(test_siteengines)
# At the frame's scale factor 2: pages in both engines, the bookmark editor.
vexel_engine_test(test_scaled)
set_tests_properties(test_scaled PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=xcb;QT_SCALE_FACTOR=2")
