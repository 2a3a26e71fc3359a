# SPDX-License-Identifier: GPL-3.0-or-later
# The Gecko slot's real engine (WebKitGTK in the vexel-webkit host), on the
# X server the test run provides; and what it does without one.
if(TARGET vexel-webkit)
  foreach(name test_webkit_engine test_webkit_keyboard test_webkit_failures test_webkit_extras
      test_hostile_pages test_input_method test_webkit_repaint)
    vexel_add_test(${name} ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp ${CMAKE_CURRENT_LIST_DIR}/webkittests.h X11)
    target_link_libraries(${name} PRIVATE PkgConfig::XCB)
    add_dependencies(${name} vexel-webkit)
  endforeach()
  target_sources(test_input_method PRIVATE ${CMAKE_CURRENT_LIST_DIR}/inputmethodharness.cpp
    ${CMAKE_CURRENT_LIST_DIR}/inputmethodharness.h)
  target_sources(test_webkit_extras PRIVATE ${CMAKE_CURRENT_LIST_DIR}/test_webkit_pagemenu.cpp
    ${CMAKE_CURRENT_LIST_DIR}/webkitextras.h)
  vexel_add_test(test_webkit_offscreen ${CMAKE_CURRENT_LIST_DIR}/test_webkit_offscreen.cpp)
  add_dependencies(test_webkit_offscreen vexel-webkit)
endif()
# How the web process extension reads a request's kind: no X server, no engine.
vexel_add_test(test_blocker_requesttype ${CMAKE_CURRENT_LIST_DIR}/test_blocker_requesttype.cpp
  ${PROJECT_SOURCE_DIR}/src/browser/engines/webkitgtk/blocker/requesttype.cpp)
# The host's pipe against a fake view, a script as the host: no WebKit.
vexel_add_test(test_webkit_host ${CMAKE_CURRENT_LIST_DIR}/test_webkit_host.cpp X11)
# The protocol's codec alone: no X server, no host.
vexel_add_test(test_protocolcodec ${CMAKE_CURRENT_LIST_DIR}/test_protocolcodec.cpp)
