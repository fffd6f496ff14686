#pragma once
// Which decoded pictures the viewer keeps while a show moves through its slides, and which it
// prepares next. Decoded pictures are large (four bytes a pixel), so only those of the slides
// around the one on screen are held, within a limit in bytes. Portable, so that it is tested
// natively; the Windows renderer holds the pictures themselves.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "ppt/presentation.h"

namespace viewer {

// The limits of decoded pictures. A 32-bit process has 2 GB of address space and a show must not
// need more than a small part of it, whatever the pictures.
// All decoded pictures held at once, unless the slide on screen alone needs more.
constexpr size_t kDecodedPictureBudget = 64u << 20;
// One picture as kept: enough for a full screen of 2560 x 1600; larger ones are scaled down as
// they are decoded.
constexpr uint64_t kMaxDecodedPixels = 2560 * 1600;
// Pictures larger than this are not decoded at all: the codec alone would need too much memory.
constexpr uint64_t kMaxSourcePixels = 32u << 20;
// Slides ahead of the one on screen whose pictures are prepared while it is shown.
constexpr size_t kPrefetchSlides = 2;

class PictureBudget {
 public:
  PictureBudget(const ppt::Presentation& p, size_t limit_bytes);

  // The pictures a slide shows (frames and picture fills), each once.
  const std::vector<int>& PicturesOf(size_t slide) const;
  // Whether some slide shows the picture in a picture frame, where a picture that cannot be
  // shown leaves a visible box rather than nothing.
  bool Framed(int blip) const { return framed_.count(blip) != 0; }

  void SetCurrent(size_t slide) { current_ = slide; }
  size_t current() const { return current_; }

  void Kept(int blip, size_t bytes);
  void Used(int blip);
  void Dropped(int blip);
  bool Holds(int blip) const { return held_.count(blip) != 0; }
  size_t held_bytes() const { return held_bytes_; }
  size_t limit() const { return limit_; }

  // The held pictures to give up so that the rest fit the limit: those of the slides farthest
  // from the current one first, the least recently used among equals. Never one the current slide
  // shows, nor `keep`.
  std::vector<int> Overflow(int keep = -1) const;

  // The next picture worth decoding ahead while `order[pos]` is on screen: the first not held and
  // not in `tried` of the next `ahead` slides of the show, nearest first; -1 when there is none
  // or the held pictures already fill the limit.
  int Upcoming(const std::vector<size_t>& order, size_t pos, size_t ahead,
               const std::set<int>& tried) const;

 private:
  size_t Distance(int blip) const;

  std::vector<std::vector<int>> by_slide_;
  std::map<int, std::vector<size_t>> slides_of_;
  std::set<int> framed_;
  size_t limit_;
  size_t current_ = 0;
  struct Held {
    size_t bytes;
    uint64_t used;
  };
  std::map<int, Held> held_;
  size_t held_bytes_ = 0;
  uint64_t clock_ = 0;
};

}  // namespace viewer
