# Shared by the scripts: the build, a private Wine prefix and a virtual display.
# shellcheck shell=bash

QUILLPOST_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$QUILLPOST_ROOT/build}

# build_quillpost [TARGET...]: configures (tests included, so that one build tree serves every
# script) and builds the given targets, or everything.
build_quillpost() {
  cmake -S "$QUILLPOST_ROOT" -B "$BUILD_DIR" -DBUILD_TESTING=ON \
    -DCMAKE_TOOLCHAIN_FILE="$QUILLPOST_ROOT/cmake/toolchain-mingw-i686.cmake" >/dev/null
  local targets=()
  for target in "$@"; do targets+=(--target "$target"); done
  cmake --build "$BUILD_DIR" -j "$(nproc)" "${targets[@]}"
}

# A fresh 32-bit prefix for this run: nothing left from earlier runs can hide a fault.
use_private_prefix() {
  export QUILLPOST_WINEPREFIX="$1" WINEPREFIX="$1" WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
  rm -rf "$WINEPREFIX"
  "$QUILLPOST_ROOT/cmake/wine-run.sh" cmd /c exit >/dev/null 2>&1
}

XVFB_PID=""
# Starts Xvfb on the first free display number and exports DISPLAY.
start_virtual_display() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null || true
  done
  echo "could not start Xvfb" >&2
  return 1
}

stop_everything() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
}
