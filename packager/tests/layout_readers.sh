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
"$here/check_readers.sh" "$stub" "$out/package.exe" view.ppt notes.txt empty.dat
