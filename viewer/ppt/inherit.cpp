// Where a shape's unset drawing properties come from: its master shape (named by the shape or,
// for a slide's placeholder, the master's placeholder of its kind), what its type shows by
// default, and the defaults the file keeps for all its drawings. Flags of the packed boolean
// sets count one by one: a flag without its "use" bit is unset.
#include <set>

#include "ppt/loader.h"

namespace ppt::detail {

namespace {
constexpr size_t kMaxIndexed = 20000;
constexpr int kMaxMasterChain = 4;

// Shape types whose defaults differ from a closed shape's.
constexpr int kPictureFrame = 75;
constexpr int kTextBox = 202;
constexpr int kLineTypes[] = {20, 32, 33, 34, 35, 36, 37, 38, 39, 40};

// A packed flag set to false, with its "use" bit.
constexpr uint32_t Off(int bit) {
  return 1u << (bit + 16);
}
constexpr int kFilledBit = 4;  // fill booleans
constexpr int kLineBit = 3;    // line booleans
}  // namespace

void Loader::IndexShapes(const Record& parent, int depth) {
  if (depth > kMaxNesting) return;
  Children c(parent);
  Record r;
  while (c.Next(&r) && master_shapes_.size() < kMaxIndexed) {
    if (r.type == rt::kSpgrContainer) {
      IndexShapes(r, depth + 1);
      continue;
    }
    Record fsp;
    if (r.type != rt::kSpContainer || !FindChild(r, rt::kFsp, &fsp) || fsp.len < 8) continue;
    Properties props;
    Children pc(r);
    Record opt;
    while (pc.Next(&opt))
      if (opt.type == rt::kFopt || opt.type == rt::kTertiaryFopt) props.Read(opt);
    master_shapes_.emplace(Le32(fsp.body), std::move(props));
  }
}

// Shapes name their master by shape id; the ids of every master's drawing are read once.
const Properties* Loader::MasterShape(uint32_t spid) {
  if (!master_shapes_indexed_) {
    master_shapes_indexed_ = true;
    for (const ListEntry& e : masters_) {
      Record container, drawing, dg;
      if (Object(e.persist, &container) && FindChild(container, rt::kDrawing, &drawing) &&
          FindChild(drawing, rt::kDgContainer, &dg))
        IndexShapes(dg, 0);
    }
  }
  auto it = master_shapes_.find(spid);
  return it == master_shapes_.end() ? nullptr : &it->second;
}

void Loader::InheritMasterShape(ShapeRecords* rec) {
  std::set<uint32_t> seen{rec->spid};
  const Properties* from = &rec->props;
  for (int i = 0; i < kMaxMasterChain && from->Has(prop::kMaster); i++) {
    uint32_t spid = from->Get(prop::kMaster, 0);
    if (!seen.insert(spid).second) break;
    const Properties* master = MasterShape(spid);
    if (!master) break;
    rec->props.Inherit(*master, prop::kMaster);
    from = master;
  }
}

void Loader::InheritDefaults(ShapeRecords* rec) const {
  std::map<uint16_t, uint32_t> type;
  // Pictures, text boxes and placeholders show only their content unless they say otherwise;
  // lines have nothing to fill.
  if (rec->type == kPictureFrame || rec->type == kTextBox || rec->placeholder >= 0) {
    type[prop::kFillBooleans] = Off(kFilledBit);
    type[prop::kLineBooleans] = Off(kLineBit);
  }
  for (int t : kLineTypes)
    if (rec->type == t) type[prop::kFillBooleans] = Off(kFilledBit);
  // The drawing group's own defaults are left out: they are what the editor gives a shape it
  // draws anew, and it stores with each shape whatever it gave it. Taken as defaults for stored
  // shapes, they empty gradient-filled boxes that store only their fill's colours, and grow
  // every placeholder to its text.
  rec->props.Inherit(type);
}

}  // namespace ppt::detail
