# Runs each GoogleTest program once and still lists and reports every test by its own name.
#
# Starting a Windows program under Wine costs about a second, and starting one per test made the
# suite spend most of its time starting programs. So each program gets three kinds of CTest entry:
#
#   <program>          runs the whole program once (a fixture setup), keeping its XML report
#                      and its output in <program>.results/<program>/
#   <Suite>.<Test>     one per test: passes, fails or is skipped as that test did in the run, and
#                      prints the test's own part of the output
#   <program>.exit     (fixture cleanup) fails when the program did not end as its results say it
#                      should: a crash, a hang, an exit code that disagrees with the results
#
# A suite whose tests need a process that nothing else has used yet (for instance, one whose web
# stack has not yet read the proxy setting) runs in a process of its own, as <program>.<Suite>:
#   set_property(TARGET <program> APPEND PROPERTY QUILLPOST_SEPARATE_SUITES <Suite>)
# A single test that leaves its process changed for good is named the same way, as Suite.Test.
#
# Tests that CI runs and the everyday loop leaves out (the slow rows of a matrix, repeats of what a
# cheaper test already shows) are named by GoogleTest patterns; they run in a process of their own,
# as <run>.ci, whose entries have the label ci:
#   set_property(TARGET <program> APPEND PROPERTY QUILLPOST_CI_ONLY_TESTS Suite.Test Other.*)
#
# The tests of a program are listed when CTest starts (the program's --gtest_list_tests, run
# again only when the program is newer than the list), so nothing runs under Wine at build time.
# `ctest -R Suite.Test` pulls in the program's run as the fixture it needs.

set(QUILLPOST_GROUPED_TESTS_DIR ${CMAKE_CURRENT_LIST_DIR})

# quillpost_add_test_group(<target> [WORKING_DIRECTORY <dir>] [TIMEOUT <seconds>]
#                          [PROPERTIES <name> <value>...])
# PROPERTIES are set on the entry that runs the program (e.g. RESOURCE_LOCK, FIXTURES_REQUIRED).
function(quillpost_add_test_group target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "WORKING_DIRECTORY;TIMEOUT" "PROPERTIES")
  if(NOT arg_WORKING_DIRECTORY)
    set(arg_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 600)
  endif()
  set(results ${CMAKE_CURRENT_BINARY_DIR}/${target}.results)

  get_property(emulator TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR)
  get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
  if(multi_config)
    set(config_suffix "-$<CONFIG>")
  else()
    set(config_suffix "")
  endif()

  # What the listing step needs, written once the program's path is known.
  file(GENERATE OUTPUT ${results}/ctest${config_suffix}.cmake CONTENT
"set(group_name [==[${target}]==])
set(group_program [==[$<TARGET_FILE:${target}>]==])
set(group_emulator [==[${emulator}]==])
set(group_working_directory [==[${arg_WORKING_DIRECTORY}]==])
set(group_results [==[${results}]==])
set(group_timeout [==[${arg_TIMEOUT}]==])
set(group_properties [==[${arg_PROPERTIES}]==])
set(group_separate_suites [==[$<TARGET_PROPERTY:${target},QUILLPOST_SEPARATE_SUITES>]==])
set(group_ci_only [==[$<TARGET_PROPERTY:${target},QUILLPOST_CI_ONLY_TESTS>]==])
set(group_cmake [==[${CMAKE_COMMAND}]==])
set(group_script [==[${QUILLPOST_GROUPED_TESTS_DIR}/run_test_group.cmake]==])
include([==[${QUILLPOST_GROUPED_TESTS_DIR}/list_test_group.cmake]==])
")
  # CTest reads this file when it starts; it picks the configuration's file.
  set(loader ${results}/ctest-loader.cmake)
  if(multi_config)
    file(WRITE ${loader}
      "if(EXISTS [==[${results}/ctest-\${CTEST_CONFIGURATION_TYPE}.cmake]==])\n"
      "  include([==[${results}/ctest-\${CTEST_CONFIGURATION_TYPE}.cmake]==])\n"
      "else()\n"
      "  add_test([==[${target}]==] [==[${target}]==]-NOT_BUILT)\n"
      "endif()\n")
  else()
    file(WRITE ${loader} "include([==[${results}/ctest.cmake]==])\n")
  endif()
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${loader})
endfunction()
