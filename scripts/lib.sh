# Shared by the scripts: the builds, a private Wine prefix and a virtual display.
# shellcheck shell=bash

QUILLPOST_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$QUILLPOST_ROOT/build}
# The second compiler's tree lies inside the first's, so that everything a run makes is in build/.
CLANG_BUILD_DIR=${CLANG_BUILD_DIR:-$BUILD_DIR/clang}
QUILLPOST_JOBS=${QUILLPOST_JOBS:-$(nproc)}

# build_tree DIR TOOLCHAIN [TARGET...]: configures (tests included, so that one build tree serves
# every script) and builds the given targets, or everything.
build_tree() {
  local dir=$1 toolchain=$2
  shift 2
  cmake -S "$QUILLPOST_ROOT" -B "$dir" -DBUILD_TESTING=ON \
    -DCMAKE_TOOLCHAIN_FILE="$QUILLPOST_ROOT/cmake/$toolchain" >/dev/null
  local targets=()
  for target in "$@"; do targets+=(--target "$target"); done
  cmake --build "$dir" -j "$QUILLPOST_JOBS" "${targets[@]}"
}

# build_quillpost [TARGET...]: the GCC build in $BUILD_DIR.
build_quillpost() { build_tree "$BUILD_DIR" toolchain-mingw-i686.cmake "$@"; }
# build_quillpost_clang [TARGET...]: the Clang build in $CLANG_BUILD_DIR.
build_quillpost_clang() { build_tree "$CLANG_BUILD_DIR" toolchain-clang-mingw-i686.cmake "$@"; }

# use_private_prefix DIR: a fresh 32-bit prefix for this run, so that nothing left from earlier runs
# can hide a fault. Start the virtual display first, if there is to be one: the prefix's first
# processes must see it, and its windows are then unmanaged. Then one wineserver serves the whole
# run (until stop_everything), so that each program starts against a warm server.
use_private_prefix() {
  export QUILLPOST_WINEPREFIX="$1" WINEPREFIX="$1" WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
  rm -rf "$WINEPREFIX"
  "$QUILLPOST_ROOT/cmake/wine-run.sh" cmd /c exit >/dev/null 2>&1
  [ -z "$XVFB_PID" ] || unmanage_windows
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  wineserver -p </dev/null >/dev/null 2>&1 || true
}

# make_prefix_template DIR: a new prefix in which nothing runs afterwards, made on a display of its
# own as every prefix is, for wine-run.sh to copy wherever this run needs a new prefix. One made
# by the same Wine before is kept.
make_prefix_template() {
  local stamp version
  stamp="$1/.quillpost-template"
  version=$(wine --version)
  [ "$(cat "$stamp" 2>/dev/null)" = "$version" ] && return 0
  (
    unset QUILLPOST_PREFIX_TEMPLATE
    trap stop_everything EXIT
    start_virtual_display
    use_private_prefix "$1"
    wineserver -k  # writes the registry out as it ends
    wineserver -w
  )
  echo "$version" >"$stamp"
}

XVFB_PID=""
# No window manager runs on the virtual display: Wine draws the frames itself and does not wait
# about 2 s for a manager to acknowledge every window it shows or destroys.
unmanage_windows() {
  "$QUILLPOST_ROOT/cmake/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

# Starts Xvfb on a display number that the server itself picks (-displayfd), so that two runs on
# one machine can never share a display, and exports DISPLAY. Call it before use_private_prefix.
start_virtual_display() {
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    if [ -s "$number_file" ]; then
      export DISPLAY=":$(tr -d '[:space:]' <"$number_file")"
      rm -f "$number_file"
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
