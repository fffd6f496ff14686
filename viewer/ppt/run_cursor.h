#pragma once
// Walks runs of formats alongside the characters they cover, as older formats store them: each
// run says how many characters it covers (`count`) and carries its format.
#include <cstddef>
#include <utility>
#include <vector>

namespace ppt::detail {

template <typename Run>
class RunCursor {
 public:
  explicit RunCursor(std::vector<Run> runs) : runs_(std::move(runs)) {}
  // The run in force at character `at` (asked in rising order); null past the last run.
  const Run* At(size_t at) {
    while (i_ < runs_.size() && at >= end_ + runs_[i_].count) {
      end_ += runs_[i_].count;
      i_++;
    }
    return i_ < runs_.size() ? &runs_[i_] : nullptr;
  }

 private:
  std::vector<Run> runs_;
  size_t i_ = 0, end_ = 0;
};

}  // namespace ppt::detail
