# Quillpost.dll without the C++ runtime's dead weight: a guest in somebody else's process should
# cost it no more than its own work.
#
# The DLL's libraries are compiled without exceptions, run-time type information and unwind
# tables, for size, and the DLL links base/runtime.cpp, which defines the few runtime entry points
# that code still calls (allocation, the standard library's error paths, static guards). So the
# DLL pulls in no exception machinery, no name demangler and no posix thread library, and unused
# sections are dropped at link time. The test programs link the same libraries with the full
# runtime and their own flags; nothing throws through the libraries' code.
function(quillpost_lean_runtime dll)
  cmake_parse_arguments(PARSE_ARGV 1 lean "" "" "LIBRARIES")
  if(MSVC)
    return()
  endif()
  set(lean_flags -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -Os
                 -ffunction-sections -fdata-sections)
  foreach(target ${dll} ${lean_LIBRARIES} quillpost_runtime)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${lean_flags}>)
  endforeach()
  target_link_libraries(${dll} PRIVATE quillpost_runtime)
  target_link_options(${dll} PRIVATE -Wl,--gc-sections)
endfunction()
