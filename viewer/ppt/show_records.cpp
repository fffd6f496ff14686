// What the show does beyond painting: builds, transitions, action settings, hyperlinks and the
// embedded sounds they play.
#include <algorithm>
#include <cstdlib>

#include "ppt/loader.h"

namespace ppt {
namespace detail {

namespace {

constexpr int kHyperlinkScheme = 6;  // the scheme's accent-and-hyperlink colour
constexpr int kFollowedScheme = 7;   // the scheme's accent-and-followed-hyperlink colour

// Values of the interactive-info atom.
namespace act {
enum : uint8_t { kNone = 0, kMacro = 1, kProgram = 2, kJump = 3, kHyperlink = 4, kOle = 5 };
enum : uint8_t { kJumpNext = 1, kJumpPrevious, kJumpFirst, kJumpLast, kJumpLastViewed, kJumpEnd };
constexpr uint8_t kLinkNext = 0, kLinkPrevious = 1, kLinkFirst = 2, kLinkLast = 3;
constexpr uint8_t kLinkSlide = 7, kLinkUrl = 8, kLinkPresentation = 9, kLinkFile = 10;
// Where the interactive-info atom holds its action.
constexpr size_t kActionAt = 8;
}  // namespace act

// Flags of the animation-info atom.
constexpr uint32_t kAnimReverse = 0x0001, kAnimAutomatic = 0x0004, kAnimStopSound = 0x0040;
constexpr uint8_t kBuildFollowMaster = 0xFE;
// Flags of the slide's show-info atom.
constexpr uint16_t kSlideManual = 0x0001, kSlideSound = 0x0010, kSlideLoopSound = 0x0040,
                   kSlideStopSound = 0x0100;
constexpr size_t kMaxSoundBytes = 64u << 20;
constexpr size_t kMaxTextLinks = 256;

std::u16string CString(const Record& r) {
  std::u16string s;
  for (size_t i = 0; i + 1 < r.len && s.size() < 4096; i += 2) s += char16_t(Le16(r.body + i));
  while (!s.empty() && s.back() == 0) s.pop_back();
  return s;
}

std::string Ascii(const std::u16string& s) {
  std::string o;
  for (char16_t c : s) o += c < 0x80 ? char(c) : '?';
  return o;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  size_t i = 0;
  for (; prefix[i]; i++) {
    if (i >= s.size()) return false;
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// "slide id,slide number,title" as a link to a slide of the same presentation stores it.
bool ParseSlideTarget(const std::u16string& text, uint32_t* id, int* number) {
  std::string s = Ascii(text);
  size_t comma = s.find(',');
  if (comma == std::string::npos || comma == 0) return false;
  for (size_t i = 0; i < comma; i++)
    if (s[i] < '0' || s[i] > '9') return false;
  if (comma > 9) return false;
  *id = uint32_t(strtoul(s.substr(0, comma).c_str(), nullptr, 10));
  size_t second = s.find(',', comma + 1);
  std::string n =
      s.substr(comma + 1, second == std::string::npos ? std::string::npos : second - comma - 1);
  *number = n.size() > 0 && n.size() < 6 && n.find_first_not_of("0123456789") == std::string::npos
                ? atoi(n.c_str())
                : 0;
  return true;
}

Action WebOrRefused(const std::u16string& target) {
  Action a;
  std::string url = Ascii(target);
  // Only what a browser or mail program opens; everything else could start a program.
  bool web = StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://") ||
             StartsWithNoCase(url, "mailto:");
  bool clean = url.find_first_of("\"\r\n\t") == std::string::npos &&
               target.find_first_of(u"\"") == std::u16string::npos;
  for (char16_t c : target)
    if (c < 0x20) clean = false;
  if (web && clean && url.size() > 7) {
    a.kind = Action::kWeb;
    a.url = ToUtf8(target);
  } else {
    a.kind = Action::kRefused;
  }
  return a;
}

// Splits the runs of `body` where text links begin and end, and marks the linked ones, which
// show in the scheme's hyperlink colour, underlined. Ranges count characters of the stored text,
// where every paragraph ends with one break character.
void MarkLinkedRuns(const std::vector<std::pair<uint32_t, uint32_t>>& ranges, Rgb link_color,
                    TextBody* body) {
  uint32_t pos = 0;
  for (Paragraph& p : body->paragraphs) {
    std::vector<Run> out;
    for (Run& run : p.runs) {
      // An empty paragraph's run stays: it is what gives its line its height.
      if (run.text.empty()) out.push_back(run);
      size_t done = 0;
      while (done < run.text.size()) {
        uint32_t at = pos + uint32_t(done);
        int link = -1;
        uint32_t cut = uint32_t(run.text.size() - done);
        for (size_t i = 0; i < ranges.size(); i++) {
          if (at >= ranges[i].first && at < ranges[i].second) {
            link = int(i);
            cut = std::min(cut, ranges[i].second - at);
          } else if (ranges[i].first > at) {
            cut = std::min(cut, ranges[i].first - at);
          }
        }
        Run piece = run;
        piece.text = run.text.substr(done, cut);
        piece.link = link;
        if (link >= 0) {
          piece.color = link_color;
          piece.underline = true;
        }
        out.push_back(std::move(piece));
        done += cut;
      }
      pos += uint32_t(run.text.size());
    }
    p.runs = std::move(out);
    pos++;  // the paragraph's break
  }
}

}  // namespace

int Loader::SoundIndex(uint32_t id) const {
  auto it = sound_ids_.find(id);
  return id != 0 && it != sound_ids_.end() ? it->second : -1;
}

void ReadExObjects(const Record& list, Hyperlinks* out) {
  Children c(list);
  Record r;
  while (c.Next(&r)) {
    if (r.type != rt::kExHyperlink) continue;
    Record atom;
    if (!FindChild(r, rt::kExHyperlinkAtom, &atom) || atom.len < 4) continue;
    Hyperlink h;
    Children k(r);
    Record x;
    while (k.Next(&x)) {
      if (x.type != rt::kCString) continue;
      if (x.inst == 1) h.target = CString(x);
      if (x.inst == 3) h.location = CString(x);
    }
    if (out->size() < 100000) (*out)[Le32(atom.body)] = h;
  }
}

void ReadSounds(const Record& collection, std::vector<Sound>* sounds, SoundIds* ids) {
  size_t total = 0;
  Children c(collection);
  Record r;
  while (c.Next(&r)) {
    if (r.type != rt::kSound || !r.container()) continue;
    Sound s;
    bool have_id = false, have_data = false;
    Children k(r);
    Record x;
    while (k.Next(&x)) {
      if (x.type == rt::kCString && x.inst == 0) s.name = ToUtf8(CString(x));
      if (x.type == rt::kCString && x.inst == 2) {
        std::string id = Ascii(CString(x));
        if (!id.empty() && id.size() < 10 &&
            id.find_first_not_of("0123456789") == std::string::npos) {
          s.id = uint32_t(strtoul(id.c_str(), nullptr, 10));
          have_id = true;
        }
      }
      if (x.type == rt::kSoundData && x.len <= kMaxSoundBytes - std::min(total, kMaxSoundBytes)) {
        s.data.assign(x.body, x.body + x.len);
        total += x.len;
        have_data = true;
      }
    }
    if (!have_id || !have_data || ids->count(s.id)) continue;
    (*ids)[s.id] = int(sounds->size());
    sounds->push_back(std::move(s));
  }
}

Action Loader::ReadAction(const Record& interactive) const {
  Action a;
  Record atom;
  if (!FindChild(interactive, rt::kInteractiveInfoAtom, &atom) || atom.len < 13) return a;
  uint32_t sound = Le32(atom.body);
  uint32_t link = Le32(atom.body + 4);
  uint8_t action = atom.body[act::kActionAt], jump = atom.body[10], link_type = atom.body[12];
  a.sound = SoundIndex(sound);
  switch (action) {
    case act::kJump:
      switch (jump) {
        case act::kJumpNext:
          a.kind = Action::kNext;
          break;
        case act::kJumpPrevious:
          a.kind = Action::kPrevious;
          break;
        case act::kJumpFirst:
          a.kind = Action::kFirst;
          break;
        case act::kJumpLast:
          a.kind = Action::kLast;
          break;
        case act::kJumpLastViewed:
          a.kind = Action::kLastViewed;
          break;
        case act::kJumpEnd:
          a.kind = Action::kEndShow;
          break;
        default:
          break;
      }
      break;
    case act::kHyperlink: {
      auto it = hyperlinks_.find(link);
      Hyperlink h = it != hyperlinks_.end() ? it->second : Hyperlink();
      switch (link_type) {
        case act::kLinkNext:
          a.kind = Action::kNext;
          break;
        case act::kLinkPrevious:
          a.kind = Action::kPrevious;
          break;
        case act::kLinkFirst:
          a.kind = Action::kFirst;
          break;
        case act::kLinkLast:
          a.kind = Action::kLast;
          break;
        case act::kLinkSlide:
          if (ParseSlideTarget(h.location, &a.slide_id, &a.slide_number) ||
              ParseSlideTarget(h.target, &a.slide_id, &a.slide_number))
            a.kind = Action::kSlide;
          break;
        case act::kLinkPresentation:
        case act::kLinkFile:
          a.kind = Action::kRefused;
          break;
        default:  // a web address, or a target whose kind was not stored
          if (h.target.empty() && ParseSlideTarget(h.location, &a.slide_id, &a.slide_number)) {
            a.kind = Action::kSlide;
          } else if (it != hyperlinks_.end()) {
            Action web = WebOrRefused(h.target);
            a.kind = web.kind;
            a.url = web.url;
          }
          break;
      }
      break;
    }
    case act::kMacro:
    case act::kProgram:
      a.kind = Action::kRefused;
      break;
    default:  // OLE verbs, media and custom shows do nothing here
      break;
  }
  return a;
}

void Loader::ReadShowRecords(const ShapeRecords& rec, const Context& ctx, Shape* out) const {
  if (rec.has_client_data) {
    Children c(rec.client_data);
    Record r;
    while (c.Next(&r)) {
      if (r.type == rt::kInteractiveInfo && r.inst == 0) out->click = ReadAction(r);
      if (r.type == rt::kInteractiveInfo && r.inst == 1) out->over = ReadAction(r);
      Record atom;
      // A master's own objects do not build on its slides.
      if (r.type != rt::kAnimationInfo || ctx.master ||
          !FindChild(r, rt::kAnimationInfoAtom, &atom) || atom.len < 28)
        continue;
      ByteReader br = atom.reader();
      uint32_t dim = br.U32();
      uint32_t flags = br.U32();
      uint32_t sound = br.U32();
      int32_t delay = br.I32();
      int16_t order = br.I16();
      br.U16();  // slide count
      uint8_t build = br.U8(), effect = br.U8(), direction = br.U8(), after = br.U8();
      if (build == 0) continue;
      Build& b = out->build;
      b.animated = true;
      b.order = order;
      b.automatic = flags & kAnimAutomatic;
      b.delay_ms = std::min(std::max(delay, 0), 600000);
      b.reverse = flags & kAnimReverse;
      b.by_level = build >= 2 && build <= 6 && build != kBuildFollowMaster ? build - 1 : 0;
      if (out->text.paragraphs.size() < 2) b.by_level = 0;
      b.after = after <= 3 ? Build::After(after) : Build::kKeep;
      b.dim_color = TextColor(dim, ctx);
      b.effect = effect;
      b.direction = direction;
      b.sound = SoundIndex(sound);
      b.stop_sound = flags & kAnimStopSound;
    }
  }
  // Text links: each run's action settings, then the range of text they apply to. Ranges count
  // the characters of the one text a shape normally holds.
  if (rec.texts.size() != 1) return;
  // Text given a click action is drawn as a link even when its target leads nowhere (a slide
  // the file does not name, an anchor of a page it came from): clicking it then does nothing.
  std::vector<std::pair<uint32_t, uint32_t>> ranges;
  TextLink pending;
  bool clickable = false;
  for (const Record& r : Resolve(rec.texts[0]).links) {
    if (ranges.size() >= kMaxTextLinks) break;
    if (r.type == rt::kInteractiveInfo) {
      (r.inst == 1 ? pending.over : pending.click) = ReadAction(r);
      Record atom;
      if (r.inst == 0 && FindChild(r, rt::kInteractiveInfoAtom, &atom) && atom.len > act::kActionAt)
        clickable = atom.body[act::kActionAt] != act::kNone;
    } else if (r.type == rt::kTxInteractiveInfoAtom && r.len >= 8) {
      uint32_t begin = Le32(r.body), end = Le32(r.body + 4);
      if (end > begin && (clickable || pending.click.link() || pending.over.link())) {
        ranges.push_back({begin, end});
        out->text_links.push_back(pending);
      }
      pending = TextLink();
      clickable = false;
    }
  }
  for (TextLink& link : out->text_links) link.followed_color = ctx.scheme[kFollowedScheme];
  if (!ranges.empty()) MarkLinkedRuns(ranges, ctx.scheme[kHyperlinkScheme], &out->text);
}

void Loader::ReadTransition(const Record& atom, Slide* slide) const {
  if (atom.len < 13) return;
  Transition& t = slide->transition;
  uint16_t flags = Le16(atom.body + 10);
  t.direction = atom.body[8];
  t.effect = atom.body[9];
  t.speed = atom.body[12] <= 2 ? Transition::Speed(atom.body[12]) : Transition::kFast;
  if (flags & kSlideSound) t.sound = SoundIndex(Le32(atom.body + 4));
  t.loop_sound = flags & kSlideLoopSound;
  t.stop_sound = flags & kSlideStopSound;
  t.manual = flags & kSlideManual;
}

// A group's build and action settings are its shapes'; the shapes of one group build together.
void Loader::InheritGroupShow(const Shape& group, std::vector<Shape>* shapes, size_t first) {
  if (!group.build.animated && !group.click.link() && !group.over.link()) return;
  int together = group.build.animated ? ++groups_animated_ : 0;
  for (size_t i = first; i < shapes->size(); i++) {
    Shape& s = (*shapes)[i];
    if (group.build.animated && (!s.build.animated || s.build.together > 0)) {
      s.build = group.build;
      s.build.by_level = 0;
      s.build.together = together;
    }
    if (!s.click.link()) s.click = group.click;
    if (!s.over.link()) s.over = group.over;
  }
}

}  // namespace detail
}  // namespace ppt
