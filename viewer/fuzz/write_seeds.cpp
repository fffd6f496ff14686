// Writes the crafted presentations the fuzzer starts from besides real ones: well-formed decks
// of the builder's kinds and the hostile ones, at sizes a fuzzer can still mutate quickly; with
// a second folder, Macintosh pictures using each kind of operation for the picture fuzzer, and
// with a third, a metafile with text in a symbol face for the metafile fuzzer.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "viewer/tests/hostile_decks.h"
#include "viewer/tests/pp40_builder.h"
#include "viewer/tests/pp95_builder.h"

namespace {

bool Write(const std::string& path, const deck::Bytes& b) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(b.data(), 1, b.size(), f) == b.size();
  return fclose(f) == 0 && ok;
}

// Big-endian words, as Macintosh pictures store them.
deck::Bytes Words(std::initializer_list<int> vs) {
  deck::Bytes b;
  for (int v : vs) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
  }
  return b;
}

std::vector<std::pair<std::string, deck::Bytes>> PictSeeds() {
  const deck::Bytes v2 = Words(
      {0, 0, 0, 100, 100, 0x0011, 0x02FF, 0x0C00, -2, 0, 0, 72, 0, 72, 0, 0, 0, 200, 200, 0, 0});
  const deck::Bytes shapes =
      Words({0x1A,   0xFFFF, 0,      0,      0x07,   2,    2,   0x31, 0,    0,
             50,     50,     0x30,   10,     10,     90,   90,  // rectangles
             0x0B,   8,      8,      0x41,   20,     20,   60,  60,   0x50, 0,
             0,      40,     40,     0x59,  // round, ovals
             0x61,   0,      0,      80,     80,     90,   180, 0x60, 5,    5,
             70,     70,     -45,    90,  // arcs
             0x20,   1,      1,      99,     99,     0x21, 1,   50,   0x0A, 0x55AA,
             0x55AA, 0x55AA, 0x55AA,  // lines, pattern
             0x74,   22,     0,      0,      40,     40,   0,   0,    40,   0,
             20,     40,     0x70,   22,     0,      0,    40,  40,   0,    0,
             40,     0,      20,     40,     0x01,   10,   0,   0,    100,  100,  // clip
             0x81,   24,     0,      0,      20,     20,   0,   0,    20,   0x7FFF,
             20,     0,      20,     0x7FFF, 0x7FFF,  // region
             0x00FF});
  const deck::Bytes text = Words(
      {0x2C,   12,     21,     0x0948, 0x656C, 0x7665, 0x7469, 0x6361, 0x03,   21,     0x0D,
       14,     0x04,   0x0100, 0xA1,   150,    6,      0x0100, 0x010E, 0x0100, 0xA1,   154,
       8,      0,      0,      0,      0,      0x28,   50,     10,     0x0341, 0x8E63, 0x29,
       0x0502, 0x4142, 0xA0,   151,    0x2A,   0x0501, 0x4300, 0x2B,   0x0505, 0x0144, 0x00FF});
  const deck::Bytes pixels = Words(
      {0x98, 0x8010, 0,  0, 2,      16,     0,      0,      0,      0,      0,    72, 0,    72,
       0,    0,      8,  1, 8,      0,      0,      0,      0,      0,      0,    0,  0,    0,
       1,    0,      -1, 0, 0,      1,      0,      0,      -1,     0,      0,    2,  16,   0,
       0,    2,      16, 0, 0x04F9, 0x00F9, 0x0105, 0x0101, 0x00F3, 0x0100, 0x9A, 0,  0xFF, 0x8008,
       0,    0,      1,  2, 0,      4,      0,      0,      0,      72,     0,    72, 16,   32,
       3,    8,      0,  0, 0,      0,      0,      0,      0,      0,      0,    1,  2,    0,
       0,    1,      2,  0, 0x0705, 0x1020, 0x3040, 0x5060, 0x00FF});
  std::vector<std::pair<std::string, deck::Bytes>> out;
  for (const auto& [name, body] :
       {std::pair{"shapes", shapes}, {"text", text}, {"pixels", pixels}}) {
    deck::Bytes b = v2;
    b.insert(b.end(), body.begin(), body.end());
    out.push_back({std::string(name) + ".pict", b});
  }
  out.push_back({"version1.pict", deck::Bytes{0,    0,    0, 0, 0, 0, 0, 20, 0, 20, 0x11,
                                              0x01, 0x51, 0, 2, 0, 2, 0, 18, 0, 18, 0xFF}});
  return out;
}

// An enhanced metafile whose text is set in Symbol: a font, its selection, text of bytes and of
// UTF-16 with advances, saved and restored states.
deck::Bytes SymbolTextEmf() {
  deck::Bytes b;
  auto record = [&](uint32_t type, const deck::Bytes& body) {
    deck::Put32(b, type);
    deck::Put32(b, uint32_t(8 + body.size()));
    b.insert(b.end(), body.begin(), body.end());
  };
  deck::Bytes header(100, 0);
  header[32] = 0x20, header[33] = 0x45, header[34] = 0x4D, header[35] = 0x46;  // " EMF"
  header[38] = 1;                                                              // version
  record(1, header);
  deck::Bytes font;
  deck::Put32(font, 1);
  deck::Put32(font, uint32_t(-40));
  font.resize(4 + 28, 0);
  font[4 + 23] = 2;
  for (char16_t c : std::u16string(u"Symbol")) deck::Put16(font, c);
  font.resize(4 + 92, 0);
  record(82, font);
  record(37, {1, 0, 0, 0});
  for (uint32_t type : {83u, 84u}) {
    deck::Bytes text(68, 0);
    text[36] = 3;                     // characters
    text[40] = 76;                    // their offset
    text[64] = type == 83 ? 80 : 84;  // the advances' offset
    for (int i = 0; i < 3; i++) {
      text.push_back(uint8_t("abp"[i]));
      if (type == 84) text.push_back(0xF0);
    }
    text.resize(type == 83 ? 72 : 76, 0);
    for (int i = 0; i < 3; i++) deck::Put32(text, 20);
    record(type, text);
    record(33, {});
  }
  record(34, {0xFF, 0xFF, 0xFF, 0xFF});
  record(14, deck::Bytes(12, 0));
  for (int i = 0; i < 4; i++) b[48 + i] = uint8_t(b.size() >> (8 * i));
  b[52] = 9;
  return b;
}

bool WriteAll(const std::string& folder,
              const std::vector<std::pair<std::string, deck::Bytes>>& seeds) {
  for (const auto& s : seeds) {
    if (!Write(folder + "/" + s.first, s.second)) {
      fprintf(stderr, "cannot write %s\n", s.first.c_str());
      return false;
    }
  }
  return true;
}

// A deck as PowerPoint 4 saved it: a master with a bar, a slide with a title, bulleted body
// text, an oval and a polygon.
deck::Bytes PowerPoint4Deck() {
  using namespace pp40;
  Stream s;
  Slots slots;
  slots.fonts = s.Add(List(64, {FontEntry("Arial")}));
  slots.rulers = s.Add(List(4, {Word32(s.Add(Ruler({{0, 0}, {468, 288}}, {{1000, 3}})))}));
  slots.schemes = s.Add(List(4, {Word32(s.Add(Scheme({0xFFFFFF, 0, 0x808080, 0x000080})))}));
  slots.colors = s.Add(ColorMenu(s.Add(ColorTable({0, 0, 0, 0, 0, 0, 0, 0, 0x996633}))));
  Frame bar{1, 1, 0, 0, -2880, 1800, 2880, 2000};
  bar.fill_color = 8;
  slots.master = s.Add(Slide(s.Add(Content(0, s.Add(Frames({bar})), -1, -1, false, 0))));
  Frame title{1, 0, 0, 1, -2600, -2000, 2200, -1300};
  Frame body{1, 0, 0, 1, -2600, -900, 2500, 1600};
  Frame oval{1, 1, 1, 0, 1000, -500, 1400, 300};
  oval.shape = -1;
  Frame polygon{2, 1, 1, 0, -500, 500, -100, 900};
  uint32_t texts = s.Add(
      TextZone({Text(0, 0x72, -2560, -1980, 2160, -1320, "Title", {{5, 0, 40, 1, 3}}, {{5, 0, 1}}),
                Text(0, 0x22, -2580, -880, 2480, 1580, "One\rTwo",
                     {{4, 0, 32, 2}, {3, 0, 24, 0, 8}}, {{4, 0, 0, 0x95}, {3, 1, 1, 0x96}})}));
  uint32_t polygons = s.Add(Polygons({{true, {0, 0, 40, 0, 20, 40}}}));
  uint32_t content =
      s.Add(Content(texts, s.Add(Frames({title, body, oval, polygon})), 0, 1, true, 0, polygons));
  slots.root = s.Add(Root(s.Add(SlideList({s.Add(Slide(content))}))));
  return deck::CompoundFile({{"PP40", s.Build(s.Add(DocInfo(slots)))}});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    fprintf(stderr, "usage: write_seeds <folder> [<picture folder> [<metafile folder>]]\n");
    return 2;
  }
  deck::DeckSpec plain;
  plain.slides = {{0x0000FF, "one"}, {0x00FF00, "two"}};
  // WordArt with its text and face (plain and arched), and a shape of a type without a preset
  // carrying a path.
  deck::DeckSpec drawn = plain;
  deck::Bytes art, face, path;
  for (char16_t c : std::u16string(u"Word\r\nArt")) deck::Put16(art, c);
  for (char16_t c : std::u16string(u"Impact")) deck::Put16(face, c);
  for (uint16_t v : {3, 3, 8}) deck::Put16(path, v);  // three vertices of 8 bytes
  for (uint32_t v : {0, 0, 1000, 0, 500, 1000}) deck::Put32(path, v);
  drawn.slides[0].containers = {
      deck::Shape(136, {{0x00FF, 0x00200020}}, 100, 100, 2000, 1000, 0, false,
                  {{0x00C0, art}, {0x00C5, face}}),
      deck::Shape(100, {}, 100, 1200, 2000, 2000, 0, false, {{0x0145, path}}),
      // Arched, with its angle and alignment stated.
      deck::Shape(144, {{0x0147, 120}, {0x00C2, 2}}, 2100, 100, 4000, 1500, 0, false,
                  {{0x00C0, art}})};
  // A deck as PowerPoint 95 saved it: a text, an ellipse and a line on a slide, a bar on its
  // master.
  using namespace pp95;
  Bytes style = Style(true, 1, true, 4);
  Bytes text = Object(-2600, -900, 2500, 1600, style,
                      Text("One\rTwo", {{4, 32, 1, 0, 0, 0, 1, 0}, {3, 24, 2, 9, 9, 9, 0xFE, 10}},
                           {{4, 0, 0, {0x55, 'n', 10, 0, 0, 0, 4, 80}, 90, -6, 10}, {3, 1, 1}}));
  Bytes old_doc =
      Document(Environment({{"Arial", 0}, {"Monotype Sorts", 10, 2}}, {{{0, 0}, {288, 288}}}),
               {Slide({text, Object(1000, -500, 1400, 300, style, {}, 0xFFFFFFFF),
                       Polyline({{-100, 400}, {200, 500}, {600, 450}}, style),
                       Line(400, 300, -200, -100, Style(true, 1, false, 4, {2, 3, true}), {0, 4})},
                      Scheme({0xFFFFFF, 0, 0x808080, 0, 0xFF6600}))},
               Slide({Object(-2880, 1800, 2880, 2000, style)}, Scheme({0xFFFFFF}), 0x03F8));
  deck::Bytes old_deck = deck::CompoundFile({{"PowerPoint Document", old_doc},
                                             {"PersistentStorage Directory", deck::Bytes(62, 0)},
                                             {"Header", deck::Bytes(57, 0)}});
  deck::DeckSpec saved = plain;
  deck::Bytes pp4_deck = PowerPoint4Deck();
  saved.incremental = true;
  saved.scattered = true;
  std::vector<std::pair<std::string, deck::Bytes>> seeds{
      {"plain.ppt", deck::Build(plain)},
      {"incremental.ppt", deck::Build(saved)},
      {"drawn.ppt", deck::Build(drawn)},
      {"edits.ppt", hostile::ManyEditsOneDirectory(200, 20000)},
      {"one_slide.ppt", hostile::OneSlideManyTimes(1000, 200)},
      {"outline_refs.ppt", hostile::ManyOutlineRefs(200, 4096)},
      {"deleted_shapes.ppt", hostile::DeletedShapesOnMaster(10, 20000)},
      {"fat_claims.ppt", hostile::ClaimsMoreSectors(deck::Build(plain))},
      {"powerpoint95.ppt", old_deck},
      {"powerpoint4.ppt", pp4_deck},
  };
  if (!WriteAll(argv[1], seeds)) return 1;
  if (argc >= 3 && !WriteAll(argv[2], PictSeeds())) return 1;
  if (argc >= 4 && !WriteAll(argv[3], {{"symbol_text.emf", SymbolTextEmf()}})) return 1;
  return 0;
}
