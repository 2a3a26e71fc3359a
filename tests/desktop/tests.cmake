# SPDX-License-Identifier: GPL-3.0-or-later
vexel_add_test(test_commandline ${CMAKE_CURRENT_LIST_DIR}/test_commandline.cpp)
target_compile_definitions(test_commandline PRIVATE VEXEL_PROGRAM="$<TARGET_FILE:vexel>"
  VEXEL_VERSION="${PROJECT_VERSION}")
add_dependencies(test_commandline vexel)
vexel_add_test(test_instancelink ${CMAKE_CURRENT_LIST_DIR}/test_instancelink.cpp)
target_compile_definitions(test_instancelink PRIVATE VEXEL_PROGRAM="$<TARGET_FILE:vexel>")
add_dependencies(test_instancelink vexel)
vexel_add_test(test_installedlayout ${CMAKE_CURRENT_LIST_DIR}/test_installedlayout.cpp)

# The package as cmake --install and CPack make it from this build, unpacked.
find_program(DPKG_DEB dpkg-deb)
if(DPKG_DEB)
  add_test(NAME test_package COMMAND ${CMAKE_CURRENT_LIST_DIR}/test_package.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(test_package PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
# The real program killed and started again, and closed as a window manager
# closes it: on the X server the test run provides.
vexel_add_test(test_recovery ${CMAKE_CURRENT_LIST_DIR}/test_recovery.cpp X11)
target_compile_definitions(test_recovery PRIVATE VEXEL_PROGRAM="$<TARGET_FILE:vexel>")
target_link_libraries(test_recovery PRIVATE PkgConfig::XCB)
add_dependencies(test_recovery vexel)
