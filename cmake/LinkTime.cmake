# Writes the time that the Windows programs' headers carry as their link time, in seconds since
# 1970, to OUTPUT: SOURCE_DATE_EPOCH where the environment sets it, else the time of the last
# commit of SOURCE_DIR, else 0. Two builds of one commit then give the same bytes. The file is
# rewritten only when the time changes: a new commit relinks the programs, a build without one
# does not.
#   cmake -DSOURCE_DIR=DIR -DOUTPUT=FILE -P LinkTime.cmake
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(seconds "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE seconds OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET RESULT_VARIABLE failed)
  if(failed OR seconds STREQUAL "")
    set(seconds 0)
  endif()
endif()
if(NOT seconds MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a count of seconds, not \"${seconds}\"")
endif()
set(written "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" written)
endif()
if(NOT written STREQUAL "${seconds}")
  file(WRITE "${OUTPUT}" "${seconds}")
endif()
