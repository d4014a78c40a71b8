# Use ccache when it is installed. Its cache stays in its default place in the user's home (outside
# the checkout), so clean checkouts and CI runs on the same machine share it: cmake/ccache-launch.sh
# hands it paths relative to the checkout and gives each precompiled header a checksum that names
# no path of the checkout. The sloppiness settings it sets let ccache serve objects built with
# precompiled headers. Precompiled headers therefore hold only headers from outside the checkout
# (system, Qt, GoogleTest): see controls/CMakeLists.txt.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(_launcher ${CMAKE_SOURCE_DIR}/cmake/ccache-launch.sh ${CCACHE_PROGRAM} ${CMAKE_SOURCE_DIR})
  set(CMAKE_C_COMPILER_LAUNCHER ${_launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${_launcher})
  message(STATUS "ccache: ${CCACHE_PROGRAM}")
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # Without this, clang stamps precompiled headers with the time and ccache can never reuse them
  # (the flag comes after the sanitizers' own: this file is included after cmake/Sanitizers.cmake).
  add_compile_options("SHELL:-Xclang -fno-pch-timestamp")
  # A source takes its target's precompiled header through the driver's -include, which uses
  # <header>.pch beside the header (CMake's own form passes the path behind -Xclang, where ccache
  # leaves it absolute, so no other checkout could share the object).
  set(CMAKE_CXX_COMPILE_OPTIONS_USE_PCH -include <PCH_HEADER>)
endif()
