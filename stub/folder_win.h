#pragma once
// The stub's private folder under %TEMP%: made so that no other user can enter it, and removed
// with everything below it without stalling on a file that is still in use.
#include <windows.h>

namespace kestrane {

// Makes a new folder under `temp` ("pk" and 16 random hex digits) that only the current user,
// SYSTEM and the Administrators may use, whatever the rights of `temp`. False, with the last
// error set, when no such folder can be made.
bool MakePrivateFolder(const char* temp, char* out, size_t out_size);

// Marks a folder made by MakePrivateFolder as in use for as long as the handle returned stays
// open: while it is, no other package removes the folder as stale. Close it before RemoveTree.
// INVALID_HANDLE_VALUE when the folder cannot be opened.
HANDLE HoldFolder(const char* folder);

// Removes what earlier runs of packages left under `temp` (a package that was ended from the Task
// Manager, a machine that lost power): unpacking folders of the current user that no running
// package holds and that are unchanged for kStaleAfterSeconds, at most kMaxStaleFolders of them,
// one pass each, so that a file still in use costs no waiting.
void RemoveStaleFolders(const char* temp);

// A folder changed more recently than this may belong to a package that has made it but not yet
// held it.
constexpr DWORD kStaleAfterSeconds = 60;
constexpr int kMaxStaleFolders = 16;

// Removes a folder and all below it. Links inside it are removed, never followed. Files still in
// use (a program that has just ended may hold its own file for a moment) are retried, but for a
// few seconds in all: what stays busy after that is left behind.
void RemoveTree(const char* folder);

// How long RemoveTree goes on retrying, in all.
constexpr DWORD kRemoveRetryMs = 3000;
constexpr DWORD kRemoveRetryPauseMs = 250;

}  // namespace kestrane
