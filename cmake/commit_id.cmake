# Writes OUTPUT, a header that defines SORABUN_COMMIT as the commit that
# SOURCE_DIR is checked out at, with ", modified" when tracked files differ
# from it; as "" when SOURCE_DIR is not the top of a git work tree of its own
# (a source archive, even one unpacked inside another work tree) or git is
# missing. Run at every build, so that a new commit is never missed; the
# header is rewritten only when its text changes, so nothing recompiles when
# the commit stays the same.
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -P commit_id.cmake
find_package(Git QUIET)
set(commit "")
if(GIT_FOUND)
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --show-toplevel
                  OUTPUT_VARIABLE top RESULT_VARIABLE status
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  file(REAL_PATH "${SOURCE_DIR}" source)
  if(status EQUAL 0)
    file(REAL_PATH "${top}" top)
  endif()
  if(status EQUAL 0 AND top STREQUAL source)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
                    OUTPUT_VARIABLE commit RESULT_VARIABLE status
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT status EQUAL 0)
      set(commit "")
    else()
      execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" diff --quiet HEAD --
                      RESULT_VARIABLE status ERROR_QUIET)
      if(NOT status EQUAL 0)
        string(APPEND commit ", modified")
      endif()
    endif()
  endif()
endif()

set(text "// Made by cmake/commit_id.cmake at build time.\n#define SORABUN_COMMIT \"${commit}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT "${old}" STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
