# BRIMVALE_SANITIZE: the whole tree built with AddressSanitizer (LeakSanitizer included) and
# UndefinedBehaviorSanitizer, at -O1 with line tables (every frame of a report has its file and line;
# full debug information would cost a sixth more compile time and slower links); undefined behaviour
# stops the program like a crash. The test programs' own sources are built at -O0 (see
# cmake/BrimvaleTargets.cmake). Under clang the code also carries libFuzzer's coverage instrumentation
# (-fsanitize=fuzzer-no-link), so one sanitizer build serves both the tests and the fuzz targets.
option(BRIMVALE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(BRIMVALE_SANITIZE)
  foreach(lang C CXX)
    string(REPLACE "-O2" "-O1" CMAKE_${lang}_FLAGS_RELEASE "${CMAKE_${lang}_FLAGS_RELEASE}")
  endforeach()
  add_compile_options(-gline-tables-only -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
  # How the tests run under the sanitizers (also when a developer runs ctest in this folder):
  # allocations that cannot be had return null as they do in the normal build (a test asks for
  # 4 x 10^18 bytes), leaks are reported, and leaks inside uninstrumented system libraries are
  # suppressed by tests/sanitizers/lsan.supp.
  set(BRIMVALE_SANITIZER_ENV
      "ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1:check_initialization_order=1:detect_stack_use_after_return=1"
      "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizers/lsan.supp:print_suppressions=0")
endif()

# BRIMVALE_TSAN: the tree built with ThreadSanitizer instead (tests/fuzz/run_tsan.sh builds and runs
# the thread tests with it; not part of the test command). Qt and the system libraries are not
# instrumented: tests/sanitizers/tsan.supp names what they race on among themselves.
option(BRIMVALE_TSAN "Build with ThreadSanitizer" OFF)
if(BRIMVALE_TSAN)
  foreach(lang C CXX)
    string(REPLACE "-O2" "-O1" CMAKE_${lang}_FLAGS_RELEASE "${CMAKE_${lang}_FLAGS_RELEASE}")
  endforeach()
  add_compile_options(-g -fno-omit-frame-pointer -fsanitize=thread)
  add_link_options(-fsanitize=thread)
endif()
