// Reading deltas: provider flags and the pairing of as-read and modified
// records.
#include "services/delta.h"

#include "platform/packets/server_fields.h"
#include "platform/text/text.h"

namespace rvz::services {

using packets::RowStatus;
using packets::ValueState;

Delta::Delta(packets::Packet packet, const std::vector<std::string>& keyFieldNames) : packet_(std::move(packet)) {
  bool anyKey = false;
  for (const auto& c : packet_.columns()) {
    DeltaColumn d;
    d.name = c.name;
    d.statementName = c.name;
    if (c.origin) {
      auto dot = c.origin->rfind('.');
      if (dot != std::string::npos && dot + 1 < c.origin->size()) d.statementName = c.origin->substr(dot + 1);
    }
    d.type = c.type;
    d.flags = c.provFlags ? *c.provFlags : packets::kPfDefault;
    d.readOnly = (c.attrs & packets::kAttrReadOnly) != 0;
    d.serverCalc = c.serverCalc.value_or(false);
    d.isLong = c.type == packets::FieldType::BinHex;
    anyKey = anyKey || (d.flags & packets::kPfInKey);
    columns_.push_back(std::move(d));
  }
  if (!anyKey)
    for (auto& d : columns_)
      for (const auto& k : keyFieldNames)
        if (text::equalsNoCase(text::utf8ToWide(d.name), text::utf8ToWide(k))) d.flags |= packets::kPfInKey;
}

std::vector<ChangeRecord> Delta::changes() const {
  std::vector<ChangeRecord> out;
  const size_t n = packet_.rowCount();
  for (size_t i = 0; i < n; ++i) {
    ChangeRecord r;
    r.recordNo = static_cast<int32_t>(i + 1);
    switch (packet_.status(i)) {
      case RowStatus::Inserted:
        r.status = RowStatus::Inserted;
        r.newRow = static_cast<int>(i);
        break;
      case RowStatus::Deleted:
        r.status = RowStatus::Deleted;
        r.oldRow = static_cast<int>(i);
        break;
      case RowStatus::Original:
        r.status = RowStatus::Modified;
        r.oldRow = static_cast<int>(i);
        if (i + 1 < n && packet_.status(i + 1) == RowStatus::Modified) r.newRow = static_cast<int>(++i);
        break;
      case RowStatus::Modified:
        // A modified record without the as-read one before it: its values
        // stand for both.
        r.status = RowStatus::Modified;
        r.oldRow = r.newRow = static_cast<int>(i);
        break;
    }
    out.push_back(r);
  }
  return out;
}

Variant Delta::valueAt(int row, size_t col) const {
  if (row < 0) return Variant::null();
  ValueState s = packet_.state(static_cast<size_t>(row), col);
  if (s != ValueState::Value) return Variant::null();
  return packet_.value(static_cast<size_t>(row), col);
}

bool Delta::hasNewValue(const ChangeRecord& r, size_t col) const {
  if (r.newRow < 0) return false;
  ValueState s = packet_.state(static_cast<size_t>(r.newRow), col);
  if (s == ValueState::Unchanged) return false;
  // A memo or blob the client never fetched has no new value either: taking
  // the mark for null would blank the column. An inserted row has nothing to
  // keep, so there it stays null.
  return !(s == ValueState::NotFetched && r.status == packets::RowStatus::Modified);
}

std::optional<Variant> Delta::newValue(const ChangeRecord& r, size_t col) const {
  if (!hasNewValue(r, col)) return std::nullopt;
  // A modified record standing alone marks nothing: all its values count as new.
  if (packet_.state(static_cast<size_t>(r.newRow), col) == ValueState::Value)
    return packet_.value(static_cast<size_t>(r.newRow), col);
  return Variant::null();
}

Variant Delta::oldValue(const ChangeRecord& r, size_t col) const { return valueAt(r.oldRow, col); }

}  // namespace rvz::services
