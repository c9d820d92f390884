# Quillpost.dll without the C++ runtime's dead weight: a guest in somebody else's process should
# cost it no more than its own work.
#
# The DLL's libraries are compiled without exceptions, run-time type information and unwind
# tables, for size, and the DLL links core/runtime.cpp, which defines the few runtime entry points
# that code still calls (allocation, the standard library's error paths, static guards). So the
# DLL pulls in no exception machinery, no name demangler and no posix thread library, and unused
# sections are dropped at link time. The test programs link the same libraries with the full
# runtime and their own flags; nothing throws through the libraries' code.
#
# The DLL also leaves out crtbegin.o: its constructor registers the unwind tables with libgcc after
# asking for libgcc's DLL by name (GetModuleHandle("libgcc_s_dw2-1.dll")), and Wine searches the
# whole DLL path on disk for that missing name, about 1.2 ms at every load and again at every
# unload. Without exceptions there is nothing to register; the DLL's startup object, which runs
# the constructors and the exit list, stays.
# quillpost_lean_runtime(<dll> LIBRARIES <library>... [FOR_SPEED <library> <source>...])
function(quillpost_lean_runtime dll)
  cmake_parse_arguments(PARSE_ARGV 1 lean "" "" "LIBRARIES;FOR_SPEED")
  # GCC and Clang both link the GNU runtime here; MSVC has no such weight to shed.
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang)$")
    return()
  endif()
  set(lean_flags -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -Os
                 -ffunction-sections -fdata-sections)
  foreach(target ${dll} ${lean_LIBRARIES} quillpost_runtime)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${lean_flags}>)
  endforeach()
  # The sources on the per-call path (of the library named first) are optimised for speed instead.
  if(lean_FOR_SPEED)
    list(POP_FRONT lean_FOR_SPEED library)
    set_source_files_properties(${lean_FOR_SPEED} TARGET_DIRECTORY ${library}
                                PROPERTIES COMPILE_OPTIONS "-O2")
  endif()
  target_link_libraries(${dll} PRIVATE quillpost_runtime)
  # Asked as the build asks: Clang finds the target's files only when told the target and sysroot.
  set(ask -print-file-name=dllcrt2.o)
  if(CMAKE_CXX_COMPILER_TARGET)
    list(PREPEND ask --target=${CMAKE_CXX_COMPILER_TARGET})
  endif()
  if(CMAKE_SYSROOT)
    list(PREPEND ask --sysroot=${CMAKE_SYSROOT})
  endif()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${ask}
                  OUTPUT_VARIABLE dll_startup OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS "${dll_startup}")
    message(FATAL_ERROR "The compiler names no DLL startup object (dllcrt2.o): ${dll_startup}")
  endif()
  # The C runtime's own objects still carry unwind tables, which nothing registers or uses here.
  target_link_options(${dll} PRIVATE -Wl,--gc-sections -nostartfiles ${dll_startup}
                      -Wl,-T,${CMAKE_CURRENT_FUNCTION_LIST_DIR}/discard_unwind_tables.ld)
endfunction()
