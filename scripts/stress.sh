#!/usr/bin/env bash
# The hostile-host stress run: builds Quillpost.dll and host_stress, registers the DLL with
# regsvr32 in a private prefix on a private virtual display, and runs host_stress (every
# scenario in a child process of its own, under a time limit), then the random dispatch calls
# of dispatch_fuzz when the build has it. Prints the figures; exit code 0 only when every bar
# is met.
#
#   scripts/stress.sh                  # the full run (10,000 window cycles each, 1,000 unloads, ...)
#   scripts/stress.sh --short          # the short run that CTest runs as stress_short
#   scripts/stress.sh --seed 42 --window-cycles 500 --only viewer-cycles,browser-baseline
#   scripts/stress.sh --only slow-system   # the slow-system family: each slow call in turn
#
# Without --seed a seed is chosen and printed; give it again to repeat the run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
# shellcheck source=scripts/lib.sh
. "$here/lib.sh"

seed="" short=no
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  case "${args[i]}" in
    --seed) seed=${args[i + 1]:-} ;;
    --short) short=yes ;;
  esac
done
if [ -z "$seed" ]; then
  seed=$(( (RANDOM * 32768 + RANDOM) % 1000000 ))
  args+=(--seed "$seed")
fi
echo "stress seed $seed (scripts/stress.sh --seed $seed repeats it)"

build_quillpost Quillpost host_stress
fuzz=no
if cmake --build "$BUILD_DIR" --target help | grep -w dispatch_fuzz >/dev/null; then
  cmake --build "$BUILD_DIR" -j "$(nproc)" --target dispatch_fuzz
  fuzz=yes
fi

trap stop_everything EXIT
# The display first: the prefix's long-lived Wine processes must see it, or no window ever shows.
start_virtual_display
use_private_prefix "$BUILD_DIR/wine-stress"
run() { "$QUILLPOST_ROOT/cmake/wine-run.sh" "$@"; }
run regsvr32 /s "$BUILD_DIR/bin/Quillpost.dll"

mkdir -p "$BUILD_DIR/stress"
status=0
started=$(date +%s)
run "$BUILD_DIR/bin/host_stress.exe" "${args[@]}" 2>&1 | tee "$BUILD_DIR/stress/host_stress.log" || status=1

if [ "$fuzz" = yes ]; then
  calls=1000000
  [ "$short" = yes ] && calls=5000
  echo "dispatch_fuzz $seed $calls"
  # Without Wine's BSTR cache the heap shows every string the calls leave behind.
  OANOCACHE=1 run "$BUILD_DIR/bin/dispatch_fuzz.exe" "$seed" "$calls" 2>&1 | tee "$BUILD_DIR/stress/dispatch_fuzz.log" || status=1
else
  echo "dispatch_fuzz: not in this build; no random dispatch calls were made"
fi
echo "stress run: $(( $(date +%s) - started )) s, seed $seed, $([ $status = 0 ] && echo 'every bar met' || echo 'FAILED')"
exit $status
