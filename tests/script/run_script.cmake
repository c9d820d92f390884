# Runs one script with cscript and compares what it prints with the expected text.
#   cmake -DEMULATOR=<wine wrapper or empty> -DSCRIPT=<file> -DEXPECTED=<file> -P run_script.cmake
set(script_path ${SCRIPT})
if(EMULATOR)
  # Wine sees the Linux file system as drive Z:.
  string(REPLACE "/" "\\" script_path "Z:${SCRIPT}")
endif()
execute_process(COMMAND ${EMULATOR} cscript //nologo ${script_path}
  OUTPUT_VARIABLE printed ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 120)
string(REPLACE "\r" "" printed "${printed}")
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0 OR NOT printed STREQUAL expected)
  message(FATAL_ERROR "cscript ${SCRIPT} exited with ${status}\n--- printed:\n${printed}\n--- expected:\n${expected}"
                      "\n--- errors:\n${errors}")
endif()
message(STATUS "${printed}")
