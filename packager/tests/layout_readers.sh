#!/usr/bin/env bash
# Readers outside Windows on a package laid out natively by the packager's own layout code around
# the real stub: see check_readers.sh. Ends with 77 (skipped) while the stub is not built.
# Arguments: the layout tool, the stub.
set -u
here=$(cd "$(dirname "$0")" && pwd)
tool=$1 stub=$2
[ -f "$stub" ] || { echo "no stub at $stub: skipped"; exit 77; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
head -c 100000 /dev/urandom > "$out/view.ppt"
seq 1 20000 > "$out/notes.txt"
: > "$out/empty.dat"
"$tool" "$stub" "$out/package.exe" "$out/view.ppt" "$out/notes.txt" "$out/empty.dat" || exit 1
"$here/check_readers.sh" "$stub" "$out/package.exe" view.ppt notes.txt empty.dat || exit 1
# The stub carries an image checksum, so the package must carry its own, right.
python3 - "$out/package.exe" <<'PY' || exit 1
import struct, sys
b = bytearray(open(sys.argv[1], "rb").read())
at = struct.unpack_from("<I", b, 0x3C)[0] + 24 + 64
stored = struct.unpack_from("<I", b, at)[0]
b[at:at + 4] = bytes(4)
if len(b) % 2:
    b.append(0)
s = 0
for (w,) in struct.iter_unpack("<H", b):
    s += w
    s = (s & 0xFFFF) + (s >> 16)
s = ((s & 0xFFFF) + (s >> 16)) + len(open(sys.argv[1], "rb").read())
print("readers: checksum %08x, computed %08x" % (stored, s))
sys.exit(0 if stored == s and stored else 1)
PY
