#!/usr/bin/env bash
# Makes the release package a user downloads: dist/quillpost-<version>-win32.zip, with the version
# taken from the DLL's version record. It holds one folder with Quillpost.dll, install.cmd and
# uninstall.cmd, the user guide with its pictures, and SHA256SUMS of them all.
#
# Two runs give the same bytes: the files go in a fixed order with fixed dates (the last commit's,
# or SOURCE_DATE_EPOCH), permissions and compression, and the DLL's build is reproducible.
#   QUILLPOST_DLL=PATH   package that DLL instead of building one (the tests do)
#   QUILLPOST_DIST=DIR   where the zip goes (default: dist/)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/lib.sh
. "$here/lib.sh"

dll=${QUILLPOST_DLL:-}
if [ -z "$dll" ]; then
  "$here/setup.sh"
  build_quillpost Quillpost
  dll=$BUILD_DIR/bin/Quillpost.dll
fi
dist=${QUILLPOST_DIST:-$QUILLPOST_ROOT/dist}
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$QUILLPOST_ROOT" log -1 --format=%ct 2>/dev/null || echo 315532800)}
mkdir -p "$dist"

python3 - "$dll" "$QUILLPOST_ROOT" "$dist" "$epoch" <<'PYTHON'
import hashlib, os, sys, time, zipfile

dll, root, dist, epoch = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])

def version_of(image):
    """The ProductVersion string of the version record: UTF-16 text after its key, 32-bit aligned."""
    key = "ProductVersion\0".encode("utf-16-le")
    at = image.find(key)
    if at < 0:
        sys.exit(f"package.sh: {dll} has no ProductVersion in its version record")
    at += len(key)
    at += -at % 4
    end = at
    while image[end:end + 2] != b"\0\0":
        end += 2
    return image[at:end].decode("utf-16-le")

def crlf(path):
    """Command scripts with Windows line ends, whatever the checkout did to them."""
    text = open(path, "rb").read().replace(b"\r\n", b"\n")
    return text.replace(b"\n", b"\r\n")

image = open(dll, "rb").read()
version = version_of(image)
folder = f"quillpost-{version}-win32"
files = [
    ("Quillpost.dll", image),
    ("install.cmd", crlf(os.path.join(root, "package", "install.cmd"))),
    ("uninstall.cmd", crlf(os.path.join(root, "package", "uninstall.cmd"))),
    ("user-guide.html", open(os.path.join(root, "docs", "user-guide.html"), "rb").read()),
    ("images/viewer.png", open(os.path.join(root, "docs", "images", "viewer.png"), "rb").read()),
    ("images/about.png", open(os.path.join(root, "docs", "images", "about.png"), "rb").read()),
]
sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in files)
files.append(("SHA256SUMS", sums.encode("ascii")))

# Zip dates are local times with two-second steps; the UTC time of the epoch is used as it is.
stamp = time.gmtime(max(epoch, 315532800))[:6]
target = os.path.join(dist, f"{folder}.zip")
with zipfile.ZipFile(target + ".part", "w") as archive:
    for name, data in files:
        entry = zipfile.ZipInfo(f"{folder}/{name}", date_time=stamp)
        entry.create_system = 0  # MS-DOS: no Unix permissions that differ from one machine to the next
        entry.external_attr = 0
        entry.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(entry, data, compresslevel=9)
os.replace(target + ".part", target)
digest = hashlib.sha256(open(target, "rb").read()).hexdigest()
print(f"{target}: {os.path.getsize(target)} bytes, sha256 {digest}")
PYTHON
