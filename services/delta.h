// A delta (or row packet) as the resolver and row requests read it: its
// columns with their provider flags, and its change records with old and
// new values.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/packets/packet_reader.h"

namespace rvz::services {

struct DeltaColumn {
  std::string name;           // as the packet names it
  std::string statementName;  // the origin's last part when an origin table.column is given
  packets::FieldType type;
  uint8_t flags;  // PROVFLAGS, or in update + in where
  bool readOnly;
  bool serverCalc;
  bool isLong;  // memo or blob (bin.hex)
};

// One change: an insert, a delete, or an as-read record with the modified
// record that follows it (an as-read record alone counts as an update with
// nothing changed).
struct ChangeRecord {
  packets::RowStatus status;  // Inserted, Deleted or Modified
  int oldRow = -1;            // packet row holding the values as read
  int newRow = -1;            // packet row holding the new values
  int32_t recordNo = 0;       // position of the first row in the delta, from 1
};

class Delta {
 public:
  // Reads the packet's columns; when no column is flagged in key, the
  // columns named like one of keyFieldNames (letter case ignored) are.
  Delta(packets::Packet packet, const std::vector<std::string>& keyFieldNames);

  const packets::Packet& packet() const { return packet_; }
  const std::vector<DeltaColumn>& columns() const { return columns_; }
  std::vector<ChangeRecord> changes() const;

  // The new value of a column, or nullopt for the unchanged mark; a
  // not-fetched value reads as null.
  std::optional<Variant> newValue(const ChangeRecord& r, size_t col) const;
  // Whether newValue would give a value, without decoding it.
  bool hasNewValue(const ChangeRecord& r, size_t col) const;
  // The value as read (null for an inserted record).
  Variant oldValue(const ChangeRecord& r, size_t col) const;
  // The value a row carries for a column, unchanged and not-fetched
  // marks as null.
  Variant valueAt(int row, size_t col) const;

 private:
  packets::Packet packet_;
  std::vector<DeltaColumn> columns_;
};

}  // namespace rvz::services
