#!/usr/bin/env bash
# Builds Quillpost and runs every test under Wine, each build on a private prefix and virtual
# display of its own (what CI runs):
#   - the GCC build in build/, with the check that a second build gives the same DLL;
#   - the Clang build in build/clang/, whose build overlaps the GCC tests.
# QUILLPOST_QUICK=1 is the everyday loop: the GCC build and its tests only. Arguments go to ctest
# (e.g. -R Viewer).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
# shellcheck source=scripts/lib.sh
. "$here/lib.sh"

# run_tests DIR [CTEST ARGUMENTS...]: the tests of the build in DIR, on a fresh prefix in DIR.
run_tests() {
  local dir=$1
  shift
  (
    trap stop_everything EXIT
    start_virtual_display
    use_private_prefix "$dir/wine-tests"
    cd "$dir"
    ctest --output-on-failure --no-tests=error --timeout 180 "$@"
  )
}

elapsed() { echo "--- $1: $((SECONDS - $2)) s"; }

start=$SECONDS
build_quillpost
elapsed "GCC build" "$start"

if [ -n "${QUILLPOST_QUICK:-}" ]; then
  start=$SECONDS
  run_tests "$BUILD_DIR" -LE reproducible "$@"
  elapsed "GCC tests" "$start"
  exit 0
fi

# The GCC tests mostly wait for windows and Wine, so the Clang build runs beside them; the Clang
# build's output waits in a file until the GCC tests have printed theirs.
clang_log=$BUILD_DIR/clang-build.log
mkdir -p "$BUILD_DIR"
start=$SECONDS
build_quillpost_clang >"$clang_log" 2>&1 &
clang_build=$!
gcc_tests=0
run_tests "$BUILD_DIR" -LE reproducible "$@" || gcc_tests=$?
elapsed "GCC tests (beside the Clang build)" "$start"
clang_build_status=0
wait "$clang_build" || clang_build_status=$?
cat "$clang_log"
elapsed "Clang build" "$start"
[ "$clang_build_status" -eq 0 ] || { echo "The Clang build failed" >&2; exit "$clang_build_status"; }

start=$SECONDS
clang_tests=0
run_tests "$CLANG_BUILD_DIR" -LE reproducible "$@" || clang_tests=$?
elapsed "Clang tests" "$start"

start=$SECONDS
reproducible=0
(cd "$BUILD_DIR" && ctest --output-on-failure -L reproducible) || reproducible=$?
elapsed "reproducible build" "$start"

for status in $gcc_tests $clang_tests $reproducible; do
  [ "$status" -eq 0 ] || exit "$status"
done
