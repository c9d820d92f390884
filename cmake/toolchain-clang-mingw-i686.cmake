# The same cross build with Clang: Clang compiles for the mingw-w64 target against the mingw-w64
# headers and the C++ library of mingw-w64's GCC (posix threads), and GNU ld links, as with GCC.
# (LLVM's lld 14 would number the exports from ordinal 0.)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-i686.cmake)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_SYSROOT /usr/i686-w64-mingw32)

# GCC's own folder: libstdc++, libgcc and their headers.
file(GLOB gcc_dirs LIST_DIRECTORIES true /usr/lib/gcc/i686-w64-mingw32/*-posix)
list(SORT gcc_dirs COMPARE NATURAL ORDER DESCENDING)
list(GET gcc_dirs 0 QUILLPOST_MINGW_GCC_DIR)
set(cxx_headers ${QUILLPOST_MINGW_GCC_DIR}/include/c++)

set(CMAKE_C_FLAGS_INIT "-pthread")
set(CMAKE_CXX_FLAGS_INIT "-nostdinc++ -isystem ${cxx_headers} -isystem ${cxx_headers}/i686-w64-mingw32")
string(APPEND CMAKE_CXX_FLAGS_INIT " -isystem ${cxx_headers}/backward -pthread")
foreach(kind EXE SHARED MODULE)
  # The compile flags above reach the link line too, where -nostdinc++ has nothing to do.
  set(CMAKE_${kind}_LINKER_FLAGS_INIT
      "-fuse-ld=bfd -L${QUILLPOST_MINGW_GCC_DIR} -Wno-unused-command-line-argument")
endforeach()
