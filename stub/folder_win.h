#pragma once
// The stub's private folder under %TEMP%: made so that no other user can enter it, and removed
// with everything below it without stalling on a file that is still in use.
#include <windows.h>

namespace kestrane {

// Makes a new folder under `temp` ("pk" and 16 random hex digits) that only the current user,
// SYSTEM and the Administrators may use, whatever the rights of `temp`. False, with the last
// error set, when no such folder can be made.
bool MakePrivateFolder(const char* temp, char* out, size_t out_size);

// Removes a folder and all below it. Links inside it are removed, never followed. Files still in
// use (a program that has just ended may hold its own file for a moment) are retried, but for a
// few seconds in all: what stays busy after that is left behind.
void RemoveTree(const char* folder);

// How long RemoveTree goes on retrying, in all.
constexpr DWORD kRemoveRetryMs = 3000;
constexpr DWORD kRemoveRetryPauseMs = 250;

}  // namespace kestrane
