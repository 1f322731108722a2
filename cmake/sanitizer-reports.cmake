# Run by the ctest fixture `sanitizer` of a sanitizer build:
#   cmake -DDIR=... -DMODE=clear|check -P sanitizer-reports.cmake
# clear empties the report folder before the tests; check fails, showing
# every report, when any process of the run wrote one.
if(MODE STREQUAL "clear")
  file(REMOVE_RECURSE ${DIR})
  file(MAKE_DIRECTORY ${DIR})
  return()
endif()
file(GLOB _reports ${DIR}/*)
if(NOT _reports)
  message(STATUS "no sanitizer reports")
  return()
endif()
foreach(_report ${_reports})
  file(READ ${_report} _text)
  message("==== ${_report}\n${_text}")
endforeach()
list(LENGTH _reports _count)
message(FATAL_ERROR "${_count} sanitizer report(s) in ${DIR}")
