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
# No window manager runs on the virtual display: Wine draws the frames itself and does not wait
# about 2 s for a manager to acknowledge every window it shows or destroys.
unmanage_windows() {
  "$QUILLPOST_ROOT/cmake/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

# Starts Xvfb on a display number that the server itself picks (-displayfd), so that two runs on
# one machine can never share a display, and exports DISPLAY.
start_virtual_display() {
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    if [ -s "$number_file" ]; then
      export DISPLAY=":$(tr -d '[:space:]' <"$number_file")"
      rm -f "$number_file"
      unmanage_windows
      return 0
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number_file"
  echo "could not start Xvfb" >&2
  return 1
}

stop_everything() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
}
