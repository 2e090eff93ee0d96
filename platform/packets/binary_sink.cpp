// Wide text and the finish of the binary form.
#include "platform/packets/binary_sink.h"

#include "platform/text/utf8_into.h"

namespace rvz::packets::detail {

void BinarySink::wide(size_t, WStringView w) {
  size_t n = w.size(), lenBytes = 1;
  for (size_t m = n; m >= 0x80; m >>= 7) ++lenBytes;
  // UTF-16 units start at an even offset so that decoded packets can hand
  // out views of them in place.
  size_t pad = (out_.size() + 1 + lenBytes) & 1;
  uint8_t* p = out_.grab(1 + lenBytes + pad + 2 * n);
  *p++ = 0;
  for (size_t m = n; m >= 0x80; m >>= 7) *p++ = static_cast<uint8_t>(m | 0x80);
  *p++ = static_cast<uint8_t>(n >> (7 * (lenBytes - 1)));
  if (pad) *p++ = 0;
  if (n) std::memcpy(p, w.data(), 2 * n);
}

void BinarySink::wideUtf8(size_t column, std::string_view utf8) {
  text::utf8ToWideInto(utf8, wide_);  // the buffer is reused from value to value
  wide(column, wide_);
}

std::vector<uint8_t> BinarySink::finish(size_t rows) {
  uint32_t n = static_cast<uint32_t>(rows);
  std::memcpy(out_.at(rowCountAt_), &n, sizeof n);
  return out_.take();
}

}  // namespace rvz::packets::detail
