#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in a private 32-bit prefix:
#   wine-run.sh [--prefix DIR] PROGRAM [ARGUMENTS...]
# The prefix is $QUILLPOST_WINEPREFIX when set (the scripts set it), else DIR. CMake passes the
# build tree's own prefix as DIR (it is the tests' emulator), so no prefix is ever made elsewhere.
# A new prefix gets the fonts our windows ask for; it is copied from $QUILLPOST_PREFIX_TEMPLATE
# when that names a ready prefix (scripts/test.sh makes one for all the prefixes of a run).
set -eu
default_prefix=""
if [ "${1:-}" = "--prefix" ]; then
  default_prefix=$2
  shift 2
fi
WINEPREFIX=${QUILLPOST_WINEPREFIX:-$default_prefix}
if [ -z "$WINEPREFIX" ]; then
  echo "wine-run.sh: set QUILLPOST_WINEPREFIX or pass --prefix DIR" >&2
  exit 2
fi
export WINEPREFIX WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
# The page is only ever requested, never rendered; keep Wine from offering an HTML engine download.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mshtml=d;winemenubuilder.exe=d}"

# Debian's Wine does not read the fonts of its fonts-wine package, so without copies in the prefix
# there is no Marlett (the title-bar buttons) and no MS Sans Serif (our forms' font).
fonts_wine=/usr/share/wine/fonts
prefix_fonts="marlett.ttf ms_sans_serif.ttf sserife.fon tahoma.ttf tahomabd.ttf"

install_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts font
  mkdir -p "$fonts"
  for font in $prefix_fonts; do
    if [ -f "$fonts_wine/$font" ]; then
      cp "$fonts_wine/$font" "$fonts/"
    else
      echo "wine-run.sh: $fonts_wine/$font is missing (Debian package fonts-wine)" >&2
    fi
  done
}

if [ ! -f "$WINEPREFIX/.quillpost-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.quillpost-ready" ] && [ -f "${QUILLPOST_PREFIX_TEMPLATE:-/nonexistent}/.quillpost-ready" ]; then
      # A copy of a new prefix that no program has run in since it was made: the same as making
      # one, at a seventh of the time.
      rm -rf "$WINEPREFIX"
      cp -a "$QUILLPOST_PREFIX_TEMPLATE" "$WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/.quillpost-ready" ]; then
      wineboot -i </dev/null >/dev/null 2>&1
      install_fonts
      # A program that crashes gets a backtrace on its error output and ends; no dialog waits.
      wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >/dev/null 2>&1
      touch "$WINEPREFIX/.quillpost-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# Wine's background processes must not inherit the caller's output pipe, or CTest waits on them.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
exec wine "$@"
