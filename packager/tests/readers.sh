#!/usr/bin/env bash
# Readers outside Windows on a package the packager wrote under Wine (win_package_test's resource
# test keeps it): see check_readers.sh.
# Arguments: the wine-run script, the test program, the stub.
set -u
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$1 test=$2 stub=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
package=$out/package.exe
KESTRANE_KEEP_PACKAGE="Z:$(echo "$package" | tr / '\\')" "$wine_run" "$test" \
  --gtest_filter=PackageWriter.TheSystemReadsThePackageWithTheStubsOwnResourcesIntact || exit 1
[ -f "$package" ] || { echo "readers: no package was kept"; exit 1; }
"$here/check_readers.sh" "$stub" "$package" view.ppt notes.txt empty.dat
