#pragma once
// The document stream as an index: its bytes, where each persist object sits (from the edit
// chain, or from a scan of the stream when the chain is broken), and the work budget that every
// reader charges. Readers look records up through it and never keep offsets of their own.
#include <cstddef>
#include <cstdint>
#include <map>

#include "ppt/presentation.h"
#include "ppt/records.h"

namespace ppt {
namespace detail {

// What loading may cost. A small file can name one large part over and over (saves reapplying
// one huge persist directory, a slide named by every entry of the slide list, one long text shown
// by thousands of boxes, masters full of deleted shapes drawn again for every slide); each use
// is charged here, and once the budget is spent reading stops and what was read is shown.
class WorkBudget {
 public:
  explicit WorkBudget(uint64_t limit) : left_(limit) {}
  bool Spend(uint64_t units) {
    if (units > left_) {
      spent_ = true;
      left_ = 0;
      return false;
    }
    left_ -= units;
    used_ += units;
    return true;
  }
  bool spent() const { return spent_; }
  uint64_t used() const { return used_; }

 private:
  uint64_t left_;
  uint64_t used_ = 0;
  bool spent_ = false;
};

// Work units, roughly what each costs next to applying one persist directory entry.
namespace cost {
constexpr uint64_t kEdit = 1;
constexpr uint64_t kPersistEntry = 1;
constexpr uint64_t kSlide = 64;
constexpr uint64_t kSlideBytes = 16;  // a slide's records are walked a few times: per 16 bytes
constexpr uint64_t kListRecord = 1;   // a record of the slide list
constexpr uint64_t kShape = 64;       // every shape record read, deleted or hidden ones too
constexpr uint64_t kTextChar = 4;     // a character built into a text body or copied
}  // namespace cost

class DocumentIndex {
 public:
  DocumentIndex(const uint8_t* doc, size_t size, uint64_t budget)
      : doc_(doc), size_(size), budget_(budget) {}
  DocumentIndex(const DocumentIndex&) = delete;
  DocumentIndex& operator=(const DocumentIndex&) = delete;

  // Indexes the stream from the edit at `current_edit` (scanning it when there is no usable
  // chain) and finds the document container.
  LoadError Open(uint32_t current_edit, bool have_current_user, bool decrypted, Record* document);

  bool At(uint32_t offset, Record* r) const { return RecordAt(doc_, size_, offset, r); }
  bool Object(uint32_t persist, Record* r) const {
    auto it = persist_.find(persist);
    return it != persist_.end() && At(it->second, r);
  }
  const uint8_t* data() const { return doc_; }
  size_t size() const { return size_; }
  // Where bytes inside the stream sit in it.
  uint64_t OffsetOf(const uint8_t* p) const { return uint64_t(p - doc_); }
  WorkBudget& budget() { return budget_; }
  const WorkBudget& budget() const { return budget_; }
  // The persist directory came from a scan, not from the edit chain.
  bool repaired() const { return repaired_; }

 private:
  bool ReadEditChain(uint32_t first, uint32_t* doc_ref, bool* encrypted);
  // Applies a persist directory unless the budget is spent; false then.
  bool ApplyDirectory(const Record& dir, bool override);
  void RepairByScan(uint32_t* doc_ref, uint32_t* doc_offset);

  const uint8_t* doc_;
  size_t size_;
  std::map<uint32_t, uint32_t> persist_;
  uint32_t persist_crypt_ = 0;
  bool has_crypt_ = false;
  bool repaired_ = false;
  WorkBudget budget_;
};

}  // namespace detail
}  // namespace ppt
