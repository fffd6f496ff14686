#!/usr/bin/env bash
# A package as readers outside Windows see it: icoutils' wrestool finds the stub's own icon,
# version block and manifest unchanged, and cabextract finds one whole cabinet whose checksums all
# hold. The package is the one that win_package_test's resource test writes.
# Arguments: the wine-run script, the test program, the stub.
set -u
wine_run=$1 test=$2 stub=$3
for tool in wrestool cabextract; do
  command -v $tool >/dev/null || { echo "readers: $tool is missing (scripts/bootstrap)"; exit 1; }
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
package=$out/package.exe
KESTRANE_KEEP_PACKAGE="Z:$(echo "$package" | tr / '\\')" "$wine_run" "$test" \
  --gtest_filter=PackageWriter.TheSystemReadsThePackageWithTheStubsOwnResourcesIntact || exit 1
[ -f "$package" ] || { echo "readers: no package was kept"; exit 1; }
fail=0
check() { if ! "$@"; then echo "readers: failed: $*"; fail=1; fi; }

# type 3 icon images, 14 the icon group, 16 the version block, 24 the manifest
for type in 3 14 16 24; do
  mkdir -p "$out/stub-$type" "$out/package-$type"
  wrestool -x -t $type -o "$out/stub-$type" "$stub" 2>/dev/null
  wrestool -x -t $type -o "$out/package-$type" "$package"
  check test -n "$(ls -A "$out/stub-$type")"
  (cd "$out/stub-$type" && for f in *; do mv "$f" "${f#*_}"; done)
  (cd "$out/package-$type" && for f in *; do mv "$f" "${f#*_}"; done)
  check diff -r "$out/stub-$type" "$out/package-$type"
done
wrestool -l "$package" > "$out/list.txt"
for name in CABINET CABSUM TITLE RUNPROGRAM; do
  check grep -q -- "--name=.$name. " "$out/list.txt"
done

check cabextract -q -t "$package"
cabextract -l "$package" > "$out/cab.txt"
for name in view.ppt notes.txt empty.dat; do
  check grep -q " | $name\$" "$out/cab.txt"
done
# The cabinet wrestool finds is the cabinet cabextract reads.
wrestool -x --type=10 --name=CABINET -o "$out/cabinet.cab" "$package"
check cabextract -q -t "$out/cabinet.cab"
[ $fail -eq 0 ] && echo "readers: wrestool and cabextract read the package"
exit $fail
