// A dataset on one connection: a command text with parameters, opened as a
// stepping cursor whose rows are kept compactly as they are read, with
// navigation, fields, locate and a record filter.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/connection.h"
#include "platform/data/field_kind.h"
#include "platform/data/filter.h"
#include "platform/data/row_store.h"
#include "platform/data/values.h"
#include "platform/variant/variant.h"

namespace rvz::data {

class Query;

// A field of the query's current row. Cheap to copy; valid while the query
// stays open.
class Field {
 public:
  Field(const Query& q, size_t index) : q_(&q), index_(index) {}
  inline const ColumnInfo& info() const;
  const std::string& name() const { return info().name; }
  FieldKind kind() const { return info().kind; }
  int32_t size() const { return info().size; }
  size_t index() const { return index_; }
  inline bool isNull() const;
  inline Variant value() const;  // by kind, see values.h
  text::WString text() const;    // the value's plain text ("" for Null)
  std::string textUtf8() const;
  std::vector<uint8_t> bytes() const;  // a blob's or text's bytes; empty for Null

 private:
  const Query* q_;
  size_t index_;
};

class Query {
 public:
  explicit Query(std::string name = {}, Connection* connection = nullptr);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  // Messages about the query start with "<name>: ".
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  Connection* connection() const { return connection_; }
  // Only while closed.
  void setConnection(Connection* cn);

  const std::string& commandText() const { return commandText_; }
  // Only while closed ("<name>: Cannot perform this operation on an open
  // dataset"); giving the current text again is always accepted.
  void setCommandText(std::string text);

  // Bound by position to the command's markers; parameters beyond the
  // markers are kept but not sent.
  const std::vector<Parameter>& parameters() const { return params_; }
  std::vector<Parameter>& parameters() { return params_; }
  void setParameters(std::vector<Parameter> params) { params_ = std::move(params); }

  // Runs the command text and positions on the first row (the first row
  // passing the filter). Fails with "<name>: Missing SQL property" without
  // a text and "<name>: CommandText does not return a result set" after
  // running a text without a result. A query already open stays as it is.
  void open();
  void close();
  bool isOpen() const { return open_; }

  // Runs the command text with the parameters as a command and discards
  // rows; the open state does not change. Returns the rows affected.
  int64_t execute();

  // Navigation over the rows that pass the filter.
  void first();
  void next();
  bool eof() const { return eof_; }
  bool bof() const { return bof_; }
  // Rows passing the filter; reads the rest of the result once and keeps it.
  int64_t recordCount();
  // 0-based position of the current row among the rows passing the filter.
  int64_t recNo() const { return static_cast<int64_t>(pos_); }

  // Result columns, names made unique ("COLUMN1" for an unnamed column,
  // "MC_1" for a second "MC").
  const std::vector<ColumnInfo>& columns() const { return columns_; }
  size_t fieldCount() const { return columns_.size(); }
  // Index of the field of that name without regard to case, or -1.
  int findField(std::string_view name) const;
  // Throws "<name>: Field 'x' not found".
  size_t fieldIndex(std::string_view name) const;
  Field field(size_t index) const {
    if (index >= columns_.size()) [[unlikely]]
      badFieldIndex(index);
    return Field(*this, index);
  }
  Field field(std::string_view name) const { return Field(*this, fieldIndex(name)); }

  // Moves to the first row (passing the filter) whose fields have exactly
  // the given values: text without regard to case, numbers and dates by
  // value, Null matching Null. Returns false and stays where it was when no
  // row matches.
  bool locate(std::span<const std::string> fieldNames, std::span<const Variant> values);

  // The record filter. On an open query it takes effect at once (to the
  // first passing row); an empty text switches filtering off. A filter that
  // does not parse or bind fails and the previous one stays in force.
  void setFilter(std::string_view text);
  const std::string& filterText() const { return filterText_; }
  bool filtered() const { return !filterText_.empty(); }

  // The current row's stored value of a field, in the storage classes of
  // the provider seam (null cell when there is no current row): for callers
  // that serve values without building variants. Valid until the cursor moves.
  const Cell& cellAt(size_t index) const {
    static const Cell kNull{};
    return hasCurrent_ && index < current_.size() ? current_[index] : kNull;
  }

 private:
  friend class Connection;
  void closeForConnection();
  void readToEnd();  // steps the cursor to its end, keeping the rows
  bool fetchRow();
  bool ensureVisible(size_t n);  // true when visible row n exists
  size_t visibleCount() const;
  size_t storeRow(size_t visible) const;
  void moveTo(size_t visible);
  void positionFirst();
  void inferKinds();
  void uniqueNames();
  [[noreturn]] void fail(std::string_view message) const;
  [[noreturn]] void badFieldIndex(size_t index) const;

  std::string name_;
  Connection* connection_ = nullptr;
  std::string commandText_;
  std::vector<Parameter> params_;

  bool open_ = false;
  std::unique_ptr<DriverCursor> cursor_;
  std::vector<ColumnInfo> columns_;
  RowStore store_;
  std::vector<Cell> current_;  // decoded current row
  bool hasCurrent_ = false;
  size_t pos_ = 0;
  bool eof_ = true, bof_ = true;

  std::string filterText_;
  std::unique_ptr<Filter> filter_;  // parsed; bound while open
  std::vector<uint32_t> matches_;   // store rows passing the filter, in order
  size_t evaluated_ = 0;            // store rows the filter has seen
  std::vector<Cell> scratch_;
  std::vector<Cell> fresh_;  // the newest stored row, decoded while it was stored
  size_t freshRow_ = 0;
  bool freshValid_ = false;
};

inline const ColumnInfo& Field::info() const { return q_->columns()[index_]; }
inline bool Field::isNull() const { return q_->cellAt(index_).cls == StorageClass::Null; }
inline Variant Field::value() const { return cellToVariant(info(), q_->cellAt(index_)); }

// All rows of a statement's result, as variants.
class RowSet {
 public:
  const std::vector<ColumnInfo>& columns() const { return columns_; }
  size_t rowCount() const { return columns_.empty() ? 0 : values_.size() / columns_.size(); }
  const Variant& value(size_t row, size_t column) const { return values_[row * columns_.size() + column]; }
  int findColumn(std::string_view name) const;

 private:
  friend class Statement;
  std::vector<ColumnInfo> columns_;
  std::vector<Variant> values_;
};

// A command with positional "?" parameters run on a connection, with or
// without a result.
class Statement {
 public:
  Statement(Connection& cn, std::string commandText) : cn_(&cn), text_(std::move(commandText)) {}

  const std::string& commandText() const { return text_; }
  std::vector<Parameter>& parameters() { return params_; }
  void setParameters(std::vector<Parameter> p) { params_ = std::move(p); }
  void addValue(Variant v, FieldKind type = FieldKind::Unknown) {
    params_.push_back(Parameter::of(std::move(v), type));
  }

  // Without a result: the rows affected.
  int64_t execute();
  // With a result: all its rows.
  RowSet executeQuery();

 private:
  Connection* cn_;
  std::string text_;
  std::vector<Parameter> params_;
};

}  // namespace rvz::data
