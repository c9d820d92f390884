#!/usr/bin/env bash
# The benchmark of record: what Quillpost costs its host beyond the work it does.
#   P1 start to first view, against a minimal browser host of our own (bench/), in-process and
#      for the whole process from its launch to its exit, and where the first Initialize spends its
#      time; at 96 dpi, then again (with P3) at 192 dpi;
#   P2 each call: vtable, Invoke against the platform's ITypeInfo::Invoke, GetIDsOfNames;
#   P3 footprint: the DLL's bytes and imports, committed private memory for loading the plug-in
#      and showing the viewer against the minimal host, and the skin's share of it.
# Each pair runs interleaved in one run; min / median / max, since the machine is noisy. A "bar"
# is the target a figure is held to: the most it may be.
# BENCH_ROUNDS (default 30) and BENCH_TRACES (default 7) set how many runs P1 and P3 take.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
# shellcheck source=scripts/lib.sh
. "$here/lib.sh"
build_quillpost Quillpost dispatch_bench minimal_browser_host plugin_first_view start_bench give_back_bench
trap stop_everything EXIT
# A display of our own with unmanaged windows: otherwise every shown or destroyed window waits
# for a window manager that is not there.
start_virtual_display
use_private_prefix "$BUILD_DIR/wine-bench"
run="$QUILLPOST_ROOT/cmake/wine-run.sh"
"$run" regsvr32 /s "$BUILD_DIR/bin/Quillpost.dll"

cat <<'LEGEND'
P1 = start to first view: ms from a host's start until the viewer is shown and its page asked for (in-process), and from its launch to its exit (whole process), Quillpost in a minimal host against a minimal browser host of our own
P2 = per call: ns a host pays for creating Sample and for each call into it, by vtable and by name (IDispatch), against the platform's own dispatch
P3 = footprint: the DLL's bytes and imports, and the committed private memory the plug-in adds to its host
P4 = the give-back after COM let go with windows open: how soon the module goes, and what pinning it instead would keep
bar = the target a figure is held to, the most it may be: a ratio (Quillpost over what its line compares it with), a size or a multiple
LEGEND
dll="$BUILD_DIR/bin/Quillpost.dll"
imports=$(i686-w64-mingw32-objdump -p "$dll" | awk '/DLL Name:/ {printf "%s ", $3}')
echo "P3 Quillpost.dll $(stat -c %s "$dll") bytes (bar 98304); imports: ${imports% }"
# Each library a program imports adds to its start, so P1's two hosts must import the same.
host_imports() { i686-w64-mingw32-objdump -p "$BUILD_DIR/bin/$1.exe" | awk '/DLL Name:/ {printf "%s ", $3}'; }
if [ "$(host_imports plugin_first_view)" != "$(host_imports minimal_browser_host)" ]; then
  echo "P1 the two hosts import different libraries: the whole-process figure is not a fair one" >&2
  exit 1
fi
"$run" "$BUILD_DIR/bin/start_bench.exe" "${BENCH_ROUNDS:-30}" "${BENCH_TRACES:-7}"
# P1 and P3 again with the display at 192 dpi, which Wine applies to every program started after
# it: both hosts, and the viewer, lay themselves out at that DPI.
"$run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null
"$run" "$BUILD_DIR/bin/start_bench.exe" "${BENCH_ROUNDS:-30}" "${BENCH_TRACES:-7}"
"$run" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null
"$run" "$BUILD_DIR/bin/dispatch_bench.exe" | sed -e '/^P2 /!s/^/P2 /'
# The give-back after COM let go, against pinning the module: each run waits out Wine's idle pool
# threads (6 s), so it takes BENCH_GIVE_BACK_ROUNDS (default 8) pairs.
"$run" "$BUILD_DIR/bin/give_back_bench.exe" "${BENCH_GIVE_BACK_ROUNDS:-8}" | sed -e 's/^/P4 /'
