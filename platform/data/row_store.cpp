// Packed row records: [tag per column][values in column order], where an
// integer is a zigzag varint (1 byte for -64..63, 2 up to 8191 ...), a real
// 8 bytes, and a text or blob a varint length and its bytes.
#include "platform/data/row_store.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace rvz::data {
namespace {
constexpr size_t kBlockSize = 256 * 1024;
// Blocks kept for reuse at most (32 MiB): enough for the results a server
// reads one after another, little beside its working set.
constexpr size_t kPoolLimit = 128;

std::mutex poolLock;
std::vector<std::unique_ptr<uint8_t[]>>& pool() {
  static auto* blocks = new std::vector<std::unique_ptr<uint8_t[]>>();  // lives past static destruction
  return *blocks;
}

std::unique_ptr<uint8_t[]> takeBlock() {
  {
    std::lock_guard g(poolLock);
    auto& p = pool();
    if (!p.empty()) {
      auto b = std::move(p.back());
      p.pop_back();
      return b;
    }
  }
  return std::make_unique_for_overwrite<uint8_t[]>(kBlockSize);
}

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

RowStore::RowStore(size_t columns) : columns_(columns) {}

RowStore::~RowStore() { releaseBlocks(); }

void RowStore::releasePool() {
  std::vector<std::unique_ptr<uint8_t[]>> unused;
  {
    std::lock_guard g(poolLock);
    unused.swap(pool());
  }
  // Freed outside the lock: the blocks go back to the system here.
}

size_t RowStore::pooledBlocks() {
  std::lock_guard g(poolLock);
  return pool().size();
}

void RowStore::releaseBlocks() {
  oversized_.clear();
  if (blocks_.empty()) return;
  std::lock_guard g(poolLock);
  auto& p = pool();
  for (auto& b : blocks_)
    if (p.size() < kPoolLimit) p.push_back(std::move(b));
  blocks_.clear();
}

void RowStore::reset(size_t columns) {
  columns_ = columns;
  releaseBlocks();
  rows_.clear();
  blockUsed_ = blockSize_ = 0;
  bytesUsed_ = 0;
}

uint8_t* RowStore::reserve(size_t bytes) {
  if (bytes > kBlockSize) {
    // A row larger than a block gets one of its own; the current block
    // stays open for the rows after it.
    oversized_.push_back(std::make_unique_for_overwrite<uint8_t[]>(bytes));
    bytesUsed_ += bytes;
    return oversized_.back().get();
  }
  if (blocks_.empty() || blockUsed_ + bytes > blockSize_) {
    blocks_.push_back(takeBlock());
    blockSize_ = kBlockSize;
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
