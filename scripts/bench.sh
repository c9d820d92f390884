#!/usr/bin/env bash
# Builds Quillpost and prints the cost of the host's calls into it (under Wine here).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
# shellcheck source=scripts/lib.sh
. "$here/lib.sh"
build_quillpost Quillpost dispatch_bench
use_private_prefix "$BUILD_DIR/wine-bench"
trap stop_everything EXIT
"$QUILLPOST_ROOT/cmake/wine-run.sh" regsvr32 /s "$BUILD_DIR/bin/Quillpost.dll"
"$QUILLPOST_ROOT/cmake/wine-run.sh" "$BUILD_DIR/bin/dispatch_bench.exe"
