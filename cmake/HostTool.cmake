# Programs that run during the build. A cross build compiles them with the build machine's own
# C++ compiler, so that building never starts Wine (nor makes a Wine prefix anywhere); a native
# build makes them as ordinary targets.
#
# quillpost_add_host_tool(<name> <source>) sets QUILLPOST_<NAME> to the command that runs the tool
# and QUILLPOST_<NAME>_DEPENDS to what a custom command that runs it depends on. The tool's one
# source may use only the standard C++ library.

if(CMAKE_CROSSCOMPILING)
  find_program(QUILLPOST_HOST_CXX NAMES c++ g++ clang++ DOC "The build machine's C++ compiler")
  if(NOT QUILLPOST_HOST_CXX)
    message(FATAL_ERROR "Cross building needs a C++ compiler for the build machine (c++, g++ or clang++)")
  endif()
endif()

function(quillpost_add_host_tool name source)
  string(TOUPPER ${name} variable)
  get_filename_component(source ${source} ABSOLUTE)
  if(CMAKE_CROSSCOMPILING)
    set(tool ${CMAKE_BINARY_DIR}/host-tools/${name})
    add_custom_command(
      OUTPUT ${tool}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host-tools
      COMMAND ${QUILLPOST_HOST_CXX} -std=c++17 -O2 -Wall -Wextra -o ${tool} ${source}
      DEPENDS ${source}
      COMMENT "Building ${name} for the build machine"
      VERBATIM)
    set(QUILLPOST_${variable} ${tool} PARENT_SCOPE)
    set(QUILLPOST_${variable}_DEPENDS ${tool} PARENT_SCOPE)
  else()
    add_executable(${name} ${source})
    set(QUILLPOST_${variable} ${name} PARENT_SCOPE)
    set(QUILLPOST_${variable}_DEPENDS ${name} PARENT_SCOPE)
  endif()
endfunction()
