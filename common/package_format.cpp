#include "common/package_format.h"

#include "common/le_bytes.h"

namespace kestrane {

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameUpper(const char* a, size_t n, const char* upper) {
  size_t i = 0;
  for (; i < n && upper[i]; ++i)
    if (Upper(a[i]) != upper[i]) return false;
  return i == n && upper[i] == '\0';
}

// Windows treats a device name as the device whatever extension follows it, and ignores
// trailing blanks before the extension.
bool IsDeviceName(const char* name) {
  size_t stem = 0;
  while (name[stem] && name[stem] != '.') ++stem;
  while (stem > 0 && name[stem - 1] == ' ') --stem;
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* d : kDevices)
    if (SameUpper(name, stem, d)) return true;
  if (stem == 4 && (SameUpper(name, 3, "COM") || SameUpper(name, 3, "LPT"))) {
    char d = name[3];
    // Windows also knows COM¹²³ and LPT¹²³ (superscript digits in the ANSI code page).
    if ((d >= '0' && d <= '9') || d == '\xB9' || d == '\xB2' || d == '\xB3') return true;
  }
  return false;
}

}  // namespace

bool IsSafeEntryName(const char* name) {
  if (!name || !*name) return false;
  size_t n = 0;
  for (const char* p = name; *p; ++p, ++n) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 32) return false;
    switch (c) {
      case '\\':
      case '/':
      case ':':
      case '*':
      case '?':
      case '"':
      case '<':
      case '>':
      case '|':
        return false;
      default:
        break;
    }
  }
  if (n > 255) return false;
  char last = name[n - 1];
  if (last == '.' || last == ' ') return false;  // also rules out "." and ".."
  return !IsDeviceName(name);
}

const char* SplitProgram(const char* command, size_t* length, const char** rest) {
  const char* p = command;
  while (*p == ' ' || *p == '\t') ++p;
  const char* start = p;
  const char* end;
  if (*p == '"') {
    start = ++p;
    while (*p && *p != '"') ++p;
    end = p;
    if (*p) ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
    end = p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  *length = static_cast<size_t>(end - start);
  *rest = p;
  return start;
}

bool MakeUniqueFolder(const char* base, const FolderMaker& maker, int tries, char* out,
                      size_t out_size) {
  size_t n = 0;
  while (base[n]) ++n;
  if (n + kUnpackPrefixLength + kUnpackDigits + 1 > out_size) return false;
  for (size_t i = 0; i < n; ++i) out[i] = base[i];
  for (size_t i = 0; i < kUnpackPrefixLength; ++i) out[n + i] = kUnpackPrefix[i];
  char* digits = out + n + kUnpackPrefixLength;
  for (int t = 0; t < tries; ++t) {
    unsigned char bits[kUnpackDigits / 2];
    if (!maker.random(bits, sizeof bits, maker.ctx)) return false;
    for (size_t i = 0; i < sizeof bits; ++i) {
      digits[2 * i] = "0123456789abcdef"[bits[i] >> 4];
      digits[2 * i + 1] = "0123456789abcdef"[bits[i] & 15];
    }
    digits[kUnpackDigits] = '\0';
    switch (maker.create(out, maker.ctx)) {
      case CreateResult::kCreated:
        return true;
      case CreateResult::kExists:
        break;
      case CreateResult::kFailed:
        return false;
    }
  }
  return false;
}

bool IsUnpackFolderName(const char* name) {
  for (size_t i = 0; i < kUnpackPrefixLength; ++i) {
    if (name[i] != kUnpackPrefix[i]) return false;
  }
  const char* digits = name + kUnpackPrefixLength;
  for (size_t i = 0; i < kUnpackDigits; ++i) {
    const char c = digits[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return digits[kUnpackDigits] == '\0';
}

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  // Eight tables, filled on first use: the self-extractor checks whole packages with this before
  // it writes a byte, and eight bytes a step take half the time of four.
  static uint32_t table[8][256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int t = 1; t < 8; ++t)
        table[t][i] = (table[t - 1][i] >> 8) ^ table[0][table[t - 1][i] & 0xFF];
    ready = true;
  }
  const unsigned char* p = static_cast<const unsigned char*>(data);
  crc = ~crc;
  while (size >= 8) {
    const uint32_t lo = crc ^ le::Get32(p);
    const uint32_t hi = le::Get32(p + 4);
    crc = table[7][lo & 0xFF] ^ table[6][(lo >> 8) & 0xFF] ^ table[5][(lo >> 16) & 0xFF] ^
          table[4][lo >> 24] ^ table[3][hi & 0xFF] ^ table[2][(hi >> 8) & 0xFF] ^
          table[1][(hi >> 16) & 0xFF] ^ table[0][hi >> 24];
    p += 8;
    size -= 8;
  }
  while (size--) crc = table[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

}  // namespace kestrane
