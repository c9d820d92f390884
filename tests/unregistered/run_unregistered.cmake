# Runs a program in a Wine prefix of its own where nothing was ever registered.
#   cmake -DEMULATOR=<wine wrapper> -DPREFIX=<dir> [-DFRESH=ON] [-DEXPECT=<regex>] -DPROGRAM=<exe> [-DARGS=<list>] -P ...
set(ENV{WINEPREFIX} ${PREFIX})
set(ENV{QUILLPOST_WINEPREFIX} ${PREFIX})
if(FRESH)
  file(REMOVE_RECURSE ${PREFIX})
  # Windows without a window manager: no wait for one on every window shown or destroyed.
  execute_process(COMMAND ${EMULATOR} reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f
    OUTPUT_QUIET ERROR_QUIET)
  return()
endif()
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGS} RESULT_VARIABLE status OUTPUT_VARIABLE printed
  ERROR_VARIABLE errors TIMEOUT 170)
message(STATUS "${printed}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} exited with ${status}\n${errors}")
endif()
if(EXPECT AND NOT printed MATCHES "${EXPECT}")
  message(FATAL_ERROR "expected output matching: ${EXPECT}")
endif()
