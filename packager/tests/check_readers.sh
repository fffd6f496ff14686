#!/usr/bin/env bash
# The checks of readers outside Windows on a package: icoutils' wrestool finds the stub's own
# icons, icon group, version block and manifest unchanged and the package's resources beside
# them, cabextract finds one whole cabinet whose checksums hold and which holds the given names,
# and the linker's objdump reads the headers and the resource directory without complaint.
# Arguments: the stub, the package, the names the cabinet must hold.
set -u
stub=$1 package=$2
shift 2
# The 64-bit linker's objdump reads 32-bit and 64-bit images alike (test builds may be 64-bit).
objdump=i686-w64-mingw32-objdump
command -v x86_64-w64-mingw32-objdump >/dev/null && objdump=x86_64-w64-mingw32-objdump
for tool in wrestool cabextract $objdump; do
  command -v $tool >/dev/null || { echo "readers: $tool is missing (scripts/bootstrap)"; exit 1; }
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail=0
check() { if ! "$@"; then echo "readers: failed: $*"; fail=1; fi; }

# type 3 icon images, 14 the icon group, 16 the version block, 24 the manifest
for type in 3 14 16 24; do
  mkdir -p "$out/stub-$type" "$out/package-$type"
  wrestool -x --raw -t $type -o "$out/stub-$type" "$stub"
  check wrestool -x --raw -t $type -o "$out/package-$type" "$package"
  check test -n "$(ls -A "$out/stub-$type")"
  # The files are named after the program they came from.
  for side in stub package; do
    (cd "$out/$side-$type" && for f in *; do mv "$f" "x_${f#*.exe_}"; done)
  done
  check diff -r "$out/stub-$type" "$out/package-$type"
done
wrestool -l "$package" > "$out/list.txt"
for name in CABINET CABSUM TITLE RUNPROGRAM; do
  check grep -q -- "--name=.$name. " "$out/list.txt"
done

check cabextract -q -t "$package"
cabextract -l "$package" > "$out/cab.txt"
for name in "$@"; do
  check grep -q " | $name\$" "$out/cab.txt"
done
# The cabinet that wrestool finds as the resource is the whole cabinet.
check wrestool -x --raw --type=10 --name=CABINET -o "$out/cabinet.cab" "$package"
check cabextract -q -t "$out/cabinet.cab"
check cmp <(cabextract -l "$out/cabinet.cab" | grep ' | ') <(grep ' | ' "$out/cab.txt")

$objdump -p "$package" > "$out/objdump.txt" 2>&1
check test $? -eq 0
check grep -q "CABINET" "$out/objdump.txt"
if grep -qi "corrupt\|invalid\|warning" "$out/objdump.txt"; then
  echo "readers: objdump complains:"; grep -i "corrupt\|invalid\|warning" "$out/objdump.txt"
  fail=1
fi
[ $fail -eq 0 ] && echo "readers: wrestool, cabextract and objdump read the package"
exit $fail
