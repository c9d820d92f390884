#!/usr/bin/env bash
# Installs what building and testing Quillpost needs on Debian 12, and nothing more: mingw-w64
# (i686) and widl, Clang (the second compiler, and the build machine's C++ compiler for the build
# tools), 32-bit Wine with the fonts our windows use, Xvfb, CMake, GoogleTest's sources and Python.
#   setup.sh demo   also installs ImageMagick, which the demo takes its screenshots with.
# Does nothing when all is there.
#
# Not needed: wine64 (with its 64-bit libraries, about 110 MB to download and 700 MB installed;
# every prefix here is 32-bit) and Wine's development files (libwine-dev: cmake/idl/oaidl.idl
# declares what our IDL imports).
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }
have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686)
have i686-w64-mingw32-widl || need+=(mingw-w64-tools)
have clang++ || need+=(clang)
installed wine || need+=(wine)
installed wine32:i386 || need+=(wine32:i386)
[ -f /usr/share/wine/fonts/marlett.ttf ] || need+=(fonts-wine)
have Xvfb || need+=(xvfb)
have cmake || need+=(cmake)
have make || need+=(make)
# The release package is zipped, and unpacked by its test, with Python's zipfile.
have python3 || need+=(python3)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
if [ "${1:-}" = "demo" ]; then
  have import || need+=(imagemagick)
fi

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${need[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
