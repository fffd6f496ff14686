#pragma once
// Whole files and folders for the Windows tests of the packager and the stub.
#include <set>
#include <string>

namespace kestrane::testfs {

// The file's bytes, read while others may still write or delete it; empty when it cannot be read.
std::string Slurp(const std::string& path);
// Replaces the file with `bytes`; a file that cannot be created fails the test.
void Spit(const std::string& path, const std::string& bytes);
// The names in a folder, without "." and "..".
std::set<std::string> Listing(const std::string& folder);
// Removes a folder and all below it, read-only files too.
void RemoveTree(const std::string& path);

}  // namespace kestrane::testfs
