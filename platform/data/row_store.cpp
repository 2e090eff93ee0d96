// Packed row records: [tag per column][values in column order], where an
// integer is a zigzag varint (1 byte for -64..63, 2 up to 8191 ...), a real
// 8 bytes, and a text or blob a varint length and its bytes.
#include "platform/data/row_store.h"

#include <algorithm>
#include <cstring>

namespace rvz::data {
namespace {
constexpr size_t kBlockSize = 256 * 1024;

size_t varintSize(uint64_t v) {
  size_t n = 1;
  while (v >= 0x80) {
    v >>= 7;
    ++n;
  }
  return n;
}

uint8_t* putVarint(uint8_t* p, uint64_t v) {
  while (v >= 0x80) {
    *p++ = static_cast<uint8_t>(v | 0x80);
    v >>= 7;
  }
  *p++ = static_cast<uint8_t>(v);
  return p;
}

const uint8_t* getVarint(const uint8_t* p, uint64_t& v) {
  uint64_t out = 0;
  int shift = 0;
  while (*p & 0x80) {
    out |= static_cast<uint64_t>(*p++ & 0x7F) << shift;
    shift += 7;
  }
  v = out | (static_cast<uint64_t>(*p++) << shift);
  return p;
}

uint64_t zigzag(int64_t v) { return (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63); }
int64_t unzigzag(uint64_t v) { return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1); }

}  // namespace

void RowStore::reset(size_t columns) {
  columns_ = columns;
  blocks_.clear();
  rows_.clear();
  blockUsed_ = blockSize_ = 0;
  bytesUsed_ = 0;
}

uint8_t* RowStore::reserve(size_t bytes) {
  if (blocks_.empty() || blockUsed_ + bytes > blockSize_) {
    size_t size = bytes > kBlockSize ? bytes : kBlockSize;
    blocks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(size));
    blockSize_ = size;
    blockUsed_ = 0;
  }
  uint8_t* p = blocks_.back().get() + blockUsed_;
  blockUsed_ += bytes;
  bytesUsed_ += bytes;
  return p;
}

void RowStore::append(const DriverCursor& cursor, Cell* decoded) {
  if (scratch_.size() != columns_) scratch_.resize(columns_);
  cursor.row(scratch_.data());
  size_t size = columns_;
  for (size_t c = 0; c < columns_; ++c) {
    switch (scratch_[c].cls) {
      case StorageClass::Null: break;
      case StorageClass::Integer: size += varintSize(zigzag(scratch_[c].i)); break;
      case StorageClass::Real: size += 8; break;
      case StorageClass::Text:
      case StorageClass::Blob: size += varintSize(scratch_[c].bytes.size()) + scratch_[c].bytes.size(); break;
    }
  }
  uint8_t* rec = reserve(size);
  uint8_t* p = rec + columns_;
  for (size_t c = 0; c < columns_; ++c) {
    Cell& cell = scratch_[c];
    rec[c] = static_cast<uint8_t>(cell.cls);
    switch (cell.cls) {
      case StorageClass::Null: break;
      case StorageClass::Integer: p = putVarint(p, zigzag(cell.i)); break;
      case StorageClass::Real:
        std::memcpy(p, &cell.r, 8);
        p += 8;
        break;
      case StorageClass::Text:
      case StorageClass::Blob: {
        const size_t len = cell.bytes.size();
        p = putVarint(p, len);
        if (len) std::memcpy(p, cell.bytes.data(), len);
        cell.bytes = std::string_view(reinterpret_cast<const char*>(p), len);  // now the stored copy
        p += len;
        break;
      }
    }
  }
  rows_.push_back(rec);
  if (decoded) std::copy(scratch_.begin(), scratch_.end(), decoded);
}

void RowStore::decode(size_t row, Cell* out) const {
  const uint8_t* rec = rows_[row];
  const uint8_t* p = rec + columns_;
  for (size_t c = 0; c < columns_; ++c) {
    Cell& cell = out[c];
    cell.cls = static_cast<StorageClass>(rec[c]);
    switch (cell.cls) {
      case StorageClass::Null: break;
      case StorageClass::Integer: {
        uint64_t v;
        p = getVarint(p, v);
        cell.i = unzigzag(v);
        break;
      }
      case StorageClass::Real:
        std::memcpy(&cell.r, p, 8);
        p += 8;
        break;
      case StorageClass::Text:
      case StorageClass::Blob: {
        uint64_t len;
        p = getVarint(p, len);
        cell.bytes = std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(len));
        p += len;
        break;
      }
    }
  }
}

}  // namespace rvz::data
