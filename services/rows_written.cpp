// Process-wide totals of rows written by applies, kept in atomics so that
// object threads add to them without a lock and the metrics read them.
#include "services/rows_written.h"

#include <atomic>

namespace rvz::services {
namespace {

std::atomic<uint64_t> gInserted{0};
std::atomic<uint64_t> gUpdated{0};
std::atomic<uint64_t> gDeleted{0};

}  // namespace

void RowsWritten::count(packets::RowStatus status) {
  switch (status) {
    case packets::RowStatus::Inserted: ++inserted; break;
    case packets::RowStatus::Deleted: ++deleted; break;
    default: ++updated; break;
  }
}

void addRowsWritten(const RowsWritten& rows) {
  gInserted.fetch_add(rows.inserted, std::memory_order_relaxed);
  gUpdated.fetch_add(rows.updated, std::memory_order_relaxed);
  gDeleted.fetch_add(rows.deleted, std::memory_order_relaxed);
}

RowsWritten rowsWrittenSoFar() {
  return {gInserted.load(std::memory_order_relaxed), gUpdated.load(std::memory_order_relaxed),
          gDeleted.load(std::memory_order_relaxed)};
}

}  // namespace rvz::services
