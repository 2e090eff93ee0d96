// Row stores share a pool of blocks: a store reset or destroyed hands its
// blocks to the next result, which must read back exactly its own rows, and
// the pool is emptied when the last store goes.
#include <gtest/gtest.h>

#include <string>

#include "platform/data/row_store.h"

namespace rvz::data {
namespace {

// Rows of an integer and a text of `width` characters, the text made from
// the row's number and a letter per run so that stale bytes would show.
class FakeCursor final : public DriverCursor {
 public:
  FakeCursor(int rows, size_t width, char letter) : rows_(rows), width_(width), letter_(letter) { cols_.resize(2); }
  const std::vector<ColumnInfo>& columns() const override { return cols_; }
  bool step() override {
    if (++at_ >= rows_) return false;
    text_ = std::to_string(at_) + std::string(width_, letter_);
    return true;
  }
  Cell cell(size_t column) const override {
    Cell c;
    if (column == 0) {
      c.cls = StorageClass::Integer;
      c.i = at_;
    } else {
      c.cls = StorageClass::Text;
      c.bytes = text_;
    }
    return c;
  }

 private:
  std::vector<ColumnInfo> cols_;
  int rows_, at_ = -1;
  size_t width_;
  char letter_;
  std::string text_;
};

void fill(RowStore& s, int rows, size_t width, char letter) {
  FakeCursor c(rows, width, letter);
  while (c.step()) s.append(c);
}

// The first `rows` rows of `s`, which holds `total` rows (default: rows).
void expectRows(const RowStore& s, int rows, size_t width, char letter, int total = -1) {
  ASSERT_EQ(s.rowCount(), static_cast<size_t>(total < 0 ? rows : total));
  Cell out[2];
  for (int r = 0; r < rows; ++r) {
    s.decode(static_cast<size_t>(r), out);
    ASSERT_EQ(out[0].i, r);
    ASSERT_EQ(out[1].bytes, std::to_string(r) + std::string(width, letter)) << "row " << r;
  }
}

TEST(RowStore, ReusedBlocksHoldOnlyTheNewResultAndOutliveTheStores) {
  {
    { ReleasePooledRows owner; }  // blocks other tests left
    {
      RowStore first(2);
      fill(first, 3000, 300, 'a');  // a few blocks' worth
      expectRows(first, 3000, 300, 'a');
      first.reset(2);
      EXPECT_GT(RowStore::pooledBlocks(), 0u);
      fill(first, 500, 40, 'b');  // shorter rows over the old bytes
      expectRows(first, 500, 40, 'b');
    }
    const size_t pooled = RowStore::pooledBlocks();
    EXPECT_GT(pooled, 0u);
    RowStore second(2);
    fill(second, 2000, 500, 'c');  // takes pooled blocks first
    EXPECT_LT(RowStore::pooledBlocks(), pooled);
    expectRows(second, 2000, 500, 'c');
    // A row larger than a block gets its own and leaves the rows around it.
    fill(second, 1, 400 * 1024, 'd');
    EXPECT_EQ(second.rowCount(), 2001u);
    {
      RowStore third(2);
      fill(third, 1000, 300, 'e');
      third.reset(2);
    }
    EXPECT_GT(RowStore::pooledBlocks(), 0u);
    { ReleasePooledRows owner; }  // an owner of stores going empties the pool
    EXPECT_EQ(RowStore::pooledBlocks(), 0u);
    expectRows(second, 2000, 500, 'c', 2001);
    second.reset(2);
    EXPECT_GT(RowStore::pooledBlocks(), 0u);
  }
  // The last store going keeps the pool for the next result; its owner
  // empties it.
  EXPECT_GT(RowStore::pooledBlocks(), 0u);
  { ReleasePooledRows owner; }
  EXPECT_EQ(RowStore::pooledBlocks(), 0u);
}

}  // namespace
}  // namespace rvz::data
