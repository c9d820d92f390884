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

# The emulator may be a program and its arguments; "|" keeps them one argument here.
string(REPLACE ";" "|" emulator_arg "${group_emulator}")

# declare_run(NAME FILTER LABELS TESTS...): the entry that runs the program once with the GoogleTest
# filter, the entry that checks how it ended, and one entry per test of that run, all with LABELS.
function(declare_run name filter labels)
  set(run_args -DGROUP_PROGRAM=${group_program} -DGROUP_RESULTS=${group_results}/${name}
               -DGROUP_TIMEOUT=${group_timeout})
  add_test(${name} "${group_cmake}" -DMODE=run ${run_args} "-DGROUP_EMULATOR=${emulator_arg}"
           "-DGROUP_FILTER=${filter}" -P "${group_script}")
  set_tests_properties(${name} PROPERTIES
    FIXTURES_SETUP ${name}_ran WORKING_DIRECTORY "${group_working_directory}" TIMEOUT ${group_timeout})
  if(group_properties)
    set_tests_properties(${name} PROPERTIES ${group_properties})
  endif()

  add_test(${name}.exit "${group_cmake}" -DMODE=exit ${run_args} -P "${group_script}")
  set_tests_properties(${name}.exit PROPERTIES FIXTURES_CLEANUP ${name}_ran TIMEOUT 60)
  if(labels)
    set_tests_properties(${name} ${name}.exit PROPERTIES LABELS "${labels}")
  endif()

  foreach(test IN LISTS ARGN)
    add_test(${test} "${group_cmake}" -DMODE=test ${run_args} -DTEST=${test} -P "${group_script}")
    set_tests_properties(${test} PROPERTIES
      FIXTURES_REQUIRED ${name}_ran TIMEOUT 60 SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
    if(test MATCHES "(^|\\.|/)DISABLED_")
      set_tests_properties(${test} PROPERTIES DISABLED ON)
    endif()
    if(labels)
      set_tests_properties(${test} PROPERTIES LABELS "${labels}")
    endif()
  endforeach()
endfunction()

# True when TEST matches one of the program's CI-only patterns (GoogleTest's * and ?).
function(is_ci_only test out)
  set(${out} FALSE PARENT_SCOPE)
  foreach(pattern IN LISTS group_ci_only)
    string(REPLACE "." "\\." pattern "${pattern}")
    string(REPLACE "*" ".*" pattern "${pattern}")
    string(REPLACE "?" "." pattern "${pattern}")
    if(test MATCHES "^${pattern}$")
      set(${out} TRUE PARENT_SCOPE)
    endif()
  endforeach()
endfunction()

# declare_runs(NAME POSITIVE NEGATIVE TESTS...): the run of TESTS, whose GoogleTest filter is
# POSITIVE (empty: every test) less the list NEGATIVE. Its CI-only tests run apart, as NAME.ci with
# the label ci, which the everyday loop leaves out (scripts/test.sh).
function(declare_runs name positive negative)
  set(quick "")
  set(ci "")
  foreach(test IN LISTS ARGN)
    is_ci_only("${test}" ci_only)
    if(ci_only)
      list(APPEND ci "${test}")
    else()
      list(APPEND quick "${test}")
    endif()
  endforeach()
  if(ci)
    string(JOIN ":" ci_filter ${ci})
    declare_run(${name}.ci "${ci_filter}" ci ${ci})
    list(APPEND negative ${ci})
  endif()
  if(quick OR NOT ci)
    string(JOIN ":" filter ${negative})
    if(filter)
      set(filter "-${filter}")
    endif()
    declare_run(${name} "${positive}${filter}" "" ${quick})
  endif()
endfunction()

# Suites (or single tests, as Suite.Test) that need a process of their own run apart; the
# program's run leaves them out.
set(main_tests "${tests}")
set(excluded "")
foreach(apart IN LISTS group_separate_suites)
  if(apart MATCHES "\\.")
    set(filter "${apart}")
  else()
    set(filter "${apart}.*")
  endif()
  set(apart_tests "")
  foreach(test IN LISTS tests)
    if(test STREQUAL apart OR test MATCHES "^${apart}\\.")
      list(APPEND apart_tests "${test}")
    endif()
  endforeach()
  if(apart_tests)
    list(REMOVE_ITEM main_tests ${apart_tests})
    declare_runs(${group_name}.${apart} "${filter}" "" ${apart_tests})
    list(APPEND excluded "${filter}")
  endif()
endforeach()
declare_runs(${group_name} "" "${excluded}" ${main_tests})
