# Helpers shared by the library, test and benchmark folders.
#
# brimvale_library(<target> DIRS <folder>... [EXCLUDE <regex>])
#   A static library from every .cpp/.h under the given folders (relative to the repository root).
#   Sources are globbed with CONFIGURE_DEPENDS, so adding a file needs no edit here.
function(brimvale_library target)
  cmake_parse_arguments(ARG "" "EXCLUDE" "DIRS" ${ARGN})
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
         ${PROJECT_SOURCE_DIR}/${dir}/*.cpp ${PROJECT_SOURCE_DIR}/${dir}/*.c ${PROJECT_SOURCE_DIR}/${dir}/*.h)
    list(APPEND sources ${found})
  endforeach()
  if(ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# brimvale_test_options(<target>)
#   How a test program's own sources are optimised. The code under test comes from the libraries,
#   built at the tree's level; the tests themselves gain nothing from -O2 and most of their compile
#   time is the optimiser's: -O1 in the Release build, and -O0 under the sanitizers (a test source
#   costs well under half its -O1 time with the sanitizers' instrumentation, which catches as much
#   unoptimised). Other build types keep their own flags.
function(brimvale_test_options target)
  if(BRIMVALE_SANITIZE)
    target_compile_options(${target} PRIVATE -O0)
  elseif(CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT BRIMVALE_TSAN)
    target_compile_options(${target} PRIVATE -O1)
  endif()
endfunction()

# brimvale_gtest(<target> DIRS <folder>... | SOURCES <file>... LIBS <lib>... [SHARDS n])
#   One GoogleTest executable from the test folders (or the given sources), registered with CTest as
#   n shards (2n in the sanitizer build) that CTest can run in parallel (GoogleTest's own sharding),
#   labelled with its name so that `ctest -L <target>` runs one of them.
function(brimvale_gtest target)
  cmake_parse_arguments(ARG "" "SHARDS" "DIRS;SOURCES;LIBS" ${ARGN})
  if(NOT ARG_SHARDS)
    set(ARG_SHARDS 1)
  endif()
  # Sanitized code runs several times slower: twice the shards keep each one far from its
  # time-out when the machine is busy.
  if(BRIMVALE_SANITIZE AND ARG_SHARDS GREATER 1)
    math(EXPR ARG_SHARDS "${ARG_SHARDS} * 2")
  endif()
  # The time-out stops a test that hangs. A shard on a machine busy with other builds can take
  # several times its idle time (sanitized code, and the oracle programs the codec tests start one
  # after another), so it is generous in every build.
  set(timeout 1800)
  set(sources ${ARG_SOURCES})
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp ${PROJECT_SOURCE_DIR}/${dir}/*.h)
    list(APPEND sources ${found})
  endforeach()
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} brimvale_test_main GTest::gtest GTest::gmock)
  brimvale_test_options(${target})
  target_precompile_headers(${target} PRIVATE <gtest/gtest.h> <gmock/gmock.h> <vector> <string> <memory>
                            <cstdint> <cstring> <algorithm> <functional>)
  math(EXPR last "${ARG_SHARDS} - 1")
  foreach(i RANGE ${last})
    set(name ${target})
    if(ARG_SHARDS GREATER 1)
      set(name ${target}_${i})
    endif()
    add_test(NAME ${name} COMMAND ${target} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "GTEST_TOTAL_SHARDS=${ARG_SHARDS};GTEST_SHARD_INDEX=${i};QT_QPA_PLATFORM=offscreen;BRIMVALE_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
      LABELS ${target}
      TIMEOUT ${timeout})
    if(BRIMVALE_SANITIZER_ENV)
      set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT ${BRIMVALE_SANITIZER_ENV})
    endif()
  endforeach()
endfunction()
