#include "ppt/presentation.h"

#include <algorithm>

// What the model answers of itself, apart from reading it from a file.
namespace ppt {

bool TextBody::empty() const {
  for (const Paragraph& p : paragraphs)
    for (const Run& r : p.runs)
      for (char16_t c : r.text)
        if (c > u' ') return false;
  return true;
}

std::vector<size_t> Presentation::ShowOrder() const {
  std::vector<size_t> order;
  size_t first = 0, last = slides.size();
  if (show.use_range && show.first >= 1 && show.last >= show.first) {
    first = std::min<size_t>(size_t(show.first - 1), slides.size());
    last = std::min<size_t>(size_t(show.last), slides.size());
  }
  for (size_t i = first; i < last; i++)
    if (!slides[i].hidden) order.push_back(i);
  return order;
}

std::string ToUtf8(const std::u16string& s) {
  std::string o;
  for (size_t i = 0; i < s.size(); i++) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      i++;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      o += char(c);
    } else if (c < 0x800) {
      o += char(0xC0 | (c >> 6));
      o += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      o += char(0xE0 | (c >> 12));
      o += char(0x80 | ((c >> 6) & 0x3F));
      o += char(0x80 | (c & 0x3F));
    } else {
      o += char(0xF0 | (c >> 18));
      o += char(0x80 | ((c >> 12) & 0x3F));
      o += char(0x80 | ((c >> 6) & 0x3F));
      o += char(0x80 | (c & 0x3F));
    }
  }
  return o;
}

}  // namespace ppt
