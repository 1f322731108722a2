# Sanitizer builds, with clang in a folder of their own:
#
#   -DCORVANE_SANITIZE=address,undefined   AddressSanitizer + UndefinedBehaviorSanitizer
#   -DCORVANE_SANITIZE=thread              ThreadSanitizer
#   -DCORVANE_FUZZ=ON                      address,undefined plus the coverage the
#                                          libFuzzer targets need (tests/fuzz)
#
# Every finding is fatal, so that a test that triggers one fails. The reports
# of every process of a test run (tests, the service and the simulator they
# start) go to SANITIZER_REPORT_DIR; the ctest fixture `sanitizer` fails when
# a run left a report there, even one from a child process whose exit nobody
# checked.
set(CORVANE_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread")
if(CORVANE_FUZZ AND NOT CORVANE_SANITIZE)
  set(CORVANE_SANITIZE address,undefined)
endif()

if(CORVANE_SANITIZE)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "CORVANE_SANITIZE wants clang (CXX=clang++)")
  endif()
  set(_flags -fsanitize=${CORVANE_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  if(CORVANE_FUZZ)
    list(APPEND _flags -fsanitize=fuzzer-no-link)
  endif()
  # -O1 and line tables only: about a third less compile time than -O2 -g
  # with the same symbolised stack in every report.
  list(APPEND _flags -O1 -gline-tables-only)
  add_compile_options(${_flags})
  add_link_options(-fsanitize=${CORVANE_SANITIZE})

  set(SANITIZER_REPORT_DIR ${CMAKE_BINARY_DIR}/sanitizer-reports)
  set(_supp ${CMAKE_SOURCE_DIR}/cmake/sanitizer-suppressions)
  set(_reports ${SANITIZER_REPORT_DIR})
  # Reports go to files, one per process (the fixture shows them). ctest
  # includes this file before it runs a test, so every test and everything
  # it starts inherits the options.
  # (ThreadSanitizer reads UBSAN_OPTIONS too, so each build sets only its own.)
  if(CORVANE_SANITIZE MATCHES "thread")
    set(_environment
      "set(ENV{TSAN_OPTIONS} \"log_path=${_reports}/tsan:second_deadlock_stack=1:suppressions=${_supp}/tsan.supp\")\n")
  else()
    set(_environment
      "set(ENV{ASAN_OPTIONS} \"log_path=${_reports}/asan:detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1\")\n"
      "set(ENV{LSAN_OPTIONS} \"suppressions=${_supp}/lsan.supp:print_suppressions=0\")\n"
      "set(ENV{UBSAN_OPTIONS} \"log_path=${_reports}/ubsan:print_stacktrace=1:halt_on_error=1:suppressions=${_supp}/ubsan.supp\")\n")
  endif()
  file(WRITE ${CMAKE_BINARY_DIR}/sanitizer-environment.cmake ${_environment})
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES
    ${CMAKE_BINARY_DIR}/sanitizer-environment.cmake)
endif()

# corvane_sanitizer_fixture(): the tests `sanitizer.clear` and
# `sanitizer.reports` around every test that requires the fixture `sanitizer`.
function(corvane_sanitizer_fixture)
  if(NOT CORVANE_SANITIZE)
    return()
  endif()
  add_test(NAME sanitizer.clear COMMAND ${CMAKE_COMMAND} -DDIR=${SANITIZER_REPORT_DIR} -DMODE=clear
    -P ${CMAKE_SOURCE_DIR}/cmake/sanitizer-reports.cmake)
  add_test(NAME sanitizer.reports COMMAND ${CMAKE_COMMAND} -DDIR=${SANITIZER_REPORT_DIR} -DMODE=check
    -P ${CMAKE_SOURCE_DIR}/cmake/sanitizer-reports.cmake)
  set_tests_properties(sanitizer.clear PROPERTIES FIXTURES_SETUP sanitizer LABELS sanitizer)
  set_tests_properties(sanitizer.reports PROPERTIES FIXTURES_CLEANUP sanitizer LABELS sanitizer)
endfunction()
