#!/usr/bin/env bash
# Builds Quillpost and runs every test under Wine on a private prefix and virtual display.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
# shellcheck source=scripts/lib.sh
. "$here/lib.sh"

build_quillpost
use_private_prefix "$BUILD_DIR/wine-tests"
trap stop_everything EXIT
start_virtual_display
cd "$BUILD_DIR"
ctest --output-on-failure --no-tests=error --timeout 180 "$@"
