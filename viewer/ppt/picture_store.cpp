#include "ppt/picture_store.h"

#include <algorithm>

#include "ppt/crypto.h"
#include "ppt/loader.h"

namespace ppt {

PictureStore::~PictureStore() {
  Wipe(plain_document_.data(), plain_document_.size());
  Wipe(plain_pictures_.data(), plain_pictures_.size());
}

void PictureStore::HoldDecrypted(std::vector<uint8_t> document, std::vector<uint8_t> pictures) {
  plain_document_ = std::move(document);
  plain_pictures_ = std::move(pictures);
  document_.InMemory(plain_document_.data(), plain_document_.size());
  pictures_.InMemory(plain_pictures_.data(), plain_pictures_.size());
}

size_t PictureStore::reads(int key) const {
  auto it = reads_.find(key);
  return it == reads_.end() ? 0 : it->second;
}

PictureBytes PictureStore::Get(int key, const Blip& blip) {
  auto it = cache_.find(key);
  if (it != cache_.end()) {
    use_.splice(use_.begin(), use_, it->second.use);
    PictureBytes b;
    b.owner = it->second.bytes;
    b.data = b.owner->data();
    b.size = b.owner->size();
    return b;
  }
  reads_[key]++;
  PictureBytes b = Fetch(blip);
  if (b.owner && b.ok()) Keep(key, b);
  return b;
}

PictureBytes PictureStore::Fetch(const Blip& blip) {
  PictureBytes b;
  const StreamReader* s = blip.source == Blip::kDocument        ? &document_
                          : blip.source == Blip::kPictureStream ? &pictures_
                                                                : nullptr;
  if (!s || !s->valid() || blip.length == 0 || blip.offset >= s->size()) return b;
  size_t length = size_t(std::min<uint64_t>(blip.length, s->size() - blip.offset));
  const uint8_t* in_place = s->Contiguous(blip.offset, length);
  std::vector<uint8_t> gathered;
  if (!in_place) {
    // Stored bytes that must be copied out count against the same limit as decompressed ones.
    if (length > options_.max_blip_bytes) return b;
    gathered.resize(length);
    gathered.resize(s->Read(blip.offset, length, gathered.data()));
    in_place = gathered.data();
    length = gathered.size();
  }
  if (blip.deflated) {
    auto out = std::make_shared<std::vector<uint8_t>>();
    bool over_cap = false;
    if (!detail::Inflate(in_place, length, blip.raw_size, options_.max_blip_bytes, out.get(),
                         &over_cap) ||
        over_cap)
      return b;  // damaged, or larger than a picture may be once decompressed
    b.owner = out;
  } else if (!gathered.empty()) {
    b.owner = std::make_shared<std::vector<uint8_t>>(std::move(gathered));
  } else {
    b.data = in_place;
    b.size = length;
    return b;
  }
  b.data = b.owner->data();
  b.size = b.owner->size();
  return b;
}

void PictureStore::Keep(int key, const PictureBytes& b) {
  const size_t limit = options_.max_total_blip_bytes;
  if (b.size > limit) return;  // handed out, not kept: the caller's copy is the only one
  while (cached_bytes_ + b.size > limit && !use_.empty()) {
    auto victim = cache_.find(use_.back());
    cached_bytes_ -= victim->second.bytes->size();
    cache_.erase(victim);
    use_.pop_back();
  }
  use_.push_front(key);
  cache_[key] = Cached{b.owner, use_.begin()};
  cached_bytes_ += b.size;
}

PictureBytes Presentation::Picture(int blip) const {
  if (!store || blip < 0 || size_t(blip) >= blips.size()) return PictureBytes();
  return store->Get(blip, blips[size_t(blip)]);
}

}  // namespace ppt
