// The rows that applies of deltas have written to company databases since
// the process started, by kind, for the server's metrics. An apply adds its
// rows once they are kept: when its transaction commits, or, inside a
// transaction the caller began, when its statements have run.
#pragma once

#include <cstdint>

#include "platform/packets/packet.h"

namespace rvz::services {

struct RowsWritten {
  uint64_t inserted = 0;
  uint64_t updated = 0;
  uint64_t deleted = 0;

  // One row written for a change record of this status.
  void count(packets::RowStatus status);
};

// Adds an apply's rows to the process's totals; safe from any thread.
void addRowsWritten(const RowsWritten& rows);
// The totals so far.
RowsWritten rowsWrittenSoFar();

}  // namespace rvz::services
