# Read by CTest when it starts (see GroupedTests.cmake): lists the tests of one GoogleTest program
# and declares the entry that runs the program, one entry per test and the entry that checks how
# the program ended. The variables group_* come from the file that includes this one.

set(list_file ${group_results}/tests.txt)

# The program's own list of its tests, asked again only when the program changed.
if(NOT EXISTS "${group_program}")
  add_test(${group_name} ${group_name}-NOT_BUILT)
  return()
endif()
if(NOT EXISTS "${list_file}" OR "${group_program}" IS_NEWER_THAN "${list_file}")
  execute_process(
    COMMAND ${group_emulator} "${group_program}" --gtest_list_tests
    WORKING_DIRECTORY "${group_working_directory}"
    OUTPUT_VARIABLE listing ERROR_VARIABLE listing_errors RESULT_VARIABLE listed TIMEOUT 120)
  if(NOT listed EQUAL 0)
    file(REMOVE "${list_file}")
    message(WARNING "${group_program} --gtest_list_tests failed (${listed}):\n${listing}${listing_errors}")
    add_test(${group_name} "${group_cmake}" -E echo "cannot list the tests of ${group_program}: ${listed}")
    set_tests_properties(${group_name} PROPERTIES WILL_FAIL ON)
    return()
  endif()
  file(MAKE_DIRECTORY "${group_results}")
  file(WRITE "${list_file}" "${listing}")
else()
  file(READ "${list_file}" listing)
endif()

# "Suite.\n  Test\n  Other\n" (with "  # GetParam() = ..." after parameterised ones).
string(REPLACE "\r" "" listing "${listing}")
string(REPLACE ";" "" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(tests "")
set(suite "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE " *#.*$" "" line "${line}")
  if(line MATCHES "^([^ ].*\\.)$")
    set(suite "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^  +([^ ]+)$" AND suite)
    list(APPEND tests "${suite}${CMAKE_MATCH_1}")
  endif()
endforeach()

set(run_args -DGROUP_PROGRAM=${group_program} -DGROUP_RESULTS=${group_results} -DGROUP_TIMEOUT=${group_timeout})
# The emulator may be a program and its arguments; "|" keeps them one argument here.
string(REPLACE ";" "|" emulator_arg "${group_emulator}")

add_test(${group_name} "${group_cmake}" -DMODE=run ${run_args} "-DGROUP_EMULATOR=${emulator_arg}"
         -P "${group_script}")
set_tests_properties(${group_name} PROPERTIES
  FIXTURES_SETUP ${group_name}_ran WORKING_DIRECTORY "${group_working_directory}" TIMEOUT ${group_timeout})
if(group_properties)
  set_tests_properties(${group_name} PROPERTIES ${group_properties})
endif()

add_test(${group_name}.exit "${group_cmake}" -DMODE=exit ${run_args} -P "${group_script}")
set_tests_properties(${group_name}.exit PROPERTIES FIXTURES_CLEANUP ${group_name}_ran TIMEOUT 60)

foreach(test IN LISTS tests)
  add_test(${test} "${group_cmake}" -DMODE=test ${run_args} -DTEST=${test} -P "${group_script}")
  set_tests_properties(${test} PROPERTIES
    FIXTURES_REQUIRED ${group_name}_ran TIMEOUT 60 SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
  if(test MATCHES "(^|\\.|/)DISABLED_")
    set_tests_properties(${test} PROPERTIES DISABLED ON)
  endif()
endforeach()
