#!/usr/bin/env bash
# Builds Quillpost and runs every test under Wine, each build on a private prefix and virtual
# display of its own (what CI runs):
#   - the GCC build in build/, with the check that a second build gives the same DLL;
#   - the Clang build in build/clang/.
# QUILLPOST_QUICK=1 is the everyday loop, about a minute of tests: the GCC build and its tests
# without those labelled ci (the short stress run, the package's install, the slow rows of some
# programs; `ctest -L ci` runs them) or reproducible. Arguments go to ctest (e.g. -R Viewer).
#
# The builds run one after the other in the background; meanwhile each test run makes its prefix,
# and the Clang build runs while the GCC tests (which mostly wait on windows and Wine) run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
# shellcheck source=scripts/lib.sh
. "$here/lib.sh"

compilers=(gcc clang)
[ -z "${QUILLPOST_QUICK:-}" ] || compilers=(gcc)
logs=$BUILD_DIR/logs
mkdir -p "$logs"
for compiler in "${compilers[@]}"; do rm -f "$logs/$compiler-build.status"; done

started=$SECONDS
# Each build leaves its output in logs/<compiler>-build.log and its exit code in .status.
(
  previous=0
  for compiler in "${compilers[@]}"; do
    status=0
    if [ "$previous" -ne 0 ]; then
      echo "not built: the build before it failed" >"$logs/$compiler-build.log"
      status=$previous
    elif [ "$compiler" = gcc ]; then
      build_quillpost >"$logs/gcc-build.log" 2>&1 || status=$?
    else
      build_quillpost_clang >"$logs/clang-build.log" 2>&1 || status=$?
    fi
    echo "--- $compiler build ended at $((SECONDS - started)) s" >>"$logs/$compiler-build.log"
    echo "$status" >"$logs/$compiler-build.status"
    previous=$status
  done
) &
builds=$!
trap 'kill "$builds" 2>/dev/null || true' EXIT

# wait_for_build COMPILER: prints the build's output once it has ended; fails if the build did.
wait_for_build() {
  while [ ! -f "$logs/$1-build.status" ]; do sleep 0.5; done
  cat "$logs/$1-build.log"
  return "$(cat "$logs/$1-build.status")"
}

# run_tests COMPILER DIR [CTEST ARGUMENTS...]: a fresh display and prefix (made while the build
# runs), then the tests of that build.
run_tests() {
  local compiler=$1 dir=$2
  shift 2
  (
    trap stop_everything EXIT
    start_virtual_display
    use_private_prefix "$dir/wine-tests"
    wait_for_build "$compiler"
    local from=$SECONDS
    cd "$dir"
    # Two at a time: the runs with a display of their own (the short stress run, the package's
    # install) beside the programs that share this one (they hold the resource lock
    # quillpost_desktop, one after another).
    # Called as `run_tests ... || failed=1`, where errexit does not apply: the status is kept by hand.
    local status=0
    ctest --output-on-failure --no-tests=error --timeout 180 -j 2 "$@" || status=$?
    echo "--- $compiler tests: $((SECONDS - from)) s (all done at $((SECONDS - started)) s)"
    exit "$status"
  )
}

# Every prefix of the run, the tests' own included, is a copy of one new prefix made while the
# builds run.
export QUILLPOST_PREFIX_TEMPLATE=$BUILD_DIR/wine-template
make_prefix_template "$QUILLPOST_PREFIX_TEMPLATE"

leave_out=reproducible
[ -z "${QUILLPOST_QUICK:-}" ] || leave_out='^(reproducible|ci)$'
failed=0
run_tests gcc "$BUILD_DIR" -LE "$leave_out" "$@" || failed=1
[ "$(cat "$logs/gcc-build.status")" -eq 0 ] || exit 1
if [ -z "${QUILLPOST_QUICK:-}" ]; then
  run_tests clang "$CLANG_BUILD_DIR" -LE reproducible "$@" || failed=1
  (cd "$BUILD_DIR" && ctest --output-on-failure -L reproducible) || failed=1
  echo "--- all done at $((SECONDS - started)) s"
fi
exit "$failed"
