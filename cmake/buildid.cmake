# Writes the build identifier header: the commit being built, seven hex
# digits ("0000000" outside a git checkout). Run at every build; the header
# is replaced only when the commit changed, so that an unchanged build
# recompiles nothing.
#   cmake -DSOURCE_DIR=<repository> -DOUTPUT=<header> -P buildid.cmake
execute_process(COMMAND git rev-parse --short=7 HEAD
  WORKING_DIRECTORY ${SOURCE_DIR}
  OUTPUT_VARIABLE build_id OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
if(failed OR NOT build_id MATCHES "^[0-9a-f]+$")
  set(build_id "0000000")
endif()
file(WRITE ${OUTPUT}.new
  "// Generated at build time by cmake/buildid.cmake.\n#pragma once\n#define CORVANE_BUILD_ID \"${build_id}\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUTPUT}.new ${OUTPUT})
file(REMOVE ${OUTPUT}.new)
