// The output buffer of the packet encoders: bytes written through a raw
// cursor into the very vector that becomes the packet, so that finishing a
// packet hands its bytes over instead of gathering them once more.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace rvz::packets::detail {

// The vector's capacity grows geometrically (or at once to a size the
// caller expects), while its size - the bytes that exist as elements -
// is extended a step at a time just ahead of the cursor: a vector can only
// grow its size by initialising the new bytes, and doing that a step at a
// time zeroes memory about to be written while it is in the cache and never
// touches capacity that stays unused.
class OutBuffer {
 public:
  uint8_t* grab(size_t n) {
    if (n > limit_ - pos_) [[unlikely]]
      extend(n);
    uint8_t* p = buf_.data() + pos_;
    pos_ += n;
    return p;
  }
  void put8(uint8_t b) { *grab(1) = b; }
  void put(const void* p, size_t n) {
    if (n) std::memcpy(grab(n), p, n);
  }
  void put(std::string_view s) { put(s.data(), s.size()); }
  template <class T>
  void putLe(T v) {
    std::memcpy(grab(sizeof v), &v, sizeof v);
  }
  void putVarint(uint64_t v) {
    uint8_t* p = grab(10);
    size_t n = 0;
    while (v >= 0x80) {
      p[n++] = static_cast<uint8_t>(v | 0x80);
      v >>= 7;
    }
    p[n++] = static_cast<uint8_t>(v);
    pos_ -= 10 - n;
  }
  void putString(std::string_view s) {
    putVarint(s.size());
    put(s);
  }
  // Bytes written so far: the offset the next byte will have in the result.
  size_t size() const { return pos_; }
  // The byte at an offset already written.
  uint8_t* at(size_t offset) { return buf_.data() + offset; }
  // Room for n more bytes without moving what was written.
  void reserve(size_t n) {
    if (n > buf_.capacity() - pos_) buf_.reserve(pos_ + n);
  }
  // The bytes written; the buffer is empty afterwards.
  std::vector<uint8_t> take() {
    buf_.resize(pos_);
    std::vector<uint8_t> out = std::move(buf_);
    buf_ = {};
    pos_ = limit_ = 0;
    return out;
  }

 private:
  static constexpr size_t kStep = 64 * 1024;

  void extend(size_t n) {
    const size_t need = pos_ + n;
    if (need > buf_.capacity()) buf_.reserve(std::max({need, 2 * buf_.capacity(), size_t{1024}}));
    buf_.resize(std::min(buf_.capacity(), std::max(need, buf_.size() + kStep)));
    limit_ = buf_.size();
  }

  std::vector<uint8_t> buf_;
  size_t pos_ = 0;    // the cursor
  size_t limit_ = 0;  // buf_.size(): bytes that may be written
};

}  // namespace rvz::packets::detail
