// Internal building blocks of the packet encodings: a growable output
// buffer, little-endian and varint fields, the characters XML can carry,
// and the text forms of hex, numbers, decimals and dates.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/packets/packet.h"

namespace rvz::packets::detail {

static_assert(std::endian::native == std::endian::little, "the packet forms are little-endian and copied as such");

// Output bytes written through a raw cursor into a chain of chunks: growing
// never copies or clears what was written, and the chunks are gathered once
// at the end (a vector doubling its way to a large packet copies it about
// once more and touches twice the memory).
class OutBuffer {
 public:
  uint8_t* grab(size_t n) {
    if (n > cap_ - pos_) newChunk(n);
    uint8_t* p = cur_ + pos_;
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
  size_t size() const { return done_ + pos_; }
  // The byte at an offset already written.
  uint8_t* at(size_t offset) {
    for (Chunk& c : chunks_) {
      if (offset < c.used) return c.data.get() + offset;
      offset -= c.used;
    }
    return cur_ + offset;
  }
  // Makes room for n more bytes in one piece.
  void reserve(size_t n) {
    if (n > cap_ - pos_) newChunk(n);
  }
  std::vector<uint8_t> take() {
    std::vector<uint8_t> out;
    out.reserve(size());
    for (const Chunk& c : chunks_) out.insert(out.end(), c.data.get(), c.data.get() + c.used);
    out.insert(out.end(), cur_, cur_ + pos_);
    chunks_.clear();
    current_.reset();
    cur_ = nullptr;
    cap_ = pos_ = done_ = 0;
    return out;
  }

 private:
  struct Chunk {
    std::unique_ptr<uint8_t[]> data;
    size_t used;
  };
  void newChunk(size_t n) {
    if (current_) {
      chunks_.push_back({std::move(current_), pos_});
      done_ += pos_;
    }
    size_t want = cap_ < 1024 ? 1024 : cap_ * 2;
    if (want > (size_t{64} << 20)) want = size_t{64} << 20;
    if (want < n) want = n;
    current_.reset(new uint8_t[want]);  // left uninitialised: every byte is written before it is read
    cur_ = current_.get();
    cap_ = want;
    pos_ = 0;
  }
  std::vector<Chunk> chunks_;
  std::unique_ptr<uint8_t[]> current_;
  uint8_t* cur_ = nullptr;
  size_t cap_ = 0;
  size_t pos_ = 0;
  size_t done_ = 0;
};

// A bounds-checked reader over untrusted bytes; every shortfall throws
// PacketError naming the field being read.
class InCursor {
 public:
  InCursor(const uint8_t* data, size_t size) : base_(data), p_(data), end_(data + size) {}
  size_t left() const { return static_cast<size_t>(end_ - p_); }
  size_t offset() const { return static_cast<size_t>(p_ - base_); }
  bool atEnd() const { return p_ == end_; }
  const uint8_t* need(size_t n, const char* what) {
    if (n > left()) truncated(what);
    const uint8_t* r = p_;
    p_ += n;
    return r;
  }
  uint8_t get8(const char* what) { return *need(1, what); }
  template <class T>
  T getLe(const char* what) {
    T v;
    std::memcpy(&v, need(sizeof v, what), sizeof v);
    return v;
  }
  uint64_t getVarint(const char* what);
  // A varint length that must not exceed the bytes left (times unit).
  size_t getLength(const char* what, size_t unit = 1);
  std::string_view getString(const char* what) {
    size_t n = getLength(what);
    return {reinterpret_cast<const char*>(need(n, what)), n};
  }
  [[noreturn]] void truncated(const char* what) const;

 private:
  const uint8_t* base_;
  const uint8_t* p_;
  const uint8_t* end_;
};

// ---- XML characters ------------------------------------------------------

// Characters XML 1.0 can carry.
inline bool xmlChar(char32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  if (c < 0xD800) return true;
  if (c < 0xE000) return false;
  return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}
bool xmlNameStartChar(char32_t c);
bool xmlNameChar(char32_t c);

// ---- Hex -----------------------------------------------------------------

void appendHex(std::string& out, const uint8_t* p, size_t n);
// Hex text (either case, even length) -> bytes; false on bad text.
bool parseHex(std::string_view s, std::string& out);

// ---- Numbers, decimals, dates -------------------------------------------

bool parseInt64(std::string_view s, int64_t& out);
bool parseUint64(std::string_view s, uint64_t& out);
bool parseDouble(std::string_view s, double& out);
void appendInt(std::string& out, int64_t v);
void appendDouble(std::string& out, double v);  // shortest text that reads back exactly

// DECIMAL text: "-123.45", all scale digits; exact both ways.
void appendDecimal(std::string& out, const Decimal& d);
bool parseDecimal(std::string_view s, Decimal& out);
Decimal decimalFromCurrency(Currency c);

// "YYYYMMDD", "HH:MM:SSfff", "YYYYMMDDTHH:MM:SSfff".
void appendDateText(std::string& out, FieldType t, double d);
bool parseDateText(std::string_view s, FieldType t, double& out);

// Whether a value suits a date-typed column: date whole days, time in [0, 1).
bool dateFits(FieldType t, double d);

// Text of a byte string for messages (printable ASCII kept, others \xHH).
std::string printable(std::string_view s, size_t max = 40);

// ---- Binary layout -------------------------------------------------------

inline constexpr uint8_t kMagic[4] = {'R', 'V', 'Z', 'P'};
inline constexpr uint16_t kVersion = 1;
inline constexpr size_t kHeaderSize = 8;  // magic, version, flags

// Column presence bits of the optional attributes.
inline constexpr uint8_t kHasProvFlags = 1, kHasWidth = 2, kHasDecimals = 4, kHasSubtype = 8, kHasOrigin = 16,
                         kHasServerCalc = 32, kHasMinValue = 64, kHasMaxValue = 128;
// Dataset presence bits.
inline constexpr uint8_t kHasPrimaryKey = 1, kHasTableName = 2, kHasLcid = 4, kIsDelta = 8;

// How a column's values are stored, one per field type (bin.hex WideText
// memos store UTF-16 like string.uni).
enum class Store : uint8_t { I8, U8, Bool, I16, U16, I32, U32, I64, F64, Date, Dec, Narrow, Wide };
inline Store storeOf(const Column& c) {
  switch (c.type) {
    case FieldType::String: return Store::Narrow;
    case FieldType::WideString: return Store::Wide;
    case FieldType::I1: return Store::I8;
    case FieldType::I2: return Store::I16;
    case FieldType::I4: return Store::I32;
    case FieldType::I8: return Store::I64;
    case FieldType::UI1: return Store::U8;
    case FieldType::UI2: return Store::U16;
    case FieldType::UI4: return Store::U32;
    case FieldType::Boolean: return Store::Bool;
    case FieldType::R8: return Store::F64;
    case FieldType::Fixed: return Store::Dec;
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime: return Store::Date;
    case FieldType::BinHex: return c.hasSubtype(kSubtypeWideText) ? Store::Wide : Store::Narrow;
  }
  return Store::Narrow;
}
// Narrow columns whose bytes are code page 936 text (not raw bytes).
inline bool narrowIsText(const Column& c) {
  return c.type == FieldType::String || (c.type == FieldType::BinHex && c.hasSubtype(kSubtypeText));
}

inline constexpr size_t kDecimalSize = 14;  // scale, sign, hi32, lo64

// Appends the binary header, columns and attributes; returns the offset of
// the row count, which the caller patches.
size_t writeBinaryLayout(OutBuffer& out, const std::vector<Column>& columns, const PacketAttributes& attrs);
// Reads what writeBinaryLayout wrote (validated); leaves the cursor at the
// row count.
void readBinaryLayout(InCursor& in, std::vector<Column>& columns, PacketAttributes& attrs);

}  // namespace rvz::packets::detail
