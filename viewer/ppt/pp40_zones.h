#pragma once
// What the PowerPoint 4 reader's parts share: the stream's zones, the colours a slide resolves
// its colour numbers against, and the text of a slide's frames.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ppt/bytes.h"
#include "ppt/presentation.h"

namespace ppt::detail::pp4 {

// Levels of outline a ruler sets margins for.
constexpr int kLevels = 5;
// Colour numbers below this name the slide's scheme; the rest the document's own colours.
constexpr int kSchemeSlots = 8;
constexpr int kBackgroundSlot = 0, kTextSlot = 1, kShadowSlot = 2;

// The stream's zones, by number: each a range of the stream, or empty when the table leaves it
// out or puts it outside the stream.
class Zones {
 public:
  // False when the stream has no table of zones that fits it.
  bool Open(const uint8_t* doc, size_t size);
  ByteReader Reader(uint32_t id) const;
  // Where zone `id` starts within the stream, and its length; 0 when it is empty.
  size_t Offset(uint32_t id) const { return id < zones_.size() ? zones_[id].begin : 0; }
  size_t Length(uint32_t id) const { return id < zones_.size() ? zones_[id].length : 0; }
  uint32_t doc_info() const { return doc_info_; }

 private:
  struct Range {
    size_t begin = 0, length = 0;
  };
  const uint8_t* doc_ = nullptr;
  std::vector<Range> zones_;
  uint32_t doc_info_ = 0;
};

struct Palette {
  Rgb scheme[kSchemeSlots] = {{255, 255, 255}, {0, 0, 0},       {128, 128, 128}, {0, 0, 0},
                              {255, 255, 255}, {128, 128, 128}, {0, 0, 0},       {0, 0, 0}};
  std::vector<Rgb> custom;    // by colour number
  std::vector<bool> defined;  // whether the document defines that number
  // The colour a number names, or `fallback` when it names none.
  Rgb Color(int number, Rgb fallback) const;
  bool Known(int number) const;
};

// Margins of each outline level, in master units from the frame's inner left edge: where its
// first line (and bullet) starts, and where its other lines do.
struct Ruler {
  int32_t first[kLevels] = {}, rest[kLevels] = {};
  std::vector<TabStop> tabs;
  int default_tab = 576;
};

// What text needs from the document around it.
struct TextContext {
  const std::vector<std::string>* faces = nullptr;  // by font number
  const std::vector<Ruler>* rulers = nullptr;       // by ruler number
  const Palette* palette = nullptr;
  size_t* chars_left = nullptr;  // characters all slides may still build
};

// A text as a slide's text zone stores it, its parts pointing into the stream.
struct StoredText {
  int ruler = 0;
  uint8_t flags = 0;
  ByteReader chars{nullptr, 0}, char_runs{nullptr, 0}, para_runs{nullptr, 0};
  size_t char_run_count = 0, para_run_count = 0;
};

// The texts of a slide's text zone, in the order its frames take them; each costs a unit of
// `work_left`, and reading stops when that runs out.
std::vector<StoredText> ReadTexts(ByteReader zone, size_t* work_left);

// Fills a frame's text body; false when the text holds no characters. On a master drawn beneath
// a slide, a doubled '#' shows the slide's number (`slide_number`, 0 elsewhere).
bool BuildText(const StoredText& text, const TextContext& context, int slide_number,
               TextBody* body);

// What a slide's frames are read from: its zones of frames, formats and polygons, its texts, and
// which frames hold its title and body.
struct FrameSource {
  ByteReader frames{nullptr, 0}, formats{nullptr, 0}, polygons{nullptr, 0};
  std::vector<StoredText> texts;
  int title = -1, body = -1;
};

struct FrameContext {
  int32_t left = 0, top = 0;  // the page's corner in stored coordinates
  const std::vector<int>* picture_blips = nullptr;
  TextContext text;
  size_t max_shapes = 0;
  int slide_number = 0;  // one-based
  // What reading all slides may still cost: a frame or a polygon's point a unit. Slides that
  // name the same large zones over and over stop here instead of keeping the viewer busy.
  size_t* work_left = nullptr;
};

// Appends the shapes a slide's frames draw, in their order. A master's title and body frames
// only shape the slides' text and are left out.
void ReadFrames(const FrameSource& source, const FrameContext& context, bool master,
                std::vector<Shape>* out);

}  // namespace ppt::detail::pp4
