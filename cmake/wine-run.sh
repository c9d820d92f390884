#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in the build's private 32-bit prefix.
# CMake uses this as the cross-compiling emulator, so tests and build tools run through it.
set -eu
: "${WINEPREFIX:=${QUILLPOST_WINEPREFIX:-${TMPDIR:-/tmp}/quillpost-wine-$(id -u)}}"
export WINEPREFIX WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
# The page is only ever requested, never rendered; keep Wine from offering an HTML engine download.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mshtml=d;winemenubuilder.exe=d}"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || wineboot -i </dev/null >/dev/null 2>&1
  ) 9>"$WINEPREFIX.lock"
fi
# Wine's background processes must not inherit the caller's output pipe, or CTest waits on them.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
exec wine "$@"
