// Writes the crafted presentations the fuzzer starts from besides real ones: well-formed decks
// of the builder's kinds and the hostile ones, at sizes a fuzzer can still mutate quickly.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "viewer/tests/hostile_decks.h"

namespace {

bool Write(const std::string& path, const deck::Bytes& b) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(b.data(), 1, b.size(), f) == b.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: write_seeds <folder>\n");
    return 2;
  }
  deck::DeckSpec plain;
  plain.slides = {{0x0000FF, "one"}, {0x00FF00, "two"}};
  // WordArt with its text and face, and a shape of a type without a preset carrying a path.
  deck::DeckSpec drawn = plain;
  deck::Bytes art, face, path;
  for (char16_t c : std::u16string(u"Word\r\nArt")) deck::Put16(art, c);
  for (char16_t c : std::u16string(u"Impact")) deck::Put16(face, c);
  for (uint16_t v : {3, 3, 8}) deck::Put16(path, v);  // three vertices of 8 bytes
  for (uint32_t v : {0, 0, 1000, 0, 500, 1000}) deck::Put32(path, v);
  drawn.slides[0].containers = {
      deck::Shape(136, {{0x00FF, 0x00200020}}, 100, 100, 2000, 1000, 0, false,
                  {{0x00C0, art}, {0x00C5, face}}),
      deck::Shape(100, {}, 100, 1200, 2000, 2000, 0, false, {{0x0145, path}})};
  deck::DeckSpec saved = plain;
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
  };
  for (const auto& s : seeds) {
    if (!Write(std::string(argv[1]) + "/" + s.first, s.second)) {
      fprintf(stderr, "cannot write %s\n", s.first.c_str());
      return 1;
    }
  }
  return 0;
}
