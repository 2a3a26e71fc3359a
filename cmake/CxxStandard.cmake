# SPDX-License-Identifier: GPL-3.0-or-later
# The language and build type every Vexel project builds with (the program,
# and the fuzz targets' project of their own).
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo)
endif()
