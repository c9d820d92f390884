#!/usr/bin/env bash
# Builds Quillpost, registers it with regsvr32 in a private Wine prefix and runs the host on it.
#
# With a display: the windows stay open and the host prompts for commands (/xquillpost,
# !configure, !quit ...). Without one (or with QUILLPOST_HEADLESS=1): a scripted session on a
# virtual display that saves a PNG of every window the plug-in opened, then cleans up.
# QUILLPOST_UNREGISTERED=1: no regsvr32 (so no administrator on Windows): the host is given the
# DLL's path and finds the plug-in through the DLL's own manifest.
# QUILLPOST_DPI=144 (120, 192, ...): the display's DPI in the private prefix, which Wine applies
# to every program started after it, so the windows and their screenshots are at that DPI.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh" demo
# shellcheck source=scripts/lib.sh
. "$here/lib.sh"

build_quillpost Quillpost quillpost-host
trap stop_everything EXIT
wine_run() { "$QUILLPOST_ROOT/cmake/wine-run.sh" "$@"; }
dll=$BUILD_DIR/bin/Quillpost.dll
host=$BUILD_DIR/host/quillpost-host.exe
email=${QUILLPOST_EMAIL:-you@quillpost.example}

# register/unregister: regsvr32, unless the plug-in is used unregistered.
plugin_args=()
if [ -n "${QUILLPOST_UNREGISTERED:-}" ]; then
  plugin_args=(--plugin "Z:$(printf '%s' "$dll" | tr / '\\')")
  register() { :; }
  unregister() { :; }
else
  register() { wine_run regsvr32 /s "$dll"; }
  unregister() { wine_run regsvr32 /s /u "$dll"; }
fi
set_display_dpi() {
  [ -z "${QUILLPOST_DPI:-}" ] ||
    wine_run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$QUILLPOST_DPI" /f >/dev/null
}

if [ -n "${DISPLAY:-}" ] && [ -z "${QUILLPOST_HEADLESS:-}" ]; then
  use_private_prefix "$BUILD_DIR/wine-demo"
  set_display_dpi
  register
  wine_run "$host" "${plugin_args[@]}" --email "$email"
  unregister
  exit 0
fi

start_virtual_display
use_private_prefix "$BUILD_DIR/wine-demo"
set_display_dpi
register
shots=${QUILLPOST_SCREENSHOTS:-$BUILD_DIR/screenshots}
rm -rf "$shots" && mkdir -p "$shots"
log=$shots/session.log

# Each "!windows" lists the visible windows; the pause after it is when they are captured.
wine_run "$host" "${plugin_args[@]}" --typelib --email "$email" --session \
  /xquillpost '!wait 3000' '!windows' '!wait 3000' \
  '!configure' '!wait 1000' '!windows' '!wait 3000' \
  '!close' >"$log" 2>&1 &
host_pid=$!

batch=0
capture_batch() {
  batch=$((batch + 1))
  sed -n "/^window /p" "$log" | sed -n "$1,\$p" | while read -r _ caption x y w h; do
    name=$(printf '%s' "$caption" | tr -d '"' | tr -c 'A-Za-z0-9\n' '_')
    import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$shots/$batch-$name.png"
    echo "  $shots/$batch-$name.png  ($caption, ${w}x${h} at $x,$y)"
  done
}

listed=0
seen_windows=1
echo "Screenshots:"
while kill -0 "$host_pid" 2>/dev/null; do
  count=$(grep -c '^windows listed' "$log" || true)
  if [ "$count" -gt "$listed" ]; then
    capture_batch "$seen_windows"
    seen_windows=$(( $(grep -c '^window ' "$log") + 1 ))
    listed=$count
  fi
  sleep 0.2
done
wait "$host_pid" || { cat "$log"; exit 1; }
unregister
echo
cat "$log"
echo
echo "Session log and screenshots are in $shots"
