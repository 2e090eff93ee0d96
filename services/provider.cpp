// Provider operations: the command text and parameter rules, fetching in
// slices, row completion and execution.
#include "services/provider.h"

#include "platform/data/data_error.h"
#include "platform/packets/packet_reader.h"
#include "platform/packets/packet_writer.h"
#include "platform/packets/server_fields.h"
#include "platform/text/text.h"
#include "services/delta.h"
#include "services/packet_builder.h"
#include "services/resolver.h"

namespace rvz::services {

using catalogue::UpdateMode;

namespace {

data::FieldKind kindOfParamType(int32_t t) {
  auto k = data::kindFromNumber(t);
  return k ? *k : data::FieldKind::Unknown;
}

}  // namespace

std::vector<data::Parameter> toQueryParameters(const packets::ParamList& list) {
  std::vector<data::Parameter> out;
  out.reserve(list.size());
  for (const auto& p : list) {
    data::Parameter q;
    q.name = text::wideToUtf8(p.name);
    q.dataType = kindOfParamType(p.dataType);
    q.direction = static_cast<data::ParamDirection>(p.direction >= 0 && p.direction <= 4 ? p.direction : 0);
    q.size = p.size;
    q.precision = p.precision;
    q.scale = p.scale;
    q.value = p.value;
    out.push_back(std::move(q));
  }
  return out;
}

packets::ParamList toParamList(const std::vector<data::Parameter>& params) {
  packets::ParamList out;
  out.reserve(params.size());
  for (const auto& q : params) {
    packets::Param p;
    p.name = text::utf8ToWide(q.name);
    p.value = q.value;
    p.dataType = static_cast<int32_t>(q.dataType);
    p.direction = static_cast<int32_t>(q.direction);
    p.size = q.size;
    p.precision = q.precision;
    p.scale = q.scale;
    out.push_back(std::move(p));
  }
  return out;
}

Provider::Provider(std::string name, CatalogueDataset& dataset, UpdateMode mode, uint32_t options)
    : name_(std::move(name)), dataset_(&dataset), mode_(mode), options_(options) {}

Provider::~Provider() = default;

Resolver& Provider::resolver() {
  if (!resolver_) resolver_ = std::make_unique<Resolver>(*this);
  return *resolver_;
}

void Provider::reset() {
  if (openedByProvider_) {
    dataset_->close();
    openedByProvider_ = false;
  }
  if (dataset_->isOpen()) dataset_->query().first();
}

void Provider::applyCommandText(const WString& commandText) {
  if (commandText.empty() || !(options_ & poAllowCommandText)) return;
  // The text goes through the ANSI code page, as the dataset stores it.
  std::string text = text::wideToUtf8(text::throughAnsi(commandText));
  if (text == dataset_->query().commandText()) return;
  if (dataset_->isOpen()) throw data::DataError::dataset(dataset_->name(), data::kOpenDatasetText);
  dataset_->query().setCommandText(std::move(text));
}

void Provider::applyParams(const Variant& params) {
  if (params.isEmpty()) return;
  packets::ParamList list = packets::readParamList(params);
  if (paramList_ && packets::sameParamList(*paramList_, list)) return;
  paramList_ = std::move(list);
  if (paramList_->empty()) return;
  dataset_->query().setParameters(toQueryParameters(*paramList_));
  dataset_->close();
  openedByProvider_ = false;
}

void Provider::openDataset() {
  if (dataset_->isOpen()) return;
  dataset_->open();
  openedByProvider_ = true;
}

Variant Provider::outputParams() const {
  packets::ParamList out;
  for (const auto& p : toParamList(dataset_->query().parameters()))
    if (p.direction == packets::kDirOutput || p.direction == packets::kDirInputOutput) out.push_back(p);
  return packets::packParamList(out);
}

Variant Provider::buildPacket(int32_t count, int32_t options, int32_t& written) {
  const bool metadata = (options & kOptMetadata) || count == 0;
  const auto& fields = dataset_->fields();
  if (metadata || !columnFields_ || (!dataset_->declaresFields() && columnFields_->size() != fields.size())) {
    // A dataset without declared fields may have changed shape with a new
    // command text: its column list is rebuilt rather than bound to fields
    // it no longer has.
    columns_ = columnsOf(fields);
    columnFields_ = fields;
  } else if (!dataset_->declaresFields()) {
    // Rows only: each column is bound again to the field at its position.
    columnFields_ = fields;
  }
  const auto& boundFields = *columnFields_;

  packets::PacketAttributes attrs;
  std::vector<packets::Column> cols;
  if (metadata) {
    cols = columns_;
    attrs.primaryKey = primaryKeyOf(boundFields);
  } else {
    cols.reserve(columns_.size());
    for (const auto& c : columns_) cols.push_back(bareColumn(c));
  }
  packets::PacketWriter w(std::move(cols), std::move(attrs), packets::encodingFromOptions(options));

  const int64_t limit = count == -1 ? INT64_MAX : (count > 0 ? count : 0);
  data::Query& q = dataset_->query();
  int64_t n = 0;
  while (n < limit && !q.eof()) {
    w.beginRow(packets::RowStatus::Original);
    for (const auto& f : boundFields) {
      if (isLongField(f)) {
        w.putNotFetched();
        continue;
      }
      putServedCell(w, f, q);
    }
    w.endRow();
    ++n;
    if (n < limit) q.next();
  }
  written = static_cast<int32_t>(n);
  return packets::packetToVariant(w.finish());
}

Variant Provider::getRecords(int32_t count, int32_t& recsOut, int32_t options, const WString& commandText,
                             Variant& params) {
  options &= 0xFF;
  applyCommandText(commandText);
  applyParams(params);
  Variant result;
  bool early = false;
  if (options & kOptReset) {
    reset();
    early = count == 0;
  }
  if (!early) {
    try {
      openDataset();
      int32_t written = 0;
      result = buildPacket(count, options, written);
      recsOut = written;
      if (written != count) reset();
      if (dataset_->isOpen() && count != 0 && written == count) dataset_->query().next();
    } catch (...) {
      reset();
      throw;
    }
  }
  params = outputParams();
  return result;
}

namespace {

// Which dataset field each column of a row packet is, -1 for none; names
// compare without letter case. Every name is converted to UTF-16 once.
std::vector<int> fieldOfColumns(const std::vector<DeltaColumn>& cols,
                                const std::vector<catalogue::BoundField>& fields) {
  std::vector<text::WString> fieldNames;
  fieldNames.reserve(fields.size());
  for (const auto& f : fields) fieldNames.push_back(text::utf8ToWide(f.name));
  std::vector<int> fieldOf(cols.size(), -1);
  for (size_t c = 0; c < cols.size(); ++c) {
    const text::WString name = text::utf8ToWide(cols[c].name);
    for (size_t f = 0; f < fieldNames.size(); ++f)
      if (text::equalsNoCase(name, fieldNames[f])) {
        fieldOf[c] = static_cast<int>(f);
        break;
      }
  }
  return fieldOf;
}

// A row packet's value copied as it came.
void copyCell(packets::PacketWriter& w, const packets::Packet& in, size_t r, size_t c) {
  switch (in.state(r, c)) {
    case packets::ValueState::Null: w.putNull(); break;
    case packets::ValueState::NotFetched: w.putNotFetched(); break;
    case packets::ValueState::Unchanged: w.putUnchanged(); break;
    case packets::ValueState::Value: {
      // Narrow bytes are copied as they came: they need not be valid text.
      const packets::Column& col = in.columns()[c];
      if (col.type == packets::FieldType::String ||
          (col.type == packets::FieldType::BinHex && !col.hasSubtype(packets::kSubtypeWideText)))
        w.putNarrow(in.narrow(r, c));
      else
        w.put(in.value(r, c));
      break;
    }
  }
}

}  // namespace

bool Provider::locateColumnChosen(const Delta& delta, const ChangeRecord& rec, size_t c, bool wantRecord) const {
  const DeltaColumn& dc = delta.columns()[c];
  if (wantRecord) return dc.flags & packets::kPfInKey;
  if (dc.isLong) return false;
  switch (mode_) {
    case UpdateMode::WhereAll: return dc.flags & packets::kPfInWhere;
    case UpdateMode::WhereChanged: return delta.newValue(rec, c).has_value() || (dc.flags & packets::kPfInKey);
    case UpdateMode::KeyOnly: return dc.flags & packets::kPfInKey;
  }
  return false;
}

void Provider::fillRequestedValues(const Delta& delta, const std::vector<int>& fieldOf, int32_t requestType,
                                   RowValues& filled) {
  const auto changes = delta.changes();
  if (changes.empty()) return;
  const auto& cols = delta.columns();
  const auto& fields = dataset_->fields();
  const ChangeRecord& rec = changes.front();
  const int target = rec.oldRow >= 0 ? rec.oldRow : rec.newRow;
  auto isNullIn = [&](size_t c) {
    auto s = delta.packet().state(static_cast<size_t>(target), c);
    return s == packets::ValueState::Null || s == packets::ValueState::NotFetched;
  };
  const bool wantRecord = requestType & kRequestRecord;
  bool wantBlobs = false;
  if (!wantRecord && (requestType & kRequestBlobs))
    for (size_t c = 0; c < cols.size(); ++c)
      if (cols[c].isLong && isNullIn(c)) wantBlobs = true;
  if (!wantRecord && !wantBlobs) return;

  std::vector<std::string> names;
  std::vector<Variant> values;
  for (size_t c = 0; c < cols.size(); ++c) {
    if (!locateColumnChosen(delta, rec, c, wantRecord)) continue;
    if (fieldOf[c] < 0)
      throw data::DataError::dataset(dataset_->name(), data::formatMessage(data::kFieldNotFoundText, cols[c].name));
    names.push_back(dataset_->query().columns()[fields[fieldOf[c]].column].name);
    values.push_back(delta.valueAt(target, c));
  }
  if (names.empty()) throw ComError(E_FAIL, std::string(kNoKeyText));
  if (!dataset_->query().locate(names, values)) throw ComError(E_FAIL, std::string(kNotFoundText));
  for (size_t c = 0; c < cols.size(); ++c) {
    if (fieldOf[c] < 0) continue;
    if (!wantRecord && !(cols[c].isLong && isNullIn(c))) continue;
    filled[target][c] = dataset_->columnValue(fields[fieldOf[c]]);
  }
}

Variant Provider::rowRequest(const Variant& row, int32_t requestType) {
  requestType &= 0xFF;
  resolver();
  struct CloseAfter {
    Provider* p;
    ~CloseAfter() {
      if (p->openedByProvider_) {
        p->dataset_->close();
        p->openedByProvider_ = false;
      }
    }
  } closeAfter{this};

  openDataset();
  Delta delta(packets::decodePacket(row), dataset_->keyFieldNames());
  const packets::Packet& in = delta.packet();
  const size_t columnCount = delta.columns().size();
  const auto& fields = dataset_->fields();
  const std::vector<int> fieldOf = fieldOfColumns(delta.columns(), fields);

  // Values to write back per packet row and column; empty = as it came.
  RowValues filled(in.rowCount(), std::vector<std::optional<Variant>>(columnCount));
  fillRequestedValues(delta, fieldOf, requestType, filled);

  packets::PacketWriter w(in.columns(), in.attributes(), in.encoding());
  for (size_t r = 0; r < in.rowCount(); ++r) {
    w.beginRow(in.status(r));
    for (size_t c = 0; c < columnCount; ++c) {
      if (!filled[r][c])
        copyCell(w, in, r, c);
      else if (fieldOf[c] >= 0)
        putServedValue(w, fields[fieldOf[c]], *filled[r][c]);
      else
        w.put(*filled[r][c]);
    }
    w.endRow();
  }
  return packets::packetToVariant(w.finish());
}

void Provider::execute(const WString& commandText, Variant& params) {
  applyCommandText(commandText);
  applyParams(params);
  dataset_->query().execute();
  params = outputParams();
}

Variant Provider::getParams() { return packets::packParamList(toParamList(dataset_->query().parameters())); }

Variant Provider::applyUpdates(const Variant& delta, int32_t maxErrors, int32_t& errorCount) {
  return resolver().apply(delta, maxErrors, errorCount);
}

}  // namespace rvz::services
