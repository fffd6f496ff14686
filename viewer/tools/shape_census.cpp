// Counts, over presentation files, how many shapes of the kinds drawn from a preset geometry
// have one, and which types are left to their bounding box; a developer's aid, not shipped.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include "geom/preset.h"
#include "ppt/presentation.h"

namespace {

// The types the viewer drew as themselves before the preset table: freeforms, lines and
// connectors, rectangles, text boxes, picture frames and the ten basic kinds.
bool HandByHand(int type) {
  return type <= 10 || type == 20 || (type >= 32 && type <= 40) || type == 75 || type == 202;
}

bool Boxed(const ppt::Shape& s) {
  if (s.geometry == ppt::Shape::kFreeform || s.geometry == ppt::Shape::kLine) return false;
  return s.type != 1 && !geom::FindPreset(s.type);
}

}  // namespace

int main(int argc, char** argv) {
  size_t shapes = 0, before = 0, now = 0;
  std::map<int, size_t> before_types, now_types;
  for (int i = 1; i < argc; i++) {
    std::ifstream f(argv[i], std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(f)),
                              std::istreambuf_iterator<char>());
    ppt::Presentation p;
    if (ppt::Load(data.data(), data.size(), &p) != ppt::LoadError::kNone) continue;
    for (const ppt::Slide& sl : p.slides)
      for (const ppt::Shape& s : sl.shapes) {
        shapes++;
        if (!HandByHand(s.type)) {
          before++;
          before_types[s.type]++;
        }
        if (Boxed(s)) {
          now++;
          now_types[s.type]++;
        }
      }
  }
  printf("shapes %zu, drawn as their box before %zu, now %zu\n", shapes, before, now);
  printf("before, by type:");
  for (auto& t : before_types) printf(" %d:%zu", t.first, t.second);
  printf("\nnow, by type:");
  for (auto& t : now_types) printf(" %d:%zu", t.first, t.second);
  printf("\n");
  return 0;
}
