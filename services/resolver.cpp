// Resolution of deltas into statements. Statement texts are fixed line by
// line, since clients and the activity log see them exactly.
#include "services/resolver.h"

#include <climits>
#include <optional>

#include "platform/data/data_error.h"
#include "platform/data/query.h"
#include "platform/packets/error_packet.h"
#include "platform/packets/packet_writer.h"
#include "platform/packets/server_fields.h"
#include "platform/text/text.h"
#include "services/delta.h"
#include "services/provider.h"
#include "services/rows_written.h"
#include "services/update_table.h"

namespace rvz::services {

using catalogue::UpdateMode;
using packets::FieldType;
using packets::RowStatus;

namespace {

// A narrow string this wide or wider never locates a row.
constexpr int32_t kMaxLocatingWidth = 8191;

data::FieldKind kindOfColumn(const packets::Column& c) {
  switch (c.type) {
    case FieldType::String:
      return c.hasSubtype(packets::kSubtypeFixedChar) ? data::FieldKind::FixedChar : data::FieldKind::String;
    case FieldType::WideString: return data::FieldKind::WideString;
    case FieldType::I1:
    case FieldType::I2:
    case FieldType::UI1: return data::FieldKind::SmallInt;
    case FieldType::I4:
    case FieldType::UI4:
      return c.hasSubtype(packets::kSubtypeAutoinc) ? data::FieldKind::AutoInc : data::FieldKind::Integer;
    case FieldType::UI2: return data::FieldKind::Word;
    case FieldType::I8: return data::FieldKind::LargeInt;
    case FieldType::Boolean: return data::FieldKind::Boolean;
    case FieldType::R8: return data::FieldKind::Float;
    case FieldType::Fixed: return data::FieldKind::BCD;
    case FieldType::Date: return data::FieldKind::Date;
    case FieldType::Time: return data::FieldKind::Time;
    case FieldType::DateTime: return data::FieldKind::DateTime;
    case FieldType::BinHex:
      return c.hasSubtype(packets::kSubtypeText) || c.hasSubtype(packets::kSubtypeWideText) ? data::FieldKind::Memo
                                                                                            : data::FieldKind::Blob;
  }
  return data::FieldKind::Unknown;
}

struct Failure {
  std::string message;
  int32_t errorCode = 1;
};

// One call's resolution context.
class Resolution {
 public:
  Resolution(Provider& p, const Delta& d, std::optional<std::string> table, int32_t maxErrors, data::Transaction* tx)
      : provider_(p),
        delta_(d),
        cn_(p.dataset().connection()),
        table_(std::move(table)),
        maxErrors_(maxErrors),
        tx_(tx) {
    errors_.emplace(d.packet().columns());
    describeTable();
  }

  int32_t errorCount = 0;
  RowsWritten rowsWritten;  // by the statements run so far and still in the transaction

  void run() {
    for (const auto& rec : delta_.changes()) {
      std::optional<Failure> failure;
      try {
        write(rec);
      } catch (const data::DataError& e) {
        failure = Failure{e.what(), e.fromInterface() ? e.number() : 1};
      } catch (const std::exception& e) {
        failure = Failure{e.what(), 1};
      }
      if (failure) {
        // The engine rolled the whole transaction back (a full disk, no
        // memory): going on would write the remaining records one by one in
        // autocommit and report a result the database does not hold.
        if (tx_ && tx_->lostToEngine())
          throw data::DataError::engine(failure->errorCode,
                                        failure->message + " " + std::string(data::kTransactionLostText));
        if (!handleFailure(rec, *failure)) return;
      } else if (!(errorCount <= maxErrors_)) {
        return;
      }
    }
  }

  Variant result() const {
    if (errors_->empty()) return Variant::null();
    return packets::packetToVariant(errors_->encode());
  }

 private:
  bool usableForWriting(const ChangeRecord& r, size_t c) const {
    const DeltaColumn& d = delta_.columns()[c];
    const packets::Column& col = delta_.packet().columns()[c];
    if (!(d.flags & packets::kPfInUpdate) || (d.flags & packets::kPfHidden)) return false;
    if (col.hasSubtype(packets::kSubtypeAutoinc) || d.readOnly || d.serverCalc) return false;
    return delta_.hasNewValue(r, c);
  }

  bool usableForLocating(const ChangeRecord& r, size_t c, UpdateMode mode) const {
    const DeltaColumn& d = delta_.columns()[c];
    const packets::Column& col = delta_.packet().columns()[c];
    if (d.isLong || d.serverCalc) return false;
    if (col.type == FieldType::String && col.width.value_or(0) >= kMaxLocatingWidth) return false;
    switch (mode) {
      case UpdateMode::WhereAll: return d.flags & packets::kPfInWhere;
      case UpdateMode::WhereChanged:
        return ((d.flags & packets::kPfInWhere) && delta_.hasNewValue(r, c)) || (d.flags & packets::kPfInKey);
      case UpdateMode::KeyOnly: return d.flags & packets::kPfInKey;
    }
    return false;
  }

  // The update table's own columns, matched to the delta's by name. Values
  // are converted by these, not by the types a delta declares: a delta that
  // calls a LONG column text must not store text in it. A table the database
  // cannot describe leaves the delta's types; its statements then fail with
  // the database's reason.
  void describeTable() {
    tableColumns_.resize(delta_.columns().size());
    if (!table_) return;
    std::vector<data::ColumnInfo> cols;
    try {
      cols = cn_.tableColumns(*table_);
    } catch (const std::exception&) {
      return;
    }
    for (size_t c = 0; c < delta_.columns().size(); ++c)
      for (const auto& tc : cols)
        if (text::equalsNoCaseAscii(tc.name, delta_.columns()[c].statementName)) {
          tableColumns_[c] = tc;
          break;
        }
  }

  data::FieldKind kindOf(size_t c) const {
    const auto& tc = tableColumns_[c];
    if (tc && tc->kind != data::FieldKind::Unknown) return tc->kind;
    return kindOfColumn(delta_.packet().columns()[c]);
  }

  data::Parameter param(size_t c, Variant v) const { return data::Parameter::of(std::move(v), kindOf(c)); }

  // A value written to a column of the table's primary key is never Null,
  // as in Jet, also where the table's definition does not say NOT NULL.
  data::Parameter written(size_t c, Variant v) const {
    const auto& tc = tableColumns_[c];
    if (tc && tc->key && tc->kind != data::FieldKind::AutoInc && v.isEmptyOrNull())
      throw data::DataError::engine(data::kErrNullKey, std::string(data::kNullKeyText));
    return param(c, std::move(v));
  }

  // "where" and " X = ? and" lines, the last without " and"; throws the
  // no-key text.
  void addWhere(ResolverStatement& s, const ChangeRecord& r, UpdateMode mode) const {
    s.line("where");
    const size_t before = s.text.size();
    for (size_t c = 0; c < delta_.columns().size(); ++c) {
      if (!usableForLocating(r, c, mode)) continue;
      Variant old = delta_.oldValue(r, c);
      const std::string& name = delta_.columns()[c].statementName;
      if (old.isEmptyOrNull()) {
        s.line(" ", name, " is null and");
      } else {
        s.line(" ", name, " = ? and");
        s.params.push_back(param(c, std::move(old)));
      }
    }
    if (s.text.size() == before) throw std::runtime_error(std::string(kNoKeyText));
    s.text.resize(s.text.size() - 6);  // " and\r\n"
    s.text.append("\r\n");
  }

  // Closes "  (A, B, " as "  (A, B)"; with nothing listed "  (" becomes " )".
  static void closeList(std::string& line) {
    line.resize(line.size() - 2);
    line += ")";
  }

  // Builds the statement of a record into `s`; false when the record has
  // nothing to write (it counts as written). The text is written straight
  // into s's buffer, which the next record reuses: a record costs appends,
  // not a string per line.
  bool build(const ChangeRecord& r, ResolverStatement& s) {
    s.clear();
    const auto& cols = delta_.columns();
    switch (r.status) {
      case RowStatus::Inserted: {
        s.line("insert into ", *table_);
        names_.assign("  (");
        marks_.assign("  (");
        for (size_t c = 0; c < cols.size(); ++c) {
          if (!usableForWriting(r, c)) continue;
          names_.append(cols[c].statementName).append(", ");
          marks_.append("?, ");
          s.params.push_back(written(c, *delta_.newValue(r, c)));
        }
        closeList(names_);
        closeList(marks_);
        s.line(names_);
        s.line("values");
        s.line(marks_);
        return true;
      }
      case RowStatus::Deleted:
        s.line("delete from ", *table_, " ");
        addWhere(s, r, provider_.updateMode());
        return true;
      default: {
        s.line("update ", *table_, "  set");
        const size_t head = s.text.size();
        for (size_t c = 0; c < cols.size(); ++c) {
          if (!usableForWriting(r, c)) continue;
          s.line(" ", cols[c].statementName, " = ?,");
          s.params.push_back(written(c, *delta_.newValue(r, c)));
        }
        if (s.text.size() == head) return false;
        s.text.resize(s.text.size() - 3);  // ",\r\n"
        s.text.append("\r\n");
        addWhere(s, r, provider_.updateMode());
        return true;
      }
    }
  }

  void write(const ChangeRecord& r) {
    if (!table_) throw std::runtime_error(std::string(kNoTableText));
    if (!build(r, statement_)) return;
    int64_t rows = cn_.execute(statement_.text, statement_.params);
    if (rows > 1) {
      if (tx_)
        tx_->rollback();
      else
        cn_.rollback();
      tooMany_ = true;
      rowsWritten = {};
      throw std::runtime_error(std::string(kTooManyText));
    }
    if (rows < 1) throw std::runtime_error(std::string(kNotFoundText));
    rowsWritten.count(r.status);
  }

  // The database's current values of the located columns, when a key-only
  // read finds the row; failures of the read are ignored.
  std::vector<std::optional<Variant>> conflictRead(const ChangeRecord& r) {
    const size_t n = delta_.columns().size();
    std::vector<std::optional<Variant>> current(n);
    if (!table_) return current;
    try {
      ResolverStatement s;
      s.line("select");
      std::vector<size_t> selected;
      for (size_t c = 0; c < n; ++c)
        if (usableForLocating(r, c, provider_.updateMode())) {
          s.line(" ", delta_.columns()[c].statementName, ",");
          selected.push_back(c);
        }
      if (selected.empty()) return current;
      s.text.resize(s.text.size() - 3);  // ",\r\n"
      s.text.append("\r\n");
      s.line(" from ", *table_, " ");
      addWhere(s, r, UpdateMode::KeyOnly);
      data::Statement st(cn_, s.text);
      st.setParameters(s.params);
      data::RowSet rows = st.executeQuery();
      if (rows.rowCount() == 0) return current;
      for (size_t i = 0; i < selected.size() && i < rows.columns().size(); ++i) current[selected[i]] = rows.value(0, i);
    } catch (const std::exception&) {
      return std::vector<std::optional<Variant>>(n);
    }
    return current;
  }

  static bool sameValue(const Variant& a, const Variant& b) {
    if (a.isEmptyOrNull() || b.isEmptyOrNull()) return a.isEmptyOrNull() && b.isEmptyOrNull();
    if (a.sameKindAndValue(b)) return true;
    try {
      if (a.vt() == VT_BSTR || b.vt() == VT_BSTR) return a.toText() == b.toText();
      return a.toDouble() == b.toDouble();
    } catch (const VariantError&) {
      return false;
    }
  }

  // Returns whether processing goes on.
  bool handleFailure(const ChangeRecord& r, const Failure& f) {
    bool abort = errorCount >= maxErrors_;
    auto current = conflictRead(r);
    ++errorCount;
    // A statement that touched several rows has already undone the call's
    // work: processing stops there, as for any abort.
    if (errorCount > maxErrors_ || tooMany_) abort = true;
    if (abort) maxErrors_ = errorCount - 1;

    packets::ErrorRecord& er = errors_->record(r.recordNo);
    er.response = abort ? packets::kResponseAbort : packets::kResponseSkip;
    er.message = text::utf8ToWide(f.message);
    er.context.clear();
    er.category = 1;
    er.errorCode = f.errorCode;
    const auto& cols = delta_.packet().columns();
    for (size_t c = 0; c < cols.size(); ++c) {
      if (!current[c] || cols[c].type == FieldType::BinHex) continue;
      const Variant& now = *current[c];
      if (sameValue(now, delta_.oldValue(r, c))) continue;
      auto nv = delta_.newValue(r, c);
      if (nv && sameValue(now, *nv)) continue;
      er.values[c] = packets::Cell::of(now);
    }
    return !abort;
  }

  Provider& provider_;
  const Delta& delta_;
  data::Connection& cn_;
  std::optional<std::string> table_;
  int32_t maxErrors_;
  data::Transaction* tx_;                                      // the call's own transaction, when it began one
  std::vector<std::optional<data::ColumnInfo>> tableColumns_;  // by delta column; empty where the table has none
  std::optional<packets::ErrorPacketBuilder> errors_;
  bool tooMany_ = false;
  // Reused from record to record, so that their room is allocated once.
  ResolverStatement statement_;
  std::string names_, marks_;
};

}  // namespace

Variant Resolver::apply(const Variant& deltaVariant, int32_t maxErrors, int32_t& errorCount) {
  CatalogueDataset& ds = provider_->dataset();
  data::Connection& cn = ds.connection();
  // The delta is decoded before the transaction takes the writer turn, so
  // that other connections' writes go on meanwhile.
  Delta delta(packets::decodePacket(deltaVariant), ds.keyFieldNames());
  std::optional<std::string> table = delta.packet().attributes().tableName;
  if (!table || table->empty()) table = updateTableName(ds.query().commandText());
  // A failure before the end leaves the transaction to its destructor, which
  // rolls back: nothing of a failed call is kept.
  std::optional<data::Transaction> tx;
  if (!cn.inTransaction()) tx.emplace(cn);
  Resolution res(*provider_, delta, table, maxErrors == -1 ? INT32_MAX : maxErrors, tx ? &*tx : nullptr);
  res.run();
  Variant out = res.result();
  if (tx && tx->active()) {
    if (maxErrors == -1 || res.errorCount <= maxErrors) {
      tx->commit();
      addRowsWritten(res.rowsWritten);
    } else {
      tx->rollback();
    }
  } else if (!tx) {
    addRowsWritten(res.rowsWritten);  // in the caller's transaction
  }
  errorCount = res.errorCount;
  return out;
}

}  // namespace rvz::services
