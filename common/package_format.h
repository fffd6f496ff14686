#pragma once
// What the packager and the self-extractor agree on: the resource names a package carries, the
// rules for names inside its cabinet, and its checksum. Plain C-style code, because the
// self-extractor links it and must stay small.
#include <stddef.h>
#include <stdint.h>

namespace kestrane {

// RT_RCDATA resources of a package, beside the stub's own icon and version block.
constexpr char kResCabinet[] = "CABINET";        // the cabinet holding every file
constexpr char kResCabSum[] = "CABSUM";          // 8 bytes: cabinet size, then its CRC-32 (LE)
constexpr char kResTitle[] = "TITLE";            // NUL-terminated ANSI text
constexpr char kResRunProgram[] = "RUNPROGRAM";  // command run after unpacking
constexpr char kResPostRunProgram[] = "POSTRUNPROGRAM";  // command run after it; may be empty
constexpr char kResShowWindow[] = "SHOWWINDOW";  // 4 bytes LE: 0 normal, 1 hidden, 2 min, 3 max
constexpr char kResReboot[] = "REBOOT";          // "N": never restart
constexpr char kResPrompt[] = "USRPROMPT";       // question asked before unpacking; may be empty
constexpr char kResFinish[] = "FINISHMSG";       // message shown at the end; may be empty

// A name the self-extractor may create inside its own folder: one plain component, no drive,
// no separator, no "..", no ':' (streams), no device name (CON, NUL, COM1, "aux.txt"), no
// characters Windows forbids in names, and no trailing dot or blank, which Windows would strip
// and so let two names meet.
bool IsSafeEntryName(const char* name);

// The program part of a command: a leading quoted text, or everything up to the first blank.
// Sets *length to its length (without quotes) and returns where it starts; *rest points after
// it, at the arguments (leading blanks skipped).
const char* SplitProgram(const char* command, size_t* length, const char** rest);

// Unpacking folders are named kUnpackPrefix and kUnpackDigits random lowercase hex digits.
constexpr char kUnpackPrefix[] = "pk";
constexpr size_t kUnpackPrefixLength = sizeof kUnpackPrefix - 1;
constexpr size_t kUnpackDigits = 16;

// Makes a new folder `base` + "pk" + 16 random hex digits, never reusing a name that exists:
// `create` must fail with kExists when the folder is there already, and every try takes fresh
// random bits. Gives up after `tries` taken names, at once on any other failure, and when no
// random bits can be had: a guessable name is worse than no folder.
enum class CreateResult { kCreated, kExists, kFailed };
struct FolderMaker {
  CreateResult (*create)(const char* path, void* ctx);
  bool (*random)(void* bytes, size_t n, void* ctx);
  void* ctx;
};
bool MakeUniqueFolder(const char* base, const FolderMaker& maker, int tries, char* out,
                      size_t out_size);

// Whether `name` is one that MakeUniqueFolder gives: "pk" and 16 lowercase hex digits.
bool IsUnpackFolderName(const char* name);

// CRC-32 (the zip polynomial), continued from `crc` (0 to start).
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

}  // namespace kestrane
