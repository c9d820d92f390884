#!/usr/bin/env bash
# Installs what building and running Quillpost needs on Debian 12: mingw-w64 (i686),
# 32-bit Wine, Xvfb, ImageMagick and GoogleTest's sources. Does nothing when all is there.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686)
have i686-w64-mingw32-widl || need+=(mingw-w64-tools)
[ -x /usr/lib/wine/wine ] || [ -x /usr/lib/i386-linux-gnu/wine/wine ] || [ -e /usr/lib/wine/wine32 ] || need+=(wine wine32:i386 wine64)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
[ -f /usr/include/wine/wine/windows/oaidl.idl ] || need+=(libwine-dev:i386)
have Xvfb || need+=(xvfb xauth)
have import || need+=(imagemagick)
have cmake || need+=(cmake)
have make || need+=(make)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${need[*]}"
$sudo dpkg --add-architecture i386
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
