// Query: a stepping cursor whose rows are kept in a RowStore as they are
// read, so that slices, rewinds, record counts and locates cost one run of
// the command; and Statement, a command run once.
#include "platform/data/query.h"

#include <cmath>
#include <cstdio>

#include "platform/data/declared_parameters.h"
#include "platform/data/values.h"
#include "platform/text/text.h"

namespace rvz::data {
namespace {

// Rows read ahead at most to find the kind of a computed column.
constexpr size_t kKindLookahead = 64;
constexpr int32_t kComputedTextSize = 255;

bool blank(std::string_view s) {
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  return true;
}

void makeNamesUnique(std::vector<ColumnInfo>& cols) {
  auto taken = [&](const std::string& name, size_t upTo) {
    text::WString w = text::utf8ToWide(name);
    for (size_t k = 0; k < cols.size(); ++k) {
      if (k == upTo) continue;
      // Later columns count with their own names too, so that a made-up
      // name never clashes with a name the result gives.
      if (text::equalsNoCase(text::utf8ToWide(cols[k].name), w)) return true;
    }
    return false;
  };
  for (size_t i = 0; i < cols.size(); ++i) {
    auto& c = cols[i];
    if (c.name.empty()) {
      for (int n = 1;; ++n) {
        std::string candidate = "COLUMN" + std::to_string(n);
        if (!taken(candidate, i)) {
          c.name = candidate;
          break;
        }
      }
      continue;
    }
    bool clash = false;
    text::WString w = text::utf8ToWide(c.name);
    for (size_t k = 0; k < i; ++k)
      if (text::equalsNoCase(text::utf8ToWide(cols[k].name), w)) clash = true;
    if (!clash) continue;
    const std::string base = c.name;
    for (int n = 1;; ++n) {
      std::string candidate = base + "_" + std::to_string(n);
      if (!taken(candidate, i)) {
        c.name = candidate;
        break;
      }
    }
  }
}

FieldKind kindOfClass(StorageClass cls) {
  switch (cls) {
    case StorageClass::Integer: return FieldKind::Integer;
    case StorageClass::Real: return FieldKind::Float;
    case StorageClass::Text: return FieldKind::WideString;
    case StorageClass::Blob: return FieldKind::Blob;
    case StorageClass::Null: break;
  }
  return FieldKind::Unknown;
}

void setInferredKind(ColumnInfo& c, StorageClass cls) {
  c.kind = kindOfClass(cls);
  if (c.kind == FieldKind::WideString) c.size = kComputedTextSize;
}

bool sameValue(const Variant& have, const Variant& want) {
  if (want.isEmptyOrNull()) return have.isNull();
  if (have.isNull()) return false;
  try {
    if (have.isArray()) {
      if (!want.isArray()) return false;
      return have.arrayValue().byteData() == want.arrayValue().byteData() && have.arrayValue() == want.arrayValue();
    }
    switch (have.type()) {
      case VT_BSTR: return text::equalsNoCase(have.bstrValue(), want.toText());
      case VT_DATE: return std::fabs(have.realValue() - want.toOleDate()) < 0.5 / 86400000.0;
      case VT_BOOL: return have.boolValue() == want.toBool();
      case VT_CY: return have.cyValue() == want.toCurrency();
      case VT_DECIMAL: return have.decimalValue().toDouble() == want.toDouble();
      default: return have.toDouble() == want.toDouble();
    }
  } catch (const VariantError&) {
    return false;  // a value that cannot become the field's kind matches nothing
  }
}

}  // namespace

// ---- Field ----

text::WString Field::text() const {
  const Cell& c = q_->cellAt(index_);
  if (c.cls == StorageClass::Null) return {};
  if (c.cls == StorageClass::Blob && info().kind != FieldKind::Guid) return text::utf8ToWide(c.bytes);
  return value().toText();
}

std::string Field::textUtf8() const { return text::wideToUtf8(text()); }

std::vector<uint8_t> Field::bytes() const {
  const Cell& c = q_->cellAt(index_);
  switch (c.cls) {
    case StorageClass::Null: return {};
    case StorageClass::Text:
    case StorageClass::Blob: return std::vector<uint8_t>(c.bytes.begin(), c.bytes.end());
    default: {
      std::string t = textUtf8();
      return std::vector<uint8_t>(t.begin(), t.end());
    }
  }
}

// ---- Query ----

Query::Query(std::string name, Connection* connection) : name_(std::move(name)) { setConnection(connection); }

Query::~Query() {
  closeForConnection();
  if (connection_) {
    connection_->detach(this);
    connection_->queryClosed();
  }
}

void Query::fail(std::string_view message) const { throw DataError::dataset(name_, message); }

void Query::setConnection(Connection* cn) {
  if (cn == connection_) return;
  if (open_) fail(kOpenDatasetText);
  if (connection_) connection_->detach(this);
  connection_ = cn;
  if (connection_) connection_->attach(this);
}

void Query::setCommandText(std::string text) {
  if (text == commandText_) return;
  if (open_) fail(kOpenDatasetText);
  commandText_ = std::move(text);
  // A text that declares its parameters brings them, in declared order with
  // their types; a client's parameter list may then replace them.
  std::vector<Parameter> declared = declaredParameters(commandText_);
  if (!declared.empty()) params_ = std::move(declared);
}

void Query::open() {
  if (open_) return;
  if (blank(commandText_)) fail(formatMessage(kMissingPropertyText, "SQL"));
  if (!connection_) fail(kMissingConnectionText);
  RunResult r = connection_->send(commandText_, params_);
  if (!r.cursor) fail(kNoResultSetText);
  try {
    cursor_ = std::move(r.cursor);
    columns_ = cursor_->columns();
    makeNamesUnique(columns_);
    store_.reset(columns_.size());
    current_.assign(columns_.size(), Cell{});
    scratch_.assign(columns_.size(), Cell{});
    fresh_.assign(columns_.size(), Cell{});
    freshValid_ = false;
    matches_.clear();
    evaluated_ = 0;
    open_ = true;
    inferKinds();
    if (filter_) filter_->bind(columns_);
    positionFirst();
  } catch (...) {
    closeForConnection();
    throw;
  }
}

void Query::inferKinds() {
  std::vector<size_t> pending;
  for (size_t c = 0; c < columns_.size(); ++c)
    if (columns_[c].kindFromValues) pending.push_back(c);
  if (pending.empty()) return;
  size_t row = 0;
  while (!pending.empty() && row < kKindLookahead) {
    if (row >= store_.rowCount() && !fetchRow()) break;
    store_.decode(row, scratch_.data());
    for (size_t k = 0; k < pending.size();) {
      const Cell& cell = scratch_[pending[k]];
      if (cell.cls != StorageClass::Null) {
        setInferredKind(columns_[pending[k]], cell.cls);
        pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(k));
      } else {
        ++k;
      }
    }
    ++row;
  }
  for (size_t c : pending) columns_[c].kind = FieldKind::Unknown;
}

void Query::closeForConnection() {
  if (!open_) return;
  cursor_.reset();
  store_.reset(0);
  columns_.clear();
  current_.clear();
  scratch_.clear();
  fresh_.clear();
  freshValid_ = false;
  matches_.clear();
  evaluated_ = 0;
  hasCurrent_ = false;
  pos_ = 0;
  eof_ = bof_ = true;
  open_ = false;
}

void Query::close() {
  if (!open_) return;
  closeForConnection();
  if (connection_) connection_->queryClosed();
}

int64_t Query::execute() {
  if (blank(commandText_)) fail(formatMessage(kMissingPropertyText, "SQL"));
  if (!connection_) fail(kMissingConnectionText);
  RunResult r = connection_->send(commandText_, params_);
  return r.cursor ? 0 : r.rowsAffected;
}

void Query::readToEnd() {
  while (fetchRow()) {
  }
}

bool Query::fetchRow() {
  if (!cursor_) return false;
  try {
    if (!cursor_->step()) {
      cursor_.reset();  // the statement goes back to the connection at once
      return false;
    }
    store_.append(*cursor_, fresh_.data());
    freshRow_ = store_.rowCount() - 1;
    freshValid_ = true;
  } catch (...) {
    cursor_.reset();
    throw;
  }
  return true;
}

size_t Query::visibleCount() const { return filter_ ? matches_.size() : store_.rowCount(); }

size_t Query::storeRow(size_t visible) const { return filter_ ? matches_[visible] : visible; }

bool Query::ensureVisible(size_t n) {
  while (visibleCount() <= n) {
    if (filter_ && evaluated_ < store_.rowCount()) {
      const bool fresh = freshValid_ && evaluated_ == freshRow_;
      if (!fresh) store_.decode(evaluated_, scratch_.data());
      if (filter_->matches(fresh ? fresh_ : scratch_)) matches_.push_back(static_cast<uint32_t>(evaluated_));
      ++evaluated_;
      continue;
    }
    if (!fetchRow()) return false;
  }
  return true;
}

void Query::moveTo(size_t visible) {
  pos_ = visible;
  const size_t row = storeRow(visible);
  if (freshValid_ && row == freshRow_) {
    current_.swap(fresh_);  // reading forward: the row was decoded as it was stored
    freshValid_ = false;
  } else {
    store_.decode(row, current_.data());
  }
  hasCurrent_ = true;
}

void Query::positionFirst() {
  bof_ = true;
  if (ensureVisible(0)) {
    moveTo(0);
    eof_ = false;
  } else {
    eof_ = true;
    hasCurrent_ = false;
    pos_ = 0;
  }
}

void Query::first() {
  if (!open_) fail(kClosedDatasetText);
  positionFirst();
}

void Query::next() {
  if (!open_) fail(kClosedDatasetText);
  if (eof_) return;
  bof_ = false;
  if (ensureVisible(pos_ + 1)) {
    moveTo(pos_ + 1);
  } else {
    eof_ = true;  // the last row stays current
  }
}

int64_t Query::recordCount() {
  if (!open_) fail(kClosedDatasetText);
  ensureVisible(SIZE_MAX - 1);
  return static_cast<int64_t>(visibleCount());
}

int Query::findField(std::string_view name) const {
  const text::WString w = text::utf8ToWide(name);
  for (size_t i = 0; i < columns_.size(); ++i)
    if (text::equalsNoCase(text::utf8ToWide(columns_[i].name), w)) return static_cast<int>(i);
  return -1;
}

size_t Query::fieldIndex(std::string_view name) const {
  int i = findField(name);
  if (i < 0) fail(formatMessage(kFieldNotFoundText, name));
  return static_cast<size_t>(i);
}

void Query::badFieldIndex(size_t index) const {
  fail("Field index " + std::to_string(index) + " out of range (" + std::to_string(columns_.size()) + " fields)");
}

bool Query::locate(std::span<const std::string> names, std::span<const Variant> values) {
  if (!open_) fail(kClosedDatasetText);
  if (names.size() != values.size())
    fail("Locate needs one value per field: " + std::to_string(names.size()) + " fields, " +
         std::to_string(values.size()) + " values");
  std::vector<size_t> cols;
  for (const auto& n : names) cols.push_back(fieldIndex(n));
  for (size_t v = 0; ensureVisible(v); ++v) {
    store_.decode(storeRow(v), scratch_.data());
    bool all = true;
    for (size_t k = 0; k < cols.size() && all; ++k) {
      try {
        all = sameValue(cellToVariant(columns_[cols[k]], scratch_[cols[k]]), values[k]);
      } catch (const DataError&) {
        all = false;  // a stored value that cannot be read matches nothing
      }
    }
    if (all) {
      moveTo(v);
      eof_ = false;
      bof_ = v == 0;
      return true;
    }
  }
  return false;
}

void Query::setFilter(std::string_view text) {
  if (blank(text)) {
    filter_.reset();
    filterText_.clear();
  } else {
    std::unique_ptr<Filter> f;
    try {
      f = std::make_unique<Filter>(Filter::parse(text));
      if (open_) f->bind(columns_);
    } catch (const DataError& e) {
      if (name_.empty()) throw;
      throw DataError(e.hresult(), e.number(), name_ + ": " + e.what());
    }
    filter_ = std::move(f);
    filterText_ = std::string(text);
  }
  matches_.clear();
  evaluated_ = 0;
  if (open_) positionFirst();
}

// ---- Statement ----

int RowSet::findColumn(std::string_view name) const {
  const text::WString w = text::utf8ToWide(name);
  for (size_t i = 0; i < columns_.size(); ++i)
    if (text::equalsNoCase(text::utf8ToWide(columns_[i].name), w)) return static_cast<int>(i);
  return -1;
}

int64_t Statement::execute() { return cn_->execute(text_, params_); }

RowSet Statement::executeQuery() {
  RunResult r = cn_->send(text_, params_);
  if (!r.cursor) throw DataError::dataset("", kNoResultSetText);
  RowSet rs;
  rs.columns_ = r.cursor->columns();
  makeNamesUnique(rs.columns_);
  const size_t n = rs.columns_.size();
  while (r.cursor->step()) {
    for (size_t c = 0; c < n; ++c) {
      Cell cell = r.cursor->cell(c);
      ColumnInfo& col = rs.columns_[c];
      if (col.kindFromValues && col.kind == FieldKind::Unknown && cell.cls != StorageClass::Null)
        setInferredKind(col, cell.cls);
      rs.values_.push_back(cellToVariant(col, cell));
    }
  }
  return rs;
}

}  // namespace rvz::data
