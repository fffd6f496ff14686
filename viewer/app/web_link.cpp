#include "app/web_link.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace viewer {
namespace {

constexpr char kMailto[] = "mailto:";
// The header fields of a mail link that only fill in a new message. Mail programs act on further
// ones (attach, attachment, file and their kin add a file from this computer to the message), so
// nothing outside this list is passed on.
const char* const kMailFields[] = {"to", "cc", "bcc", "subject", "body"};
constexpr int kMaxDecodeRounds = 4;

std::string Lower(std::string s) {
  for (char& c : s) c = char(tolower(static_cast<unsigned char>(c)));
  return s;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  size_t n = strlen(prefix);
  return s.size() > n && Lower(s.substr(0, n)) == prefix;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = char(tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string DecodeOnce(const std::string& s) {
  std::string o;
  for (size_t i = 0; i < s.size(); i++) {
    int hi, lo;
    if (s[i] == '%' && i + 2 < s.size() && (hi = HexValue(s[i + 1])) >= 0 &&
        (lo = HexValue(s[i + 2])) >= 0) {
      o += char(hi * 16 + lo);
      i += 2;
    } else {
      o += s[i];
    }
  }
  return o;
}

// Decoded as often as it still changes: a mail program that decodes twice must see no more
// than what is checked here.
std::string Decode(const std::string& s) {
  std::string cur = s;
  for (int i = 0; i < kMaxDecodeRounds; i++) {
    std::string next = DecodeOnce(cur);
    if (next == cur) break;
    cur = next;
  }
  return cur;
}

// Everything but letters, digits and the few marks an address needs is escaped once, so what a
// mail program decodes is exactly the decoded text checked here.
std::string Encode(const std::string& s, bool address) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string o;
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' ||
        (address && (c == '@' || c == ',' || c == '+'))) {
      o += char(c);
    } else {
      o += '%';
      o += kHex[c >> 4];
      o += kHex[c & 15];
    }
  }
  return o;
}

bool AllowedField(const std::string& name) {
  for (const char* f : kMailFields)
    if (name == f) return true;
  return false;
}

// Decoded text that, read by a mail program splitting after decoding, would carry a field of
// its own that is not allowed.
bool HidesField(const std::string& decoded) {
  for (size_t i = 0; i < decoded.size(); i++) {
    char c = decoded[i];
    if (c != '?' && c != '&' && c != ';') continue;
    size_t eq = decoded.find('=', i + 1);
    if (eq == std::string::npos) return false;
    std::string name = Lower(decoded.substr(i + 1, eq - i - 1));
    while (!name.empty() && isspace(static_cast<unsigned char>(name.back()))) name.pop_back();
    while (!name.empty() && isspace(static_cast<unsigned char>(name.front()))) name.erase(0, 1);
    if (!AllowedField(name)) return true;
  }
  return false;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (;;) {
    size_t at = s.find(sep, from);
    parts.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

std::string SafeMailto(const std::string& url) {
  std::string rest = url.substr(strlen(kMailto));
  rest = rest.substr(0, rest.find('#'));  // a fragment means nothing to a mail program
  size_t q = rest.find('?');
  std::string address = Decode(rest.substr(0, q));
  if (HidesField("&" + address)) return "";
  std::string out = kMailto + Encode(address, true);
  if (q == std::string::npos) return out;
  char sep = '?';
  // Some mail programs also split fields at semicolons.
  for (const std::string& amp : Split(rest.substr(q + 1), '&')) {
    for (const std::string& field : Split(amp, ';')) {
      size_t eq = field.find('=');
      if (eq == std::string::npos) continue;
      std::string name = Lower(Decode(field.substr(0, eq)));
      std::string value = Decode(field.substr(eq + 1));
      if (!AllowedField(name) || HidesField(value)) continue;
      out += sep;
      out += name + "=" + Encode(value, name == "to" || name == "cc" || name == "bcc");
      sep = '&';
    }
  }
  return out;
}

}  // namespace

std::string WebLinkToOpen(const std::string& url) {
  if (StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://")) return url;
  if (StartsWithNoCase(url, kMailto)) return SafeMailto(url);
  return "";
}

}  // namespace viewer
