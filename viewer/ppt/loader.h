#pragma once
// The loader's own types, shared by the files that read one area of the format each: the edit
// chain and persist directory (persist.cpp), the picture store (pictures.cpp), shapes and their
// drawing properties (shapes.cpp), text (text_build.cpp) and the document with its slides
// (load.cpp).
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ppt/cfb.h"
#include "ppt/document_index.h"
#include "ppt/fields.h"
#include "ppt/presentation.h"
#include "ppt/props.h"
#include "ppt/records.h"
#include "ppt/text.h"

namespace ppt {
namespace detail {

// A slide list entry: the slide's persist reference and the outline texts stored beside it.
// A field inside a text: the character at `pos` (a '*' placeholder) shows it.
struct Field {
  enum Kind { kSlideNumber, kDateTime, kGenericDate, kHeader, kFooter } kind = kSlideNumber;
  uint32_t pos = 0;
  int format = 0;  // dates and times: the format's number
};

struct RawText {
  // Outline text a text box shows by reference: read from there, never copied, since a file may
  // refer to one long text from thousands of boxes. The fields below are then unused.
  const RawText* outline = nullptr;
  int type = 4;
  std::u16string chars;
  Record style;
  bool has_style = false;
  Ruler ruler;
  bool has_ruler = false;
  std::vector<Field> fields;
  std::vector<ParaExtension> extensions;
  std::vector<Record> links;  // action settings of its runs and the ranges they cover
};

// The text itself, wherever it is kept.
inline const RawText& Resolve(const RawText& t) {
  return t.outline ? *t.outline : t;
}

struct ListEntry {
  uint32_t persist = 0;
  uint32_t slide_id = 0;
  std::vector<RawText> texts;
};

struct Font {
  std::string name;
  uint8_t charset = 0, pitch_family = 0;
};

// A coordinate computed from the file's, held to the range a rectangle can keep.
int32_t Clamp32(double v);

// Maps a group's child coordinates onto the slide: x' = a*x + c*y + e, y' = b*x + d*y + f.
// Groups nest, each scaling its children into its anchor and turning or mirroring them with
// itself.
struct Transform {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  bool axis_aligned() const { return b == 0 && c == 0 && a > 0 && d > 0; }
  Rect Apply(const Rect& r) const {
    Rect o;
    o.left = Clamp32(r.left * a + e);
    o.right = Clamp32(r.right * a + e);
    o.top = Clamp32(r.top * d + f);
    o.bottom = Clamp32(r.bottom * d + f);
    return o;
  }
  Transform Then(const Transform& outer) const;  // this one first, then `outer`
};

// The transform a group applies to its children: their coordinate space onto the group's
// anchor (as stored, in its parent's coordinates), turned and mirrored about its centre.
Transform GroupTransform(const Rect& child_space, const Rect& anchor, int rotation, bool flip_h,
                         bool flip_v);
// A shape's anchor, flips and rotation on the slide from its stored ones inside a group.
void PlaceShape(const Rect& stored, bool flip_h, bool flip_v, double rotation, const Transform& t,
                Shape* out);
// PowerPoint stores a shape turned by about a quarter with its anchor in the turned position.
bool QuarterTurned(double rotation);

struct Context;
// Colours, fills, lines, shadows and picture adjustments from a shape's drawing properties.
Rgb ResolveColor(uint32_t ref, const Context& ctx, Rgb fallback, const Properties* props);
Fill MapFill(const Properties& p, const Context& ctx, bool filled_default, size_t blip_count);
void MapLine(const Properties& p, const Context& ctx, bool line_default, Shape* out);
Shadow MapShadow(const Properties& p, const Context& ctx);
PictureAdjust MapPictureAdjust(const Properties& p, const Context& ctx);

// What a slide shows in its master's date, number and footer placeholders.
struct Footers {
  bool date = false, number = false, footer = false;
  bool today = false;  // the date shown is the day of the show, in `date_format`
  int date_format = 0;
  std::u16string date_text, footer_text, header_text;
  int slide_number = 0;
};

Footers ReadFooters(const Record& container, Footers f);

// WordArt's text, face and style.
void ReadWordArt(const Properties& props, Shape::WordArt* out);
// The text frame's own properties: wrapping, anchoring, flow, fitting.
void MapTextFrame(const Properties& props, TextBody* body);
void ReadParaExtensionTags(const Record& client_data, std::vector<ParaExtension>* out);
// The data of a programmable tag named ___PPT9 among `tags`' children.
bool FindPpt9Tag(const Record& tags, Record* data);
bool FindBinaryTag(const Record& tags, const std::u16string& name, Record* data);

// Everything a slide's drawing is resolved against: its colour scheme and text styles.
struct Context {
  Rgb scheme[8];
  const LevelStyles* styles = nullptr;  // nine text types
  const std::vector<RawText>* outline = nullptr;
  bool master = false;
  const Footers* footers = nullptr;
  // Placeholders of the master chain by type: slides' placeholders take what they leave unset
  // (anchor, text insets, wrapping, vertical alignment) from them.
  std::map<int, std::pair<Rect, std::map<uint16_t, uint32_t>>>* placeholders = nullptr;
};

inline Rgb FromColorRef(uint32_t v) {
  return Rgb{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)};
}

int MasterPlaceholderFor(int type,
                         const std::map<int, std::pair<Rect, std::map<uint16_t, uint32_t>>>& m);
inline int EmuToMaster(uint32_t emu) {
  return int(int32_t(emu) / 1587);
}
// Inflates up to `expected` bytes (the size the file claims), never more than `cap`.
// `over_cap`: the data goes on past `cap`, so the output is cut short.
bool Inflate(const uint8_t* data, size_t size, size_t expected, size_t cap,
             std::vector<uint8_t>* out, bool* over_cap = nullptr);

// Text one slide shows at most: four boxes of 64 K characters each. More would only keep the
// show laying out text nobody can read, however the budget stands.
constexpr size_t kMaxSlideChars = 4 * 65536;

// Readers of the document's own parts, each given the index or the record it reads.

// The slides (or masters) a slide list names, with the outline texts stored beside them.
void ReadSlideList(DocumentIndex& index, const Record& list, std::vector<ListEntry>* out);
// A picture's header: its kind and where its bytes are, `offset` being where `head` sits in a
// stream of `stream_size` bytes.
bool ReadBlip(const uint8_t* head, size_t head_size, uint64_t offset, uint64_t stream_size,
              Blip* out);
// The picture store of the drawing group: one entry per picture, unreadable ones kept empty so
// that the one-based numbering shapes use stays intact.
void ReadBlipStore(const DocumentIndex& index, const StreamReader& pictures, const Record& dgg,
                   std::vector<Blip>* blips);
// Hyperlinks of the external object list, by their id.
struct Hyperlink {
  std::u16string target, location;
};
using Hyperlinks = std::map<uint32_t, Hyperlink>;
void ReadExObjects(const Record& list, Hyperlinks* out);
// Sounds of the sound collection; `ids` maps their ids to their place in `sounds`.
using SoundIds = std::map<uint32_t, int>;
void ReadSounds(const Record& collection, std::vector<Sound>* sounds, SoundIds* ids);

class Loader {
 public:
  Loader(DocumentIndex& index, const StreamReader& pictures, const LoadOptions& options,
         Presentation* out)
      : index_(index),
        pictures_(pictures),
        options_(options),
        out_(out),
        now_(DateTimeFor(options.year, options.month, options.day, options.hour, options.minute,
                         options.second)) {}

  // Reads the document container and the slides it lists.
  LoadError Run(const Record& document);

 private:
  bool Object(uint32_t persist, Record* r) const { return index_.Object(persist, r); }
  void ReadDocument(const Record& doc);
  void ReadDocumentAtom(const Record& r);
  void ReadShowSettings(const Record& r);
  void ReadEnvironment(const Record& r);
  void ReadSlide(const ListEntry& entry);
  void ReadSlideShowInfo(const Record& container, Slide* slide);

  struct Master {
    bool loaded = false;
    bool title_master = false;
    Record container;
    Rgb scheme[8];
    LevelStyles styles[9];
    uint32_t parent_id = 0;  // title masters: their main master
    bool master_objects = true;
  };
  Master* FindMaster(uint32_t slide_id, int depth = 0);
  void ReadDocTabs(const Record& x);
  void ReadScheme(const Record& container, Rgb* scheme, bool* found);
  void DrawingShapes(const Record& container, const Context& ctx, std::vector<Shape>* shapes,
                     Fill* background, bool* has_background);
  void GroupShapes(const Record& group, const Transform& t, const Context& ctx, int depth,
                   std::vector<Shape>* shapes);
  // A shape's records as stored, before anything is inherited or mapped.
  struct ShapeRecords {
    Properties props;
    bool have_fsp = false, have_anchor = false, have_child = false;
    int type = 0;
    uint32_t id = 0;  // the drawing's shape id, which animations name
    uint32_t flags = 0;
    int placeholder = -1;
    uint32_t spid = 0;
    Rect anchor, child_space;
    std::vector<RawText> texts;
    Record client_data;  // interactive info, animation info, placeholder
    bool has_client_data = false;
  };
  // Builds, links and sounds: what the show does beyond painting (show_records.cpp).
  void ReadShowRecords(const ShapeRecords& rec, const Context& ctx, Shape* out) const;
  void ReadTransition(const Record& atom, Slide* slide) const;
  void InheritGroupShow(const Shape& group, std::vector<Shape>* shapes, size_t first);
  int groups_animated_ = 0;
  Action ReadAction(const Record& interactive) const;
  int SoundIndex(uint32_t id) const;
  Hyperlinks hyperlinks_;
  SoundIds sound_ids_;
  void ReadShapeRecords(const Record& sp, const Context& ctx, ShapeRecords* rec);
  void ReadTextbox(const Record& box, const Context& ctx, std::vector<RawText>* texts);
  bool Own(RawText* text);
  void InheritPlaceholder(const Context& ctx, ShapeRecords* rec);
  // What a shape leaves unset comes from its master shape, then from what its type shows, then
  // from the format's defaults (inherit.cpp).
  void InheritMasterShape(ShapeRecords* rec);
  void InheritDefaults(ShapeRecords* rec) const;
  const Properties* MasterShape(uint32_t spid);
  void IndexShapes(const Record& parent, int depth);
  std::map<uint32_t, Properties> master_shapes_;  // by shape id, shapes of every master
  bool master_shapes_indexed_ = false;
  void MapShape(const ShapeRecords& rec, const Transform& t, const Context& ctx, Shape* out);
  bool ReadShape(const Record& sp, const Transform& t, const Context& ctx, Shape* out,
                 Transform* group, bool* is_group);
  Rgb Color(uint32_t ref, const Context& ctx, Rgb fallback) const;
  Fill ReadFill(const Properties& p, const Context& ctx, bool filled_default) const;
  friend class TextBuilder;
  void BuildText(const RawText& text, const Context& ctx, TextBody* body);
  std::u16string FieldText(const Field& f, const Context& ctx) const;
  void ReadBulletPictures(const Record& doc_tags);
  bool FooterText(const Context& ctx, Shape* s);
  Rgb TextColor(uint32_t ci, const Context& ctx) const {
    if ((ci >> 24) == 0xFE) return FromColorRef(ci);
    if ((ci >> 24) < 8) return ctx.scheme[ci >> 24];
    return ctx.scheme[1];
  }

  DocumentIndex& index_;
  WorkBudget& budget_ = index_.budget();
  const StreamReader& pictures_;
  LoadOptions options_;
  Presentation* out_;
  std::vector<Font> fonts_;
  LevelStyles doc_styles_[9];
  // Text in shapes takes the document's default style where it has one: a master's style of
  // that type gives way to it.
  bool doc_has_other_style_ = false;
  // The document's tab size and tab stops, under every text's styles.
  ParaProps doc_tabs_;
  std::vector<ListEntry> slides_, masters_;
  std::map<uint32_t, Master> master_cache_;
  Footers doc_footers_;
  int slide_number_ = 0;
  size_t shape_count_ = 0;
  DateTime now_;
  std::vector<int> bullet_blips_;  // picture bullets: index into out_->blips, -1 unreadable
  size_t slide_chars_ = 0;         // text built for the slide being read
  bool text_cut_ = false;          // some slide had more text than it may show
};

}  // namespace detail
}  // namespace ppt
