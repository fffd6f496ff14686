#include <algorithm>
#include <cmath>
#include <map>

#include "ppt/cfb.h"
#include "ppt/encryption.h"
#include "ppt/loader.h"
#include "ppt/picture_store.h"
#include "ppt/pp40.h"
#include "ppt/pp95.h"

namespace ppt {
namespace detail {
namespace {
constexpr uint32_t kTokenPlain = 0xE391C05F;
constexpr uint32_t kTokenEncrypted = 0xF3D1C4DF;
}  // namespace

LoadError Loader::Run(const Record& doc) {
  ReadDocument(doc);
  for (const ListEntry& e : slides_) {
    if (out_->slides.size() >= 10000 || budget_.spent()) break;
    Record container;
    uint64_t bytes = Object(e.persist, &container) ? container.len : 0;
    if (!budget_.Spend(cost::kSlide + bytes / cost::kSlideBytes)) break;
    ReadSlide(e);
  }
  out_->work = budget_.used();
  out_->cut_short = budget_.spent() || text_cut_;
  // Nothing to show from a file that spent the budget before its first slide.
  if (out_->cut_short && out_->slides.empty()) return LoadError::kDamaged;
  return LoadError::kNone;
}

namespace {

// The show settings record: the slide range, then its flags after a run of other settings.
constexpr size_t kShowRangeAt = 8, kShowFlagsAt = 76;
constexpr uint16_t kShowUseTimings = 0x01, kShowNoAnimation = 0x02, kShowUseRange = 0x04;
constexpr uint16_t kShowBrowsed = 0x10, kShowKiosk = 0x20, kShowLoop = 0x80;
// A font entity: its face (32 UTF-16 units), then its charset and pitch and family.
constexpr size_t kFontEntitySize = 68, kFontFaceUnits = 32, kFontCharsetAt = 64;
constexpr size_t kFontPitchFamilyAt = 67;
// Slide sizes outside a sane range (1/8 inch to 100 inches) are ignored.
constexpr int32_t kMinSlideSide = 72, kMaxSlideSide = 57600;
// Slide lists and the document's headers and footers, by instance.
constexpr uint16_t kSlidesList = 0, kMastersList = 1, kSlideFooters = 3;
constexpr uint16_t kStyleTypes = 9;

}  // namespace

void Loader::ReadDocumentAtom(const Record& r) {
  ByteReader br = r.reader();
  int32_t w = br.I32(), h = br.I32();
  if (br.ok() && w >= kMinSlideSide && h >= kMinSlideSide && w <= kMaxSlideSide &&
      h <= kMaxSlideSide) {
    out_->width = w;
    out_->height = h;
  }
}

void Loader::ReadShowSettings(const Record& r) {
  ByteReader br = r.reader();
  br.Skip(kShowRangeAt);
  int16_t first = br.I16(), last = br.I16();
  br.Skip(kShowFlagsAt - kShowRangeAt - 4);
  uint16_t flags = br.U16();
  if (!br.ok()) return;
  out_->show.use_timings = flags & kShowUseTimings;
  out_->show.use_range = flags & kShowUseRange;
  out_->show.loop = flags & kShowLoop;
  out_->show.no_animation = flags & kShowNoAnimation;
  out_->show.browsed = flags & kShowBrowsed;
  out_->show.kiosk = flags & kShowKiosk;
  out_->show.first = first;
  out_->show.last = last;
}

void Loader::ReadEnvironment(const Record& r) {
  Children e(r);
  Record x;
  while (e.Next(&x)) {
    if (x.type == rt::kFontCollection) {
      Children f(x);
      Record fe;
      while (f.Next(&fe)) {
        if (fe.type != rt::kFontEntity || fe.len < kFontEntitySize) continue;
        Font font;
        std::u16string name;
        for (size_t i = 0; i < kFontFaceUnits; i++) {
          char16_t ch = Le16(fe.body + i * 2);
          if (!ch) break;
          name += ch;
        }
        font.name = ToUtf8(name);
        font.charset = fe.body[kFontCharsetAt];
        font.pitch_family = fe.body[kFontPitchFamilyAt];
        fonts_.push_back(font);
      }
    } else if (x.type == rt::kTextMasterStyle && x.inst < kStyleTypes) {
      ReadMasterStyle(x.body, x.len, x.inst, &doc_styles_[x.inst]);
      if (x.inst == text_type::kOther) doc_has_other_style_ = true;
    } else if (x.type == rt::kTextParaDefaults || x.type == rt::kTextRuler) {
      ReadDocTabs(x);
    }
  }
}

void Loader::ReadDocument(const Record& doc) {
  Children c(doc);
  Record r;
  Record tags;
  bool has_tags = false;
  while (c.Next(&r)) {
    switch (r.type) {
      case rt::kDocumentAtom:
        ReadDocumentAtom(r);
        break;
      case rt::kSlideListWithText:
        if (r.inst == kSlidesList) ReadSlideList(index_, r, &slides_);
        if (r.inst == kMastersList) ReadSlideList(index_, r, &masters_);
        break;
      case rt::kSlideShowDocInfo:
        ReadShowSettings(r);
        break;
      case rt::kEnvironment:
        ReadEnvironment(r);
        break;
      case rt::kHeadersFooters:
        if (r.inst == kSlideFooters) doc_footers_ = ReadFooters(r, Footers());
        break;
      case rt::kExObjList:
        ReadExObjects(r, &hyperlinks_);
        break;
      case rt::kSoundCollection:
        ReadSounds(r, &out_->sounds, &sound_ids_);
        break;
      case rt::kDrawingGroup: {
        Record dgg;
        if (FindChild(r, rt::kDggContainer, &dgg))
          ReadBlipStore(index_, pictures_, dgg, &out_->blips);
        break;
      }
      case rt::kProgTags:
        tags = r;
        has_tags = true;
        break;
      default:
        break;
    }
  }
  // After the picture store, so that its one-based numbering stays as shapes name it.
  if (has_tags) ReadBulletPictures(tags);
}

void ReadSlideList(DocumentIndex& index, const Record& list, std::vector<ListEntry>* out) {
  Children c(list);
  Record r;
  while (c.Next(&r)) {
    if (!index.budget().Spend(cost::kListRecord)) return;
    if (r.type == rt::kSlidePersistAtom) {
      ByteReader br = r.reader();
      ListEntry e;
      e.persist = br.U32();
      br.U32();
      br.U32();
      e.slide_id = br.U32();
      if (br.ok()) out->push_back(e);
      continue;
    }
    if (out->empty()) continue;
    std::vector<RawText>& texts = out->back().texts;
    if (r.type == rt::kTextHeader) {
      RawText t;
      t.type = r.len >= 4 ? int(Le32(r.body)) : 4;
      texts.push_back(t);
    } else if (texts.empty()) {
      continue;
    } else if (r.type == rt::kTextChars) {
      for (size_t i = 0; i + 1 < r.len; i += 2) texts.back().chars += char16_t(Le16(r.body + i));
    } else if (r.type == rt::kTextBytes) {
      for (size_t i = 0; i < r.len; i++) texts.back().chars += char16_t(r.body[i]);
    } else if (r.type == rt::kStyleTextProp) {
      texts.back().style = r;
      texts.back().has_style = true;
    } else if (r.type == rt::kInteractiveInfo || r.type == rt::kTxInteractiveInfoAtom) {
      texts.back().links.push_back(r);
    }
  }
}

Loader::Master* Loader::FindMaster(uint32_t slide_id, int depth) {
  if (depth > 2) return nullptr;
  const ListEntry* entry = nullptr;
  for (const ListEntry& e : masters_)
    if (e.slide_id == slide_id) entry = &e;
  if (!entry) return nullptr;
  Master& m = master_cache_[slide_id];
  if (m.loaded) return &m;
  m.loaded = true;
  if (!Object(entry->persist, &m.container) ||
      (m.container.type != rt::kMainMaster && m.container.type != rt::kSlide)) {
    master_cache_.erase(slide_id);
    return nullptr;
  }
  m.title_master = m.container.type == rt::kSlide;
  for (int i = 0; i < 9; i++) m.styles[i] = doc_styles_[i];
  static const Rgb kDefaultScheme[8] = {{255, 255, 255}, {0, 0, 0},       {128, 128, 128},
                                        {0, 0, 0},       {187, 224, 227}, {51, 51, 153},
                                        {0, 153, 153},   {153, 204, 0}};
  std::copy(kDefaultScheme, kDefaultScheme + 8, m.scheme);
  bool found = false;
  ReadScheme(m.container, m.scheme, &found);
  Record atom;
  if (m.title_master && FindChild(m.container, rt::kSlideAtom, &atom) && atom.len >= 24) {
    m.parent_id = Le32(atom.body + 12);
    m.master_objects = Le16(atom.body + 20) & 1;
    Master* parent = FindMaster(m.parent_id, depth + 1);
    if (parent && !parent->title_master) {
      for (int i = 0; i < 9; i++) m.styles[i] = parent->styles[i];
      if (!found) std::copy(parent->scheme, parent->scheme + 8, m.scheme);
    }
  }
  Children c(m.container);
  Record r;
  while (c.Next(&r))
    if (r.type == rt::kTextMasterStyle && r.inst < 9 &&
        !(r.inst == text_type::kOther && doc_has_other_style_))
      ReadMasterStyle(r.body, r.len, r.inst, &m.styles[r.inst]);
  return &master_cache_[slide_id];
}

void Loader::ReadDocTabs(const Record& x) {
  // Only the tabs are taken from the document's paragraph defaults: the rest (alignment, margins)
  // the built-in styles and the masters already settle, as they always have.
  constexpr size_t kReserved = 2;  // before the paragraph props
  ParaProps pf;
  if (x.type == rt::kTextParaDefaults) {
    if (x.len < kReserved) return;
    ByteReader r(x.body + kReserved, x.len - kReserved);
    if (!ReadParaProps(r, &pf)) return;
    pf.mask &= ParaProps::kDefaultTab | ParaProps::kTabStops;
  } else {
    Ruler ruler;
    if (!ReadRuler(x.body, x.len, &ruler)) return;
    if (ruler.has_default_tab) {
      pf.default_tab = ruler.default_tab;
      pf.mask |= ParaProps::kDefaultTab;
    }
    if (ruler.has_tabs) {
      pf.tabs = ruler.tabs;
      pf.mask |= ParaProps::kTabStops;
    }
  }
  // A size of nothing would mean no default stops at all: keep the one before.
  if (pf.default_tab == 0) pf.mask &= ~uint32_t(ParaProps::kDefaultTab);
  doc_tabs_.Overlay(pf);
}

void Loader::ReadScheme(const Record& container, Rgb* scheme, bool* found) {
  Record s;
  if (FindChild(container, rt::kColorScheme, &s, 1) && s.len >= 32) {
    for (int i = 0; i < 8; i++) scheme[i] = FromColorRef(Le32(s.body + i * 4));
    *found = true;
  }
}

namespace {

// The slide atom: its master, then which of the master's parts the slide follows.
constexpr size_t kSlideAtomSize = 24, kSlideMasterAt = 12, kSlideFlagsAt = 20;
constexpr uint16_t kFollowMasterObjects = 0x1, kFollowMasterScheme = 0x2;
constexpr uint16_t kFollowMasterBackground = 0x4;
// The slide's show settings: its time on screen, then its flags.
constexpr size_t kShowInfoSize = 12, kShowInfoFlagsAt = 10;
constexpr uint16_t kSlideHidden = 0x0004, kSlideAutoAdvance = 0x0400;
constexpr int32_t kMaxAdvanceMs = 86399000;  // a day less a second

}  // namespace

void Loader::ReadSlideShowInfo(const Record& container, Slide* slide) {
  Record r;
  if (!FindChild(container, rt::kSlideShowSlideInfo, &r) || r.len < kShowInfoSize) return;
  int32_t time = int32_t(Le32(r.body));
  uint16_t f = Le16(r.body + kShowInfoFlagsAt);
  slide->hidden = f & kSlideHidden;
  slide->auto_advance = f & kSlideAutoAdvance;
  slide->advance_ms = std::min(std::max(time, 0), kMaxAdvanceMs);
  ReadTransition(r, slide);
}

void Loader::ReadSlide(const ListEntry& entry) {
  Record container;
  slide_number_++;
  slide_chars_ = 0;
  if (!Object(entry.persist, &container) || container.type != rt::kSlide) return;
  Slide slide;
  slide.slide_id = entry.slide_id;
  uint32_t master_id = 0;
  uint16_t flags = kFollowMasterObjects | kFollowMasterScheme | kFollowMasterBackground;
  Record r;
  if (FindChild(container, rt::kSlideAtom, &r) && r.len >= kSlideAtomSize) {
    master_id = Le32(r.body + kSlideMasterAt);
    flags = Le16(r.body + kSlideFlagsAt);
  }
  ReadSlideShowInfo(container, &slide);
  Master* master = FindMaster(master_id);
  Master* main = master;
  if (master && master->title_master) {
    Master* parent = FindMaster(master->parent_id, 1);
    main = parent && !parent->title_master ? parent : nullptr;
  }
  Context ctx;
  if (master)
    std::copy(master->scheme, master->scheme + 8, ctx.scheme);
  else
    ctx.scheme[0] = Rgb{255, 255, 255};
  if (!(flags & kFollowMasterScheme)) {
    bool found = false;
    ReadScheme(container, ctx.scheme, &found);
  }
  ctx.styles = master ? master->styles : doc_styles_;

  // Background and objects of the master chain, drawn in the slide's colours.
  Fill background;
  background.kind = Fill::kSolid;
  background.color = ctx.scheme[0];
  std::map<int, std::pair<Rect, std::map<uint16_t, uint32_t>>> placeholders;
  ctx.placeholders = &placeholders;
  Context mctx = ctx;
  mctx.master = true;
  Footers footers = doc_footers_;
  Record hf;
  if (FindChild(container, rt::kHeadersFooters, &hf)) footers = ReadFooters(hf, footers);
  footers.slide_number = slide_number_;
  mctx.footers = &footers;
  std::vector<Shape> shapes;
  bool has_bg = false;
  if (flags & kFollowMasterObjects) {
    if (main && master != main && master->master_objects) {
      std::vector<Shape> unused;
      Fill main_bg;
      bool main_has = false;
      DrawingShapes(main->container, mctx, &shapes, &main_bg, &main_has);
      if (main_has) background = main_bg;
    }
    if (master) DrawingShapes(master->container, mctx, &shapes, &background, &has_bg);
  } else if (master) {
    std::vector<Shape> unused;
    if (main && master != main) DrawingShapes(main->container, mctx, &unused, &background, &has_bg);
    DrawingShapes(master->container, mctx, &unused, &background, &has_bg);
  }
  Fill own_bg;
  bool own_has = false;
  Context sctx = ctx;
  sctx.outline = &entry.texts;
  sctx.footers = &footers;  // fields in the slide's own text
  DrawingShapes(container, sctx, &shapes, &own_bg, &own_has);
  if (own_has && !(flags & kFollowMasterBackground)) background = own_bg;
  if (background.kind == Fill::kNone) {
    background.kind = Fill::kSolid;
    background.color = ctx.scheme[0];
  }
  slide.background = background;
  slide.shapes = std::move(shapes);
  Record tags, ppt10;
  if (FindChild(container, rt::kProgTags, &tags) && FindBinaryTag(tags, u"___PPT10", &ppt10))
    ReadTimeline(ppt10.body, ppt10.len, &slide.timeline);
  out_->slides.push_back(std::move(slide));
}

}  // namespace detail

using detail::Loader;

namespace {
// Decrypts copies of the document and picture streams into `store`, which keeps them.
LoadError Decrypt(const detail::EncryptedObjects& objects, const std::u16string& password,
                  const uint8_t* doc, size_t doc_size, size_t file_size, PictureStore* store) {
  std::vector<uint8_t> plain(doc, doc + doc_size);
  DocumentCipher cipher;
  LoadError e = detail::DecryptDocument(objects, password, &plain, &cipher);
  if (e != LoadError::kNone) return e;
  // A stream holds no more than the file does, whatever its entry claims.
  std::vector<uint8_t> pictures(size_t(std::min<uint64_t>(store->pictures().size(), file_size)));
  pictures.resize(store->pictures().Read(0, pictures.size(), pictures.data()));
  detail::DecryptPictures(cipher, &pictures);
  store->HoldDecrypted(std::move(plain), std::move(pictures));
  return LoadError::kNone;
}
}  // namespace

constexpr const char* kDualStorage = "PP97_DUALSTORAGE";

LoadError Load(const uint8_t* data, size_t size, Presentation* out, const LoadOptions& options) {
  *out = Presentation();
  auto store = std::make_shared<PictureStore>(options);
  const CompoundFile& cf = store->file();
  if (!store->Open(data, size)) return LoadError::kNotCompound;
  // A file saved for PowerPoint 95 and 97 at once keeps the 95 streams at the top and the 97
  // presentation whole in a storage of its own.
  store->EnterStorage(kDualStorage);
  bool marked_encrypted = cf.Has("EncryptedSummary");
  // PowerPoint 4 kept its presentation in a stream of another name and layout; where a later
  // version's presentation stands beside it, that one is the file as last saved.
  const bool pp4 = cf.Has("PP40") && !cf.Has("PowerPoint Document");
  StreamReader& doc_stream = store->document();
  if (!cf.Stream(pp4 ? "PP40" : "PowerPoint Document", &doc_stream))
    return LoadError::kNotPresentation;
  // The document is read in place when its sectors follow each other, as they mostly do.
  std::vector<uint8_t> doc_copy;
  const size_t doc_size = size_t(doc_stream.size());
  const uint8_t* doc = doc_stream.Contiguous(0, doc_size);
  if (!doc) {
    doc_copy.resize(doc_size);
    doc_copy.resize(doc_stream.Read(0, doc_size, doc_copy.data()));
    doc = doc_copy.data();
  }
  const size_t doc_length = doc_copy.empty() ? doc_size : doc_copy.size();
  if (pp4) {
    if (!detail::IsPowerPoint4(doc, doc_length)) return LoadError::kOldFormat;
    LoadError e = detail::LoadPowerPoint4(doc, doc_length, out);
    if (e == LoadError::kNone) out->store = std::move(store);
    return e;
  }
  // PowerPoint 95 wrote the same record types under headers of its own.
  if (detail::IsPowerPoint95(doc, doc_length)) {
    LoadError e = detail::LoadPowerPoint95(doc, doc_length, out);
    if (e == LoadError::kNone) out->store = std::move(store);
    return e;
  }
  if (cf.Has("PersistentStorage Directory")) return LoadError::kOldFormat;
  cf.Stream("Pictures", &store->pictures());
  std::vector<uint8_t> user;
  uint32_t current_edit = 0;
  bool have_user = false;
  if (cf.Read("Current User", &user)) {
    Record r;
    if (RecordAt(user.data(), user.size(), 0, &r) && r.type == rt::kCurrentUser && r.len >= 16) {
      ByteReader br = r.reader();
      br.U32();
      uint32_t token = br.U32();
      current_edit = br.U32();
      br.U16();
      uint16_t version = br.U16();
      marked_encrypted |= token == detail::kTokenEncrypted;
      if (version != 0 && version < 0x03F4) return LoadError::kOldFormat;
      have_user = token == detail::kTokenPlain || token == 0 || token == detail::kTokenEncrypted;
    }
  }
  detail::EncryptedObjects encrypted;
  if (have_user) detail::FindEncryption(doc, doc_length, current_edit, &encrypted);
  if (marked_encrypted || encrypted.found) {
    if (options.password.empty()) return LoadError::kEncrypted;
    LoadError e = Decrypt(encrypted, options.password, doc, doc_length, size, store.get());
    if (e != LoadError::kNone) return e;
    doc = store->document().Contiguous(0, doc_length);
  }
  detail::DocumentIndex index(doc, doc_length, options.max_work);
  Record document;
  LoadError e = index.Open(current_edit, have_user, encrypted.found, &document);
  if (e == LoadError::kNone) {
    out->repaired = index.repaired();
    e = Loader(index, store->pictures(), options, out).Run(document);
  }
  // Pictures inside the document stream are read from the file later, never from a copy; an
  // encrypted file's from its decrypted stream in memory.
  if (e != LoadError::kNone)
    *out = Presentation();
  else
    out->store = std::move(store);
  return e;
}

}  // namespace ppt
