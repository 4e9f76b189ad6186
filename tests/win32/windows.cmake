# Tests of the Windows build (included by tests/CMakeLists.txt on WIN32).

# Test sources that rely on POSIX facilities with no Windows counterpart in
# the test (symbolic links, mkdtemp, resource limits and SIGXFSZ, popen of a
# shell command line, sys/wait.h). They are left out of the Windows build.
set(TARVEL_POSIX_ONLY_TESTS
  display/capture_test.cpp
  display/text_test.cpp
  app/driver_test.cpp
  app/validator_test.cpp
  fix/fix_tool_test.cpp
  vrma_file/vrma_tool_test.cpp)

# Tests whose expectations hold on POSIX only, left out on Windows by a
# GoogleTest filter (one list per test program):
# - the test helpers write narrow names as UTF-8, which Windows reads in the
#   ANSI code page;
# - rewriting a file that the TextReader still holds open: Windows refuses,
#   as the reader opens without sharing.
set(TARVEL_WINDOWS_SKIP_tests_base
  FileChannelTest.OpenFailureMessagesAndNonAsciiNames
  Modes/TextReaderTest.LineEndRunsAreSkippedAndTheEndIsSeenOnce/Wide
  Modes/TextReaderTest.LongLinesAreCutAndTinySizesTakeNothing/Wide)

# Under Wine every process start costs a few hundred milliseconds, so each
# test program is one CTest test: this gtest_discover_tests replaces
# GoogleTest's, which would start every program once to list its tests and
# then once per test.
function(gtest_discover_tests target)
  get_target_property(srcs ${target} SOURCES)
  foreach(f ${TARVEL_POSIX_ONLY_TESTS})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${f})
  endforeach()
  set_property(TARGET ${target} PROPERTY SOURCES ${srcs})
  set(args)
  if(TARVEL_WINDOWS_SKIP_${target})
    list(JOIN TARVEL_WINDOWS_SKIP_${target} ":" skip)
    set(args "--gtest_filter=-${skip}")
  endif()
  add_test(NAME ${target} COMMAND ${target} ${args})
  set_tests_properties(${target} PROPERTIES LABELS unit ENVIRONMENT "WINEDEBUG=-all")
endfunction()

add_subdirectory(win32)
