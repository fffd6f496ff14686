#pragma once
// The text of presentations saved by PowerPoint 95: the document's faces and rulers, and a text's
// characters with their character and paragraph runs.
#include <cstdint>
#include <string>
#include <vector>

#include "ppt/pp95_records.h"
#include "ppt/presentation.h"

namespace ppt::detail::pp95 {

constexpr int kLevels = 5;

// The text margin and first-line indent of each outline level, in master units.
struct Ruler {
  int32_t margin[kLevels] = {}, indent[kLevels] = {};
};

struct Face {
  std::string name;
  uint8_t charset = 0, pitch_family = 0;
};

// The document's faces, by the numbers runs and bullets name them with.
class Faces {
 public:
  explicit Faces(const Rec& document);
  // The face numbered `id`; the list's first for a number it does not hold.
  const Face& Of(uint32_t id) const;
  bool Has(uint32_t id) const { return id < by_id_.size() && !by_id_[id].name.empty(); }

 private:
  std::vector<Face> by_id_;
  Face first_;
};

// The document's rulers, which texts choose by their place in this list.
std::vector<Ruler> ReadRulers(const Rec& document);

// What a text is set with besides its own runs: faces, colours, its colour slot (text or title)
// and its ruler.
struct TextContext {
  const Faces& faces;
  const Scheme& scheme;
  int slot;
  Ruler ruler;
};

// A text's content record as paragraphs; false when it holds no characters.
bool ReadTextContent(const Rec& content, const TextContext& context, TextBody* body);

}  // namespace ppt::detail::pp95
