#!/usr/bin/env bash
# Builds Quillpost and prints the cost of the host's calls into it (under Wine here).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
# shellcheck source=scripts/lib.sh
. "$here/lib.sh"
build_quillpost Quillpost dispatch_bench
trap stop_everything EXIT
# A single-threaded apartment makes a window, so Wine needs a display: a virtual one of its own.
start_virtual_display
use_private_prefix "$BUILD_DIR/wine-bench"
"$QUILLPOST_ROOT/cmake/wine-run.sh" regsvr32 /s "$BUILD_DIR/bin/Quillpost.dll"
"$QUILLPOST_ROOT/cmake/wine-run.sh" "$BUILD_DIR/bin/dispatch_bench.exe"
