#pragma once
// Pictures read when a slide first needs them, not when the file is opened: the container stays
// where the caller keeps it (a file mapping in the viewer), a picture lying in one piece there is
// handed out in place, and what has to be decompressed or gathered from scattered sectors is kept
// in a cache bounded in bytes, least recently used first out. One thread at a time.
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <vector>

#include "ppt/cfb.h"
#include "ppt/presentation.h"

namespace ppt {

class PictureStore {
 public:
  explicit PictureStore(const LoadOptions& options) : options_(options) {
    options_.password.clear();
  }
  ~PictureStore();
  PictureStore(const PictureStore&) = delete;
  PictureStore& operator=(const PictureStore&) = delete;

  bool Open(const uint8_t* data, size_t size) { return file_.Open(data, size); }
  bool EnterStorage(const std::string& name) { return file_.EnterStorage(name); }
  const CompoundFile& file() const { return file_; }
  StreamReader& document() { return document_; }
  StreamReader& pictures() { return pictures_; }

  PictureBytes Get(int key, const Blip& blip);
  // An encrypted presentation's streams, decrypted in memory: read from here from now on and
  // wiped when the store goes.
  void HoldDecrypted(std::vector<uint8_t> document, std::vector<uint8_t> pictures);

  // For tests and measurements.
  size_t cached_bytes() const { return cached_bytes_; }
  size_t reads(int key) const;  // times the picture was read from the file

 private:
  PictureBytes Fetch(const Blip& blip);
  void Keep(int key, const PictureBytes& b);

  LoadOptions options_;
  CompoundFile file_;
  StreamReader document_, pictures_;
  struct Cached {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    std::list<int>::iterator use;
  };
  std::map<int, Cached> cache_;
  std::list<int> use_;  // most recent first
  size_t cached_bytes_ = 0;
  std::map<int, size_t> reads_;
  std::vector<uint8_t> plain_document_, plain_pictures_;
};

}  // namespace ppt
