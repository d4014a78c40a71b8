# Use ccache when it is installed. Its cache stays in its default place in the user's home (outside
# the checkout), so clean checkouts and CI runs on the same machine share it. The sloppiness settings
# let ccache serve objects built with precompiled headers. Precompiled headers therefore hold only
# headers from outside the checkout (system, Qt, GoogleTest): see controls/CMakeLists.txt.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(_launcher ${CMAKE_COMMAND} -E env
      "CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime"
      "CCACHE_BASEDIR=${CMAKE_SOURCE_DIR}"
      ${CCACHE_PROGRAM})
  set(CMAKE_C_COMPILER_LAUNCHER ${_launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${_launcher})
  message(STATUS "ccache: ${CCACHE_PROGRAM}")
endif()
# Without this, clang stamps precompiled headers with the time and ccache can never reuse them (the
# flag comes after the sanitizers' own: this file is included after cmake/Sanitizers.cmake).
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_compile_options("SHELL:-Xclang -fno-pch-timestamp")
endif()
