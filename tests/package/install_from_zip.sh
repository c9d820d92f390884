#!/usr/bin/env bash
# scripts/package.sh twice (the same bytes), then, in a fresh prefix, as a user would from the zip:
# install.cmd writes the machine's entries under the user's root and nothing for the machine,
# uninstall.cmd leaves the registry as it found it; install.cmd /all registers for the machine, a
# VBScript client uses the plug-in, uninstall.cmd /all removes it; failures are told in words.
#   install_from_zip.sh BUILD_DIR
set -euo pipefail
export BUILD_DIR=$1
# shellcheck source=scripts/lib.sh
. "$(dirname "$0")/../../scripts/lib.sh"
trap stop_everything EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

work=$BUILD_DIR/package-test
rm -rf "$work"
for run in 1 2; do
  QUILLPOST_DLL=$BUILD_DIR/bin/Quillpost.dll QUILLPOST_DIST=$work/$run "$QUILLPOST_ROOT/scripts/package.sh"
done
zip=$(echo "$work"/1/quillpost-*-win32.zip)
cmp "$zip" "$work/2/${zip##*/}" || fail "two runs of package.sh gave different zips"

start_virtual_display
use_private_prefix "$BUILD_DIR/wine-package"
run() { "$QUILLPOST_ROOT/cmake/wine-run.sh" "$@"; }
# A folder with a blank and parentheses, as "Program Files (x86)" has.
downloads="$WINEPREFIX/drive_c/My Plug-ins (x86)"
python3 -m zipfile -e "$zip" "$downloads"
folder=$(echo "$downloads"/quillpost-*-win32)
(cd "$folder" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"

keys=('CLSID\{55931A42-72BB-4AAC-8C6D-DF4BAD84DCFB}' 'TallowPlugin6.Sample'
      'TypeLib\{A1AF92CF-B99B-443C-B7A8-3022E7E97F28}' 'Interface\{137E88E8-8B28-4072-85F9-BAAFC73084EE}')
# The registration's keys under one classes root, as reg prints them, without the root's name.
entries() {
  local queries=() key
  for key in "${keys[@]}"; do queries+=("reg query $1\\Software\\Classes\\$key /s &"); done
  { run cmd /c "${queries[*]} exit 0" 2>&1 || true; } | tr -d '\r' | sed "s/^$1//"
}
user_classes() { { run reg query 'HKCU\Software\Classes' /s 2>&1 || true; } | tr -d '\r'; }
# succeeds SCRIPT [ARGUMENTS...] -- WORDS: the script, run in the package's folder as a double-click
# runs it, ends with 0 and says WORDS. fails ... does the opposite: another code, and the reason.
say() { (cd "$folder" && run cmd /c "$@" 2>&1 | tr -d '\r'); }
succeeds() { local words=${*: -1}; out=$(say "${@:1:$#-2}") || fail "$*: $out"; grep -q "$words" <<<"$out" || fail "$*: $out"; }
fails() { local words=${*: -1}; out=$(say "${@:1:$#-2}") && fail "$* succeeded: $out"; grep -q "$words" <<<"$out" || fail "$*: $out"; }

machine=$(entries HKEY_LOCAL_MACHINE)
before=$(user_classes)
succeeds install.cmd -- "installed for you"
user=$(entries HKEY_CURRENT_USER)
grep -q 'InprocServer32' <<<"$user" || fail "install.cmd wrote no class for the user: $user"
[ "$(entries HKEY_LOCAL_MACHINE)" = "$machine" ] || fail "install.cmd changed the machine's entries"
succeeds uninstall.cmd -- "uninstalled for you"
[ "$(user_classes)" = "$before" ] || fail "install.cmd and uninstall.cmd left the user's classes changed"

succeeds install.cmd /all -- "installed for all users"
[ "$(entries HKEY_LOCAL_MACHINE)" = "$user" ] || fail "the user's entries are not the machine's under the user's root"
[ "$(user_classes)" = "$before" ] || fail "install.cmd /all changed the user's classes"
printed=$(run cscript //nologo "Z:$(tr / '\\' <<<"$QUILLPOST_ROOT/tests/script/publish.vbs")" | tr -d '\r')
[ "$printed" = "$(cat "$QUILLPOST_ROOT/tests/script/publish.vbs.expected")" ] || fail "cscript client: $printed"
succeeds uninstall.cmd /all -- "uninstalled for all users"
[ "$(entries HKEY_LOCAL_MACHINE)" = "$machine" ] || fail "uninstall.cmd /all left machine entries behind"

fails install.cmd /everyone -- "Usage"
echo "not a DLL" >"$folder/Quillpost.dll"
fails install.cmd -- "Windows could not load"
rm "$folder/Quillpost.dll"
fails uninstall.cmd /all -- "Quillpost.dll is not in"
[ "$(user_classes)$(entries HKEY_LOCAL_MACHINE)" = "$before$machine" ] || fail "a failed script changed the registry"
echo "PASS: ${zip##*/}, $(stat -c %s "$zip") bytes, the same twice; installed and uninstalled for the user and for all"
