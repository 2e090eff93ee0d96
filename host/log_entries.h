// Activity log entries (UTF-8) kept back to back in one buffer: a batch of
// them costs a few growths of two buffers rather than an allocation per
// entry, and passes from the sending threads to the main thread by a swap.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rvz::host {

class LogEntries {
 public:
  void add(std::string_view entry) {
    bytes_.append(entry);
    ends_.push_back(bytes_.size());
  }
  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  // The i-th entry, oldest first; valid until the next add, clear or swap.
  std::string_view operator[](size_t i) const {
    const size_t begin = i ? ends_[i - 1] : 0;
    return std::string_view(bytes_).substr(begin, ends_[i] - begin);
  }
  // Bytes allocated for the texts and their ends.
  size_t roomBytes() const { return bytes_.capacity() + ends_.capacity() * sizeof(size_t); }
  void clear() {
    bytes_.clear();
    ends_.clear();
  }
  void swap(LogEntries& o) noexcept {
    bytes_.swap(o.bytes_);
    ends_.swap(o.ends_);
  }

 private:
  std::string bytes_;
  std::vector<size_t> ends_;  // where each entry ends in bytes_
};

}  // namespace rvz::host
