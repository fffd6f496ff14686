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

// Gives a file or a folder with all it holds to another account of this machine, as if another
// user had made it. Under Wine, what another Unix user owns shows an owner that is neither this
// user, SYSTEM nor the Administrators; elsewhere no second account can be had from a test, and
// this returns false.
bool GiveToAnotherAccount(const std::string& path);

}  // namespace kestrane::testfs
