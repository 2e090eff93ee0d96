// Compact storage of the rows a query has stepped: each row is one packed
// record (a tag byte per column, then the values, integers and lengths as
// varints) in large shared blocks,
// so a result costs little more than its data and rewinding costs nothing.
// Blocks of the standard size go back to a process-wide pool when a store
// is reset or destroyed and serve the next result: a fetch then writes into
// memory already mapped instead of faulting in fresh pages row after row.
// The pool outlives the stores (at most 32 MiB; a query opened, read and
// closed again and again would otherwise give its blocks back to the system
// and fault them in anew on every run), and an owner of many stores (a
// client's service object) empties it when it goes (ReleasePooledRows), so
// that a server shrinks back once a burst of clients has left.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/data/driver.h"

namespace rvz::data {

class RowStore {
 public:
  explicit RowStore(size_t columns = 0);
  ~RowStore();
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  void reset(size_t columns);
  size_t rowCount() const { return rows_.size(); }
  size_t columnCount() const { return columns_; }

  // Appends the cursor's current row; when `decoded` is given, also its
  // cells as decode() would give them (saves decoding the newest row).
  void append(const DriverCursor& cursor, Cell* decoded = nullptr);

  // Decodes row `row` into `out` (columnCount() cells); the text and bytes
  // views stay valid while the store lives and is not reset.
  void decode(size_t row, Cell* out) const;

  size_t bytesUsed() const { return bytesUsed_; }

  // Blocks waiting in the process-wide pool (for tests).
  static size_t pooledBlocks();
  // Gives the pooled blocks back to the system.
  static void releasePool();

 private:
  uint8_t* reserve(size_t bytes);
  void releaseBlocks();

  size_t columns_;
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
  std::vector<std::unique_ptr<uint8_t[]>> oversized_;  // rows larger than a block, one each
  size_t blockUsed_ = 0;
  size_t blockSize_ = 0;
  std::vector<const uint8_t*> rows_;
  std::vector<Cell> scratch_;
  size_t bytesUsed_ = 0;
};

// Empties the pool when it is destroyed: a member declared before the
// stores of its owner goes after them.
struct ReleasePooledRows {
  ReleasePooledRows() = default;
  ReleasePooledRows(const ReleasePooledRows&) = delete;
  ReleasePooledRows& operator=(const ReleasePooledRows&) = delete;
  ~ReleasePooledRows() { RowStore::releasePool(); }
};

}  // namespace rvz::data
