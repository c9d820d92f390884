#!/usr/bin/env bash
# The short hostile-host run as a test: on a virtual display and in a Wine prefix of its own, so
# that its windows, its registrations and the registry faults it injects never meet the other
# tests', which can then run beside it.
#   run_short.sh BUILD_DIR [host_stress options...]
set -euo pipefail
export BUILD_DIR=$1
shift
# shellcheck source=scripts/lib.sh
. "$(dirname "$0")/../scripts/lib.sh"
trap stop_everything EXIT
start_virtual_display
use_private_prefix "$BUILD_DIR/wine-stress-short"
run="$QUILLPOST_ROOT/cmake/wine-run.sh"
"$run" regsvr32 /s "$BUILD_DIR/bin/Quillpost.dll"
"$run" "$BUILD_DIR/bin/host_stress.exe" "$@"
