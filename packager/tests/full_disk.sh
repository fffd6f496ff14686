#!/usr/bin/env bash
# Runs the full-disk cases of win_package_test (unpacking into %TEMP%, and writing a package) on a
# 1 MB drive: a tmpfs mounted here and mapped into the Wine prefix as drive T:. Ends with 77 (skipped) where mounting is not allowed.
# Arguments: the wine-run script, the test program.
set -u
wine_run=$1 test=$2
b=${KESTRANE_BUILD:-$(cd "$(dirname "$wine_run")/.." && pwd)/build}
prefix=${WINEPREFIX:-$b/wineprefix}
small=$(mktemp -d)
if ! mount -t tmpfs -o size=1m tmpfs "$small" 2>/dev/null; then
  rmdir "$small"
  echo "cannot mount a small drive here: skipped"
  exit 77
fi
"$wine_run" cmd /c exit >/dev/null 2>&1  # makes the prefix if it is not there yet
ln -sfn "$small" "$prefix/dosdevices/t:"
KESTRANE_SMALL_DRIVE=T: "$wine_run" "$test" --gtest_filter=Package.StopsWhenTheDiskIsFull:PackageWriter.ARealFullDiskLeavesNothingBehind
rc=$?
rm -f "$prefix/dosdevices/t:"
umount "$small" && rmdir "$small"
exit $rc
