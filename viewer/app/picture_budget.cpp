#include "app/picture_budget.h"

#include <algorithm>
#include <tuple>

namespace viewer {

PictureBudget::PictureBudget(const ppt::Presentation& p, size_t limit_bytes)
    : by_slide_(p.slides.size()), limit_(limit_bytes) {
  for (size_t i = 0; i < p.slides.size(); i++) {
    const ppt::Slide& s = p.slides[i];
    std::vector<int>& pics = by_slide_[i];
    auto add = [&](int blip) {
      if (blip < 0 || size_t(blip) >= p.blips.size()) return;
      if (std::find(pics.begin(), pics.end(), blip) == pics.end()) pics.push_back(blip);
    };
    // Pictures, textures and patterns all draw from a picture of the store.
    auto add_fill = [&](const ppt::Fill& f) {
      if (f.kind == ppt::Fill::kPicture || f.kind == ppt::Fill::kTexture ||
          f.kind == ppt::Fill::kPattern)
        add(f.blip);
    };
    add_fill(s.background);
    for (const ppt::Shape& sh : s.shapes) {
      add_fill(sh.fill);
      add(sh.picture);
      for (const ppt::Paragraph& para : sh.text.paragraphs) add(para.bullet_blip);
      if (sh.picture >= 0 && size_t(sh.picture) < p.blips.size()) framed_.insert(sh.picture);
    }
    for (int b : pics) slides_of_[b].push_back(i);
  }
}

const std::vector<int>& PictureBudget::PicturesOf(size_t slide) const {
  static const std::vector<int> kNone;
  return slide < by_slide_.size() ? by_slide_[slide] : kNone;
}

void PictureBudget::Kept(int blip, size_t bytes) {
  Dropped(blip);
  held_[blip] = Held{bytes, ++clock_};
  held_bytes_ += bytes;
}

void PictureBudget::Used(int blip) {
  auto it = held_.find(blip);
  if (it != held_.end()) it->second.used = ++clock_;
}

void PictureBudget::Dropped(int blip) {
  auto it = held_.find(blip);
  if (it == held_.end()) return;
  held_bytes_ -= it->second.bytes;
  held_.erase(it);
}

size_t PictureBudget::Distance(int blip) const {
  auto it = slides_of_.find(blip);
  if (it == slides_of_.end()) return SIZE_MAX;
  size_t best = SIZE_MAX;
  for (size_t s : it->second) best = std::min(best, s > current_ ? s - current_ : current_ - s);
  return best;
}

std::vector<int> PictureBudget::Overflow(int keep) const {
  std::vector<std::tuple<size_t, uint64_t, int, size_t>> candidates;  // far first, then old
  for (const auto& h : held_) {
    size_t d = Distance(h.first);
    if (d == 0 || h.first == keep) continue;
    candidates.emplace_back(d, h.second.used, h.first, h.second.bytes);
  }
  std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
    if (std::get<0>(a) != std::get<0>(b)) return std::get<0>(a) > std::get<0>(b);
    return std::get<1>(a) < std::get<1>(b);
  });
  std::vector<int> out;
  size_t held = held_bytes_;
  for (const auto& c : candidates) {
    if (held <= limit_) break;
    out.push_back(std::get<2>(c));
    held -= std::get<3>(c);
  }
  return out;
}

int PictureBudget::Upcoming(const std::vector<size_t>& order, size_t pos, size_t ahead,
                            const std::set<int>& tried) const {
  if (held_bytes_ >= limit_) return -1;
  for (size_t k = 1; k <= ahead && pos + k < order.size(); k++)
    for (int b : PicturesOf(order[pos + k]))
      if (!Holds(b) && !tried.count(b)) return b;
  return -1;
}

}  // namespace viewer
