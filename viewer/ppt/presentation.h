#pragma once
// The presentation as the viewer shows it: every slide of the show already resolved against its
// master, with absolute anchors and concrete colours, so a renderer only has to paint.
// Coordinates are master units (576 to the inch).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ppt/timeline.h"

namespace ppt {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  // Hostile files store any corners: a size past the range of int32_t is held at its edge.
  int32_t width() const { return Span(left, right); }
  int32_t height() const { return Span(top, bottom); }
  static int32_t Span(int32_t from, int32_t to) {
    const int64_t d = int64_t(to) - from;
    return d > INT32_MAX ? INT32_MAX : d < INT32_MIN ? INT32_MIN : int32_t(d);
  }
};

// One colour of a blend at `pos` (0..1 along the blend).
struct GradientStop {
  double pos = 0;
  Rgb color;
  uint8_t alpha = 255;
};

struct Fill {
  // kBackground: the slide's own background shows through the shape.
  enum Kind { kNone, kSolid, kGradient, kPicture, kPattern, kTexture, kBackground } kind = kNone;
  Rgb color, color2;  // color2: the far end of a gradient; patterns: foreground, background
  int blip = -1;      // index into Presentation::blips: picture, texture tile or 8x8 pattern
  uint8_t alpha = 255, alpha2 = 255;  // opacity of color and color2
  // Gradients: how the stops are laid out. Linear blends run along `angle` (degrees clockwise
  // from the positive x axis on screen); rectangular ones from the shape's box (pos 0) inwards
  // to `focus` (left, top, right, bottom as fractions of the box); shape blends from the
  // shape's own outline inwards to its centre (round shapes blend radially).
  enum Blend { kLinear, kRectangular, kShape } blend = kLinear;
  double angle = 90;
  double focus[4] = {0.5, 0.5, 0.5, 0.5};
  std::vector<GradientStop> stops;  // sorted by pos, from 0 to 1; at least two for gradients
};

struct LineEnd {
  enum Style { kNone, kTriangle, kStealth, kDiamond, kOval, kOpen } style = kNone;
  int width = 1, length = 1;  // 0 narrow/short, 1 medium, 2 wide/long
};

// How a shape's line is drawn, beside its colour and width.
struct LineStyle {
  uint8_t alpha = 255;
  enum Dash {
    kSolid,
    kDashSys,
    kDotSys,
    kDashDotSys,
    kDashDotDotSys,
    kDot,
    kDash,
    kLongDash,
    kDashDot,
    kLongDashDot,
    kLongDashDotDot
  } dash = kSolid;
  enum Compound { kSingle, kDouble, kThickThin, kThinThick, kTriple } compound = kSingle;
  enum Join { kBevel, kMiter, kRound } join = kRound;
  enum Cap { kRoundCap, kSquareCap, kFlatCap } cap = kFlatCap;
  LineEnd start, end;
};

struct Shadow {
  bool visible = false;
  Rgb color{128, 128, 128};
  uint8_t alpha = 255;
  int dx = 16, dy = 16;  // offset, master units
};

// Colour changes a picture is shown with.
struct PictureAdjust {
  bool gray = false, black_white = false;
  double contrast = 1;    // 1 unchanged; 0 flat grey
  double brightness = 0;  // -1 .. 1, added to every channel as a fraction of full scale
  bool transparent = false;
  Rgb transparent_color;  // shown as see-through where transparent
  bool recolor = false;
  Rgb recolor_color;  // the picture turned into shades of this colour
  bool identity() const {
    return !gray && !black_white && contrast == 1 && brightness == 0 && !transparent && !recolor;
  }
};

struct Run {
  std::u16string text;
  std::string font;  // face name, UTF-8
  uint8_t pitch_family = 0;
  uint8_t charset = 0;
  int size = 18;  // points
  bool bold = false, italic = false, underline = false;
  bool shadow = false, emboss = false;
  Rgb shadow_color{128, 128, 128};
  int escapement = 0;  // percent of the size the baseline is raised (> 0) or lowered (< 0)
  Rgb color;
  int link = -1;  // index into the shape's text_links, -1 when the run is no link
};

struct TabStop {
  int position = 0;  // master units from the text box's inner left edge
  enum Kind { kLeft, kCenter, kRight, kDecimal } kind = kLeft;
};

struct Paragraph {
  std::vector<Run> runs;
  enum Align { kLeft, kCenter, kRight, kJustify } align = kLeft;
  int level = 0;
  int left_margin = 0;  // master units from the text box's inner left edge
  int indent = 0;       // first-line / bullet position, master units
  bool bullet = false;
  char16_t bullet_char = 0x2022;
  std::u16string bullet_text;  // an automatic number ("1.", "a)", "iv."): drawn instead of the char
  std::string bullet_font;     // empty: the first run's face
  uint8_t bullet_charset = 0, bullet_pitch_family = 0;
  bool bullet_from_symbols = false;  // a symbol face's character, now as its Unicode one
  int bullet_blip = -1;              // a picture bullet: index into Presentation::blips
  Rgb bullet_color;
  int bullet_size = 100;      // percent of the first run's size; below 0, minus its points
  std::vector<TabStop> tabs;  // in position order
  int default_tab = 576;      // master units between default tab stops
  // Spacing: >= 0 percent of the text size, < 0 master units.
  int line_spacing = 100, space_before = 0, space_after = 0;
};

struct TextBody {
  std::vector<Paragraph> paragraphs;
  Rect insets{91, 45, 91, 45};  // left, top, right, bottom
  enum Anchor { kTop, kMiddle, kBottom } anchor = kTop;
  bool centered = false;  // the block of lines centred across the box as a whole
  bool wrap = true;
  bool fit_shape = false;  // "resize shape to fit text" as stored
  // Shrunk as a whole where it would overflow: the box stores that its text fits it, or, storing
  // nothing about it, is a body placeholder that keeps its size.
  bool shrink_to_fit = false;
  // Text flow: kDown runs lines top to bottom turned a quarter clockwise, kUp a quarter
  // counter-clockwise.
  enum Flow { kHorizontal, kDown, kUp } flow = kHorizontal;
  // A single line is as tall as its face (ascent and descent) rather than 1.2 times its size;
  // spacing given as a share of a line is a share of that. Text of PowerPoint 4 and 95 is set so.
  bool face_lines = false;
  // Fields the text shows, as bits of FieldBits.
  enum FieldBits : uint8_t { kSlideNumberField = 1, kDateField = 2, kHeaderFooterField = 4 };
  uint8_t fields = 0;
  bool empty() const;
};

// What a click on (or the pointer over) a shape or text run does in the show.
struct Action {
  enum Kind {
    kNone,
    kNext,
    kPrevious,
    kFirst,
    kLast,
    kLastViewed,
    kEndShow,
    kSlide,    // slide_id, or one-based slide_number when the id is unknown
    kWeb,      // url: http, https or mailto only
    kRefused,  // programs, macros, files, other presentations: never run from a package
  };
  Kind kind = kNone;
  uint32_t slide_id = 0;
  int slide_number = 0;
  std::string url;
  int sound = -1;  // index into Presentation::sounds, played with the action
  bool link() const { return kind != kNone || sound >= 0; }
};

struct TextLink {
  Action click, over;
  Rgb followed_color;  // its text once the link has been followed in the show
};

// How a shape enters the show: its build, as the per-shape animation records store it.
struct Build {
  bool animated = false;
  int order = 0;           // builds of a slide run in this order
  bool automatic = false;  // after the previous step, once delay_ms has passed
  int delay_ms = 0;
  int by_level = 0;  // 0: the shape at once; 1..5: paragraphs down to this level one by one
  bool reverse = false;
  enum After { kKeep, kDim, kHide, kHideAtOnce } after = kKeep;
  Rgb dim_color;
  int effect = 0, direction = 0;  // the stored effect type and its direction
  int sound = -1;
  bool stop_sound = false;
  int together = 0;  // > 0: the shapes of one animated group, which build as one
};

struct Shape {
  enum Geometry {
    kRect,
    kRoundRect,
    kEllipse,
    kLine,
    kTriangle,
    kRightTriangle,
    kDiamond,
    kParallelogram,
    kTrapezoid,
    kHexagon,
    kOctagon,
    kFreeform
  };
  Geometry geometry = kRect;
  int type = 1;                  // the drawing's shape type number
  uint32_t id = 0;               // the drawing's shape id
  std::vector<uint32_t> groups;  // ids of the groups that hold it, innermost first
  Rect anchor;
  bool flip_h = false, flip_v = false;
  int rotation = 0;                                     // degrees
  int32_t adjust[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // the shape's adjust values as stored
  uint16_t adjust_set = 0;                              // bit i: adjust[i] was stored
  Fill fill;
  bool line = false;
  Rgb line_color;
  int line_width = 9525;  // EMU
  LineStyle line_style;
  Shadow shadow;
  PictureAdjust picture_adjust;
  int picture = -1;               // blip index for picture frames
  double crop[4] = {0, 0, 0, 0};  // picture crop: top, bottom, left, right, fractions
  struct Point {
    double x, y;  // fractions of the anchor
  };
  std::vector<Point> path;  // freeforms: the outline, empty when unknown
  // A freeform's geometry as stored: the outline is evaluated from it (viewer/geom).
  struct Custom {
    std::vector<int32_t> vertices;  // x, y pairs in the box below; 0x80000000 | n names guide n
    std::vector<uint16_t> segments;
    struct Guide {
      uint16_t flags;
      int32_t p[3];
    };
    std::vector<Guide> guides;
    int32_t left = 0, top = 0, right = 21600, bottom = 21600;
  } custom;
  int placeholder = -1;  // placeholder type, -1 when none
  // WordArt: text drawn as the shape itself, filled and outlined as the shape is, along its
  // preset's path. Empty text: none.
  struct WordArt {
    std::u16string text;  // lines end at '\n'
    std::string face;
    bool bold = false, italic = false;
    // How lines shorter than the longest sit: each stretched across the box, or all at the
    // longest one's scale, centred or to one side.
    enum Align : uint8_t { kStretch, kCenter, kLeft, kRight };
    Align align = kCenter;
  } word_art;
  TextBody text;
  Build build;
  Action click, over;
  std::vector<TextLink> text_links;  // Run::link indexes these
};

// The effect that brings a slide on screen.
struct Transition {
  int effect = 0, direction = 0;  // as stored: 0/0 a plain cut
  enum Speed { kSlow, kMedium, kFast } speed = kFast;
  int sound = -1;
  bool loop_sound = false;  // until the next sound starts
  bool stop_sound = false;  // stops whatever sound plays
  bool manual = true;       // a click advances
};

struct Sound {
  uint32_t id = 0;
  std::string name;
  std::vector<uint8_t> data;  // the sound's file bytes (a WAV file)
};

struct Slide {
  uint32_t slide_id = 0;
  bool hidden = false;
  bool auto_advance = false;  // advance after advance_ms when the show uses timings
  int advance_ms = 0;
  Transition transition;
  Fill background;
  std::vector<Shape> shapes;  // in paint order, master objects first
  Timeline timeline;          // animations of PowerPoint 2002 and later
};

// A picture of the picture store, by reference: its bytes stay in the file until a slide needs
// them (Presentation::Picture).
struct Blip {
  enum Type { kEmf, kWmf, kPict, kJpeg, kPng, kDib, kTiff, kUnknown } type = kUnknown;
  enum Source { kNowhere, kDocument, kPictureStream } source = kNowhere;
  uint64_t offset = 0;    // of the picture's stored bytes within its stream
  uint64_t length = 0;    // stored bytes
  bool deflated = false;  // metafiles are mostly stored compressed
  uint32_t raw_size = 0;  // metafiles: the size once decompressed, as the file claims it
  Rect bounds;            // metafiles: frame in the metafile's units
};

// A picture's own file bytes, metafiles decompressed. `data` points into the file itself when
// the bytes lie there in one piece, else into `owner`; empty when the picture is unreadable or
// beyond the limits.
struct PictureBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
  std::shared_ptr<const std::vector<uint8_t>> owner;
  bool ok() const { return data && size; }
};

class PictureStore;

struct ShowSettings {
  bool use_timings = false;
  bool loop = false;
  bool kiosk = false;         // browsed at a kiosk: clicks only follow links
  bool browsed = false;       // browsed by an individual
  bool no_animation = false;  // builds shown whole, at once
  bool use_range = false;
  int first = 0, last = 0;  // one-based slide range when use_range
};

struct Presentation {
  int32_t width = 5760, height = 4320;  // slide size, master units
  ShowSettings show;
  std::vector<Slide> slides;  // all slides in the order of the slide list
  std::vector<Blip> blips;
  std::vector<Sound> sounds;
  // Reads pictures on demand from the bytes given to Load, which must outlive every use of it.
  std::shared_ptr<PictureStore> store;
  PictureBytes Picture(int blip) const;
  bool repaired = false;  // the edit chain was broken and had to be rebuilt
  // What reading the file cost in the loader's work units, and whether it stopped early because
  // the file asked for more than LoadOptions::max_work: then it holds what was read up to there.
  uint64_t work = 0;
  bool cut_short = false;
  // Indices into slides of what a show displays, in order: hidden slides and slides outside the
  // show's range left out.
  std::vector<size_t> ShowOrder() const;
};

enum class LoadError {
  kNone,
  kNotCompound,      // not a compound file: not a presentation at all
  kNotPresentation,  // a compound file without presentation streams
  kEncrypted,  // needs a password (none given), or is encrypted in a way this viewer cannot read
  kOldFormat,  // saved by an early version of PowerPoint that this viewer does not read
  kDamaged,
  kWrongPassword,
};

struct LoadOptions {
  // The moment date and time fields show, as local time; all zero: now.
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  size_t max_blip_bytes = 64u << 20;  // a single decompressed or copied picture
  // Decompressed or copied picture bytes the store keeps for reuse; pictures lying in one piece
  // in the file cost nothing here.
  size_t max_total_blip_bytes = 32u << 20;
  std::u16string password;  // to open an encrypted presentation; empty: none
  // The loader's work budget: edits and persist entries applied, slides and shapes read, text
  // characters built. No real presentation comes near it; a hostile one that names one large
  // part over and over stops here instead of keeping the viewer busy for hours.
  uint64_t max_work = uint64_t(32) << 20;
};

// Reads the document, slide list and slides; pictures are only located. `data` must stay valid
// as long as `out`'s pictures are used.
LoadError Load(const uint8_t* data, size_t size, Presentation* out,
               const LoadOptions& options = LoadOptions());

// The text as UTF-8, for tests and the renderer's text dump.
std::string ToUtf8(const std::u16string& s);

}  // namespace ppt
