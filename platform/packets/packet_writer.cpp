// The streaming packet encoder: one front that checks rows and values
// against the columns, and a sink per form that writes them (binary_sink.h,
// xml_sink.h).
#include "platform/packets/packet_writer.h"

#include <limits>
#include <type_traits>

#include "platform/packets/binary_sink.h"
#include "platform/packets/codec.h"
#include "platform/packets/xml_sink.h"
#include "platform/text/text.h"

namespace rvz::packets {

namespace detail {

namespace {

std::string quoted(std::string_view s) { return "'" + printable(s) + "'"; }

const std::vector<Column>& validated(const std::vector<Column>& columns, const PacketAttributes& attributes) {
  validateLayout(columns, attributes);
  return columns;
}

std::vector<Store> storesOf(const std::vector<Column>& columns) {
  std::vector<Store> stores;
  stores.reserve(columns.size());
  for (const Column& c : columns) stores.push_back(storeOf(c));
  return stores;
}

}  // namespace

// What PacketWriter offers, whatever the form.
class WriterImpl {
 public:
  virtual ~WriterImpl() = default;
  virtual const std::vector<Column>& columns() const = 0;
  virtual const PacketAttributes& attributes() const = 0;
  virtual Encoding encoding() const = 0;
  virtual size_t rowCount() const = 0;
  virtual void reserve(size_t bytes) = 0;
  virtual void beginRow(RowStatus status) = 0;
  virtual void endRow() = 0;
  virtual std::vector<uint8_t> finish() = 0;
  virtual void putMark(ValueState s) = 0;
  virtual void putInt(int64_t v) = 0;
  virtual void putR8(double v) = 0;
  virtual void putBool(bool v) = 0;
  virtual void putDate(double d) = 0;
  virtual void putDecimal(const Decimal& d) = 0;
  virtual void putCurrency(Currency v) = 0;
  virtual void putWide(WStringView v) = 0;
  virtual void putWideUtf8(std::string_view utf8) = 0;
  virtual void putNarrow(std::string_view bytes, bool raw) = 0;
  virtual void put(const Variant& v) = 0;
};

// The checks every form shares: the layout, the order of rows and values,
// and whether each value suits its column, converting it to the column's
// storage where the types allow. The sink (binary_sink.h, xml_sink.h) then
// writes the checked value; it is a template argument so that the per-value
// steps of a fetch are direct calls.
template <class Sink>
class CheckedWriter final : public WriterImpl {
 public:
  CheckedWriter(std::vector<Column> columns, PacketAttributes attributes, Encoding encoding)
      : cols_(std::move(columns)),
        attrs_(std::move(attributes)),
        enc_(encoding),
        stores_(storesOf(validated(cols_, attrs_))),
        sink_(makeSink()) {}

  const std::vector<Column>& columns() const override { return cols_; }
  const PacketAttributes& attributes() const override { return attrs_; }
  Encoding encoding() const override { return enc_; }
  size_t rowCount() const override { return rows_; }
  void reserve(size_t n) override { sink_.reserve(n); }

  void beginRow(RowStatus status) override {
    if (finished_) throw PacketError("packet already finished");
    if (inRow_) throw PacketError("row " + std::to_string(rows_ + 1) + " begun before the previous one ended");
    if (!rowStatusFromNumber(static_cast<int64_t>(status)))
      throw PacketError("bad row status " + std::to_string(static_cast<int>(status)));
    if (rows_ == std::numeric_limits<uint32_t>::max()) throw PacketError("packet holds too many rows");
    inRow_ = true;
    col_ = 0;
    sink_.beginRow(status);
  }

  void endRow() override {
    if (!inRow_) throw PacketError("endRow without beginRow");
    if (col_ != cols_.size())
      throw PacketError("row " + std::to_string(rows_ + 1) + " ends after " + std::to_string(col_) + " of " +
                        std::to_string(cols_.size()) + " values");
    sink_.endRow();
    inRow_ = false;
    ++rows_;
  }

  std::vector<uint8_t> finish() override {
    if (inRow_) throw PacketError("finish inside row " + std::to_string(rows_ + 1));
    if (finished_) throw PacketError("packet already finished");
    finished_ = true;
    std::vector<uint8_t> bytes = sink_.finish(rows_);
    if (bytes.size() > std::numeric_limits<uint32_t>::max()) throw PacketError("packet larger than 4 GiB");
    return bytes;
  }

  void putMark(ValueState s) override {
    sink_.mark(next(), s);
    ++col_;
  }

  void putInt(int64_t v) override {
    size_t c = next();
    switch (stores_[c]) {
      case Store::F64: return writeF64(static_cast<double>(v));
      case Store::Dec: return writeDec(c, Decimal::fromInt64(v));
      case Store::I8: return writeInt<int8_t>(c, v);
      case Store::U8: return writeInt<uint8_t>(c, v);
      case Store::I16: return writeInt<int16_t>(c, v);
      case Store::U16: return writeInt<uint16_t>(c, v);
      case Store::I32: return writeInt<int32_t>(c, v);
      case Store::U32: return writeInt<uint32_t>(c, v);
      case Store::I64: return writeInt<int64_t>(c, v);
      default: mismatch(c, "an integer");
    }
  }

  void putR8(double v) override {
    size_t c = next();
    if (stores_[c] == Store::F64) return writeF64(v);
    if (stores_[c] == Store::Dec) {
      Decimal d;
      try {
        d = Decimal::fromDouble(v);
      } catch (const std::exception& e) {
        throw PacketError("column " + quoted(cols_[c].name) + " (fixed) cannot take " + std::to_string(v) + ": " +
                          e.what());
      }
      return writeDec(c, d);
    }
    mismatch(c, "a float");
  }

  void putBool(bool v) override {
    size_t c = next();
    if (stores_[c] != Store::Bool) mismatch(c, "a boolean");
    sink_.boolean(c, v);
    ++col_;
  }

  void putDate(double d) override {
    size_t c = next();
    if (stores_[c] != Store::Date) mismatch(c, "a date");
    if (!dateFits(cols_[c].type, d))
      throw PacketError("column " + quoted(cols_[c].name) + " (" + std::string(fieldTypeName(cols_[c].type)) +
                        ") cannot take date value " + std::to_string(d) +
                        (cols_[c].type == FieldType::Date   ? ": a date is a whole number of days in range"
                         : cols_[c].type == FieldType::Time ? ": a time lies in [0, 1)"
                                                            : ": out of range"));
    sink_.date(c, d);
    ++col_;
  }

  void putDecimal(const Decimal& d) override {
    size_t c = next();
    if (stores_[c] == Store::Dec) return writeDec(c, d);
    if (stores_[c] == Store::F64) return writeF64(d.toDouble());
    mismatch(c, "a decimal");
  }

  void putCurrency(Currency v) override {
    size_t c = next();
    if (stores_[c] == Store::Dec) return writeDec(c, decimalFromCurrency(v));
    if (stores_[c] == Store::F64) return writeF64(v.toDouble());
    mismatch(c, "a currency");
  }

  void putWide(WStringView v) override {
    size_t c = next();
    if (stores_[c] == Store::Wide) return writeWide(c, v);
    if (stores_[c] == Store::Narrow && narrowIsText(cols_[c])) return writeNarrow(c, text::wideToAnsi(v));
    mismatch(c, "wide text");
  }

  void putWideUtf8(std::string_view utf8) override {
    size_t c = next();
    if (stores_[c] == Store::Wide) {
      sink_.wideUtf8(c, utf8);
      ++col_;
      return;
    }
    putWide(text::utf8ToWide(utf8));
  }

  void putNarrow(std::string_view bytes, bool raw) override {
    size_t c = next();
    if (stores_[c] == Store::Narrow) return writeNarrow(c, bytes);
    if (stores_[c] == Store::Wide && !raw) return writeWide(c, text::ansiToWide(bytes));
    mismatch(c, raw ? "bytes" : "narrow text");
  }

  void put(const Variant& v) override {
    size_t c = next();
    if (v.isEmptyOrNull()) return putMark(ValueState::Null);
    try {
      switch (stores_[c]) {
        case Store::Bool: return putBool(v.toBool());
        case Store::F64:
        case Store::Dec:
          if (v.vt() == VT_CY) return putCurrency(v.cyValue());
          if (v.vt() == VT_DECIMAL) return putDecimal(v.decimalValue());
          if (stores_[c] == Store::Dec && v.vt() != VT_R4 && v.vt() != VT_R8 && v.vt() != VT_DATE && v.vt() != VT_BSTR)
            return putInt(v.toInt64());
          if (stores_[c] == Store::Dec) return putDecimal(v.toDecimal());
          return putR8(v.toDouble());
        // A DATE goes in as it is: the full range of its first and last day
        // must pass, whatever a conversion's range check says.
        case Store::Date: return putDate(v.vt() == VT_DATE ? v.realValue() : v.toOleDate());
        case Store::Narrow:
        case Store::Wide:
          if (v.vt() == (VT_ARRAY | VT_UI1)) {
            const auto& b = v.arrayValue().byteData();
            return putNarrow(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()), true);
          }
          return putWide(v.toText());
        default: return putInt(v.toInt64());
      }
    } catch (const VariantError& e) {
      throw PacketError("column " + quoted(cols_[c].name) + " (" + std::string(fieldTypeName(cols_[c].type)) +
                        ") cannot take a value of type " + varTypeName(v.vt()) + ": " + e.what());
    }
  }

 private:
  Sink makeSink() {
    if constexpr (std::is_constructible_v<Sink, const std::vector<Column>&, const PacketAttributes&, Encoding>)
      return Sink(cols_, attrs_, enc_);
    else
      return Sink(cols_, attrs_);
  }

  // The column the next value goes to.
  size_t next() {
    if (!inRow_ || col_ >= cols_.size()) [[unlikely]]
      badPosition();
    return col_;
  }

  [[noreturn, gnu::noinline, gnu::cold]] void badPosition() {
    if (!inRow_) throw PacketError("value written outside a row");
    throw PacketError("row " + std::to_string(rows_ + 1) + " has more values than its " + std::to_string(cols_.size()) +
                      " columns");
  }

  [[noreturn]] void mismatch(size_t c, const char* what) {
    std::string type(fieldTypeName(cols_[c].type));
    if (cols_[c].subtype) type += " " + *cols_[c].subtype;
    throw PacketError("column " + quoted(cols_[c].name) + " (" + type + ") cannot take " + what);
  }

  template <class T>
  void writeInt(size_t c, int64_t v) {
    if constexpr (!std::is_same_v<T, int64_t>) {
      if (v < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
          v > static_cast<int64_t>(std::numeric_limits<T>::max()))
        throw PacketError("value " + std::to_string(v) + " is out of range for column " + quoted(cols_[c].name) + " (" +
                          std::string(fieldTypeName(cols_[c].type)) + ")");
    }
    sink_.integer(c, static_cast<T>(v));
    ++col_;
  }

  void writeF64(double v) {
    sink_.real(col_, v);
    ++col_;
  }

  void writeDec(size_t c, const Decimal& d) {
    if (d.scale > 28)
      throw PacketError("decimal for column " + quoted(cols_[c].name) + " has scale " + std::to_string(d.scale) +
                        " (at most 28)");
    sink_.decimal(c, d);
    ++col_;
  }

  void writeNarrow(size_t c, std::string_view bytes) {
    sink_.narrow(c, bytes);
    ++col_;
  }

  void writeWide(size_t c, WStringView w) {
    sink_.wide(c, w);
    ++col_;
  }

  // Declared in this order: the sink refers to the columns and attributes.
  std::vector<Column> cols_;
  PacketAttributes attrs_;
  Encoding enc_;
  std::vector<Store> stores_;
  Sink sink_;
  size_t rows_ = 0;
  size_t col_ = 0;
  bool inRow_ = false;
  bool finished_ = false;
};

std::unique_ptr<WriterImpl> makeWriter(std::vector<Column> columns, PacketAttributes attributes, Encoding encoding) {
  if (encoding == Encoding::Binary)
    return std::make_unique<CheckedWriter<BinarySink>>(std::move(columns), std::move(attributes), encoding);
  return std::make_unique<CheckedWriter<XmlSink>>(std::move(columns), std::move(attributes), encoding);
}

}  // namespace detail

PacketWriter::PacketWriter(std::vector<Column> columns, PacketAttributes attributes, Encoding encoding)
    : impl_(detail::makeWriter(std::move(columns), std::move(attributes), encoding)) {}
PacketWriter::~PacketWriter() = default;
PacketWriter::PacketWriter(PacketWriter&&) noexcept = default;
PacketWriter& PacketWriter::operator=(PacketWriter&&) noexcept = default;

const std::vector<Column>& PacketWriter::columns() const { return impl_->columns(); }
const PacketAttributes& PacketWriter::attributes() const { return impl_->attributes(); }
Encoding PacketWriter::encoding() const { return impl_->encoding(); }
void PacketWriter::reserve(size_t bytes) { impl_->reserve(bytes); }
void PacketWriter::beginRow(RowStatus status) { impl_->beginRow(status); }
void PacketWriter::putNull() { impl_->putMark(ValueState::Null); }
void PacketWriter::putNotFetched() { impl_->putMark(ValueState::NotFetched); }
void PacketWriter::putUnchanged() { impl_->putMark(ValueState::Unchanged); }
void PacketWriter::putWide(WStringView v) { impl_->putWide(v); }
void PacketWriter::putWideUtf8(std::string_view utf8) { impl_->putWideUtf8(utf8); }
void PacketWriter::putNarrow(std::string_view bytes) { impl_->putNarrow(bytes, false); }
void PacketWriter::putBytes(std::span<const uint8_t> b) {
  impl_->putNarrow(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()), true);
}
void PacketWriter::putI4(int32_t v) { impl_->putInt(v); }
void PacketWriter::putI8(int64_t v) { impl_->putInt(v); }
void PacketWriter::putR8(double v) { impl_->putR8(v); }
void PacketWriter::putBool(bool v) { impl_->putBool(v); }
void PacketWriter::putDate(double d) { impl_->putDate(d); }
void PacketWriter::putDecimal(const Decimal& v) { impl_->putDecimal(v); }
void PacketWriter::putCurrency(Currency v) { impl_->putCurrency(v); }
void PacketWriter::put(const Variant& v) { impl_->put(v); }
void PacketWriter::endRow() { impl_->endRow(); }
size_t PacketWriter::rowCount() const { return impl_->rowCount(); }
std::vector<uint8_t> PacketWriter::finish() { return impl_->finish(); }

Variant packetToVariant(std::vector<uint8_t> bytes) { return Variant::array(SafeArray::bytes(std::move(bytes))); }

std::span<const uint8_t> packetBytes(const Variant& v) {
  if (v.vt() != (VT_ARRAY | VT_UI1))
    throw PacketError("a packet must be a byte array variant, not " + varTypeName(v.vt()));
  const SafeArray& a = v.arrayValue();
  if (a.dims() != 1) throw PacketError("a packet byte array must have one dimension, not " + std::to_string(a.dims()));
  return a.byteData();
}

}  // namespace rvz::packets
