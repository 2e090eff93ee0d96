// Packed row records: [tag per column][values in column order], where an
// integer or real takes 8 bytes and a text or blob a 4-byte length and its
// bytes.
#include "platform/data/row_store.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace rvz::data {
namespace {
constexpr size_t kBlockSize = 256 * 1024;
}

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
      case StorageClass::Integer:
      case StorageClass::Real: size += 8; break;
      case StorageClass::Text:
      case StorageClass::Blob:
        if (scratch_[c].bytes.size() > UINT32_MAX) throw std::length_error("value too large for a row");
        size += 4 + scratch_[c].bytes.size();
        break;
    }
  }
  uint8_t* rec = reserve(size);
  uint8_t* p = rec + columns_;
  for (size_t c = 0; c < columns_; ++c) {
    Cell& cell = scratch_[c];
    rec[c] = static_cast<uint8_t>(cell.cls);
    switch (cell.cls) {
      case StorageClass::Null: break;
      case StorageClass::Integer:
        std::memcpy(p, &cell.i, 8);
        p += 8;
        break;
      case StorageClass::Real:
        std::memcpy(p, &cell.r, 8);
        p += 8;
        break;
      case StorageClass::Text:
      case StorageClass::Blob: {
        auto len = static_cast<uint32_t>(cell.bytes.size());
        std::memcpy(p, &len, 4);
        p += 4;
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
      case StorageClass::Integer:
        std::memcpy(&cell.i, p, 8);
        p += 8;
        break;
      case StorageClass::Real:
        std::memcpy(&cell.r, p, 8);
        p += 8;
        break;
      case StorageClass::Text:
      case StorageClass::Blob: {
        uint32_t len;
        std::memcpy(&len, p, 4);
        p += 4;
        cell.bytes = std::string_view(reinterpret_cast<const char*>(p), len);
        p += len;
        break;
      }
    }
  }
}

}  // namespace rvz::data
