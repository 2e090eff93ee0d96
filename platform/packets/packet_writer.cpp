// The streaming packet encoder. Rows go straight into one output buffer; the
// binary form reserves the row count and patches it at the end, the XML form
// writes each ROW element as its values arrive.
#include "platform/packets/packet_writer.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <set>

#include "platform/packets/codec.h"
#include "platform/text/cp936.h"
#include "platform/text/utf8_into.h"

namespace rvz::packets {

namespace detail {

namespace {

constexpr std::string_view kRowState = "RowState";
constexpr std::string_view kRowMarks = "RowMarks";

std::string quoted(std::string_view s) { return "'" + printable(s) + "'"; }

// A column name usable as a ROW attribute name as it stands.
bool directTag(std::string_view name, bool ansi) {
  if (name == kRowState || name == kRowMarks) return false;
  auto w = text::utf8ToWideStrict(name);
  if (!w || w->empty()) return false;
  const text::Cp936* cp = ansi ? &text::Cp936::get() : nullptr;
  for (size_t i = 0; i < w->size(); ++i) {
    char16_t c = (*w)[i];
    if (!(i == 0 ? xmlNameStartChar(c) : xmlNameChar(c))) return false;
    if (cp && cp->encode(c) == 0xFFFF) return false;
  }
  return true;
}

}  // namespace

class WriterImpl {
 public:
  WriterImpl(std::vector<Column> columns, PacketAttributes attributes, Encoding encoding)
      : cols_(std::move(columns)), attrs_(std::move(attributes)), enc_(encoding) {
    validateLayout(cols_, attrs_);
    stores_.reserve(cols_.size());
    for (const Column& c : cols_) stores_.push_back(storeOf(c));
    if (enc_ == Encoding::Binary) {
      rowCountAt_ = writeBinaryLayout(out_, cols_, attrs_);
    } else {
      cp_ = &text::Cp936::get();
      makeTags();
      writeXmlLayout();
    }
  }

  const std::vector<Column>& columns() const { return cols_; }
  const PacketAttributes& attributes() const { return attrs_; }
  Encoding encoding() const { return enc_; }
  size_t rowCount() const { return rows_; }
  void reserve(size_t n) { out_.reserve(n); }

  void beginRow(RowStatus status) {
    if (finished_) throw PacketError("packet already finished");
    if (inRow_) throw PacketError("row " + std::to_string(rows_ + 1) + " begun before the previous one ended");
    if (!rowStatusFromNumber(static_cast<int64_t>(status)))
      throw PacketError("bad row status " + std::to_string(static_cast<int>(status)));
    if (rows_ == std::numeric_limits<uint32_t>::max()) throw PacketError("packet holds too many rows");
    inRow_ = true;
    col_ = 0;
    if (enc_ == Encoding::Binary) {
      out_.put8(static_cast<uint8_t>(status));
    } else {
      absent_ = status == RowStatus::Modified ? ValueState::Unchanged : ValueState::Null;
      marks_.clear();
      out_.put("<ROW");
      if (status != RowStatus::Original) {
        out_.put(" RowState=\"");
        out_.put8(static_cast<uint8_t>('0' + static_cast<int>(status)));
        out_.put8('"');
      }
    }
  }

  void endRow() {
    if (!inRow_) throw PacketError("endRow without beginRow");
    if (col_ != cols_.size())
      throw PacketError("row " + std::to_string(rows_ + 1) + " ends after " + std::to_string(col_) + " of " +
                        std::to_string(cols_.size()) + " values");
    if (enc_ != Encoding::Binary) {
      if (!marks_.empty()) {
        out_.put(" RowMarks=\"");
        out_.put(marks_);
        out_.put8('"');
      }
      out_.put("/>");
    }
    inRow_ = false;
    ++rows_;
  }

  std::vector<uint8_t> finish() {
    if (inRow_) throw PacketError("finish inside row " + std::to_string(rows_ + 1));
    if (finished_) throw PacketError("packet already finished");
    finished_ = true;
    if (enc_ == Encoding::Binary) {
      uint32_t n = static_cast<uint32_t>(rows_);
      std::memcpy(out_.at(rowCountAt_), &n, sizeof n);
    } else {
      out_.put("</ROWDATA></DATAPACKET>");
    }
    if (out_.size() > std::numeric_limits<uint32_t>::max()) throw PacketError("packet larger than 4 GiB");
    return out_.take();
  }

  // ---- marks ----

  void putMark(ValueState s) {
    size_t c = next();
    if (enc_ == Encoding::Binary) {
      out_.put8(static_cast<uint8_t>(s));
    } else if (s != absent_) {
      mark(s == ValueState::Null ? 'N' : s == ValueState::Unchanged ? 'U' : 'F', c);
    }
    ++col_;
  }

  // ---- typed values ----

  void putInt(int64_t v) {
    size_t c = next();
    Store st = stores_[c];
    switch (st) {
      case Store::F64: return writeF64(static_cast<double>(v));
      case Store::Dec: return writeDec(c, Decimal::fromInt64(v));
      case Store::I8: return writeIntChecked<int8_t>(c, v);
      case Store::U8: return writeIntChecked<uint8_t>(c, v);
      case Store::I16: return writeIntChecked<int16_t>(c, v);
      case Store::U16: return writeIntChecked<uint16_t>(c, v);
      case Store::I32: return writeIntChecked<int32_t>(c, v);
      case Store::U32: return writeIntChecked<uint32_t>(c, v);
      case Store::I64: return writeIntChecked<int64_t>(c, v);
      default: mismatch(c, "an integer");
    }
  }

  void putR8(double v) {
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

  void putBool(bool v) {
    size_t c = next();
    if (stores_[c] != Store::Bool) mismatch(c, "a boolean");
    if (enc_ == Encoding::Binary) {
      uint8_t* p = out_.grab(2);
      p[0] = 0;
      p[1] = v ? 1 : 0;
    } else {
      attrStart(c);
      out_.put(v ? "TRUE\"" : "FALSE\"");
    }
    ++col_;
  }

  void putDate(double d) {
    size_t c = next();
    if (stores_[c] != Store::Date) mismatch(c, "a date");
    if (!dateFits(cols_[c].type, d))
      throw PacketError("column " + quoted(cols_[c].name) + " (" + std::string(fieldTypeName(cols_[c].type)) +
                        ") cannot take date value " + std::to_string(d) +
                        (cols_[c].type == FieldType::Date   ? ": a date is a whole number of days in range"
                         : cols_[c].type == FieldType::Time ? ": a time lies in [0, 1)"
                                                            : ": out of range"));
    if (enc_ == Encoding::Binary) {
      binaryFixed(d);
    } else {
      attrStart(c);
      scratch_.clear();
      appendDateText(scratch_, cols_[c].type, d);
      out_.put(scratch_);
      out_.put8('"');
    }
    ++col_;
  }

  void putDecimal(const Decimal& d) {
    size_t c = next();
    if (stores_[c] == Store::Dec) return writeDec(c, d);
    if (stores_[c] == Store::F64) return writeF64(d.toDouble());
    mismatch(c, "a decimal");
  }

  void putCurrency(Currency v) {
    size_t c = next();
    if (stores_[c] == Store::Dec) return writeDec(c, decimalFromCurrency(v));
    if (stores_[c] == Store::F64) return writeF64(v.toDouble());
    mismatch(c, "a currency");
  }

  void putWide(WStringView v) {
    size_t c = next();
    if (stores_[c] == Store::Wide) return writeWide(c, v);
    if (stores_[c] == Store::Narrow && narrowIsText(cols_[c])) return writeNarrow(c, text::wideToAnsi(v));
    mismatch(c, "wide text");
  }

  void putWideUtf8(std::string_view utf8) {
    size_t c = next();
    if (stores_[c] == Store::Wide) {
      text::utf8ToWideInto(utf8, wide_);  // the buffer is reused from value to value
      return writeWide(c, wide_);
    }
    putWide(text::utf8ToWide(utf8));
  }

  void putNarrow(std::string_view bytes, bool raw) {
    size_t c = next();
    if (stores_[c] == Store::Narrow) return writeNarrow(c, bytes);
    if (stores_[c] == Store::Wide && !raw) return writeWide(c, text::ansiToWide(bytes));
    mismatch(c, raw ? "bytes" : "narrow text");
  }

  void put(const Variant& v) {
    size_t c = next();
    if (v.isEmptyOrNull()) return putMark(ValueState::Null);
    try {
      switch (stores_[c]) {
        case Store::Bool: return putBool(v.toBool());
        case Store::F64:
        case Store::Dec:
          if (v.vt() == VT_CY) return putCurrency(v.cyValue());
          if (v.vt() == VT_DECIMAL) return putDecimal(v.decimalValue());
          if (stores_[c] == Store::Dec && v.vt() != VT_R4 && v.vt() != VT_R8 && v.vt() != VT_DATE &&
              v.vt() != VT_BSTR)
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
  size_t next() {
    if (!inRow_ || col_ >= cols_.size()) [[unlikely]]
      badPosition();
    return col_;
  }

  [[noreturn, gnu::noinline, gnu::cold]] void badPosition() {
    if (!inRow_) throw PacketError("value written outside a row");
    throw PacketError("row " + std::to_string(rows_ + 1) + " has more values than its " +
                      std::to_string(cols_.size()) + " columns");
  }

  // A mark byte 0 and a fixed-size payload, in one piece.
  template <class T>
  void binaryFixed(T v) {
    uint8_t* p = out_.grab(1 + sizeof v);
    p[0] = 0;
    std::memcpy(p + 1, &v, sizeof v);
  }

  [[noreturn]] void mismatch(size_t c, const char* what) {
    std::string type(fieldTypeName(cols_[c].type));
    if (cols_[c].subtype) type += " " + *cols_[c].subtype;
    throw PacketError("column " + quoted(cols_[c].name) + " (" + type + ") cannot take " + what);
  }

  void mark(char letter, size_t c) {
    if (!marks_.empty()) marks_.push_back(' ');
    marks_.push_back(letter);
    char buf[12];
    auto r = std::to_chars(buf, buf + sizeof buf, c + 1);
    marks_.append(buf, r.ptr);
  }

  template <class T>
  void writeIntChecked(size_t c, int64_t v) {
    if constexpr (!std::is_same_v<T, int64_t>) {
      if (v < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
          v > static_cast<int64_t>(std::numeric_limits<T>::max()))
        throw PacketError("value " + std::to_string(v) + " is out of range for column " + quoted(cols_[c].name) +
                          " (" + std::string(fieldTypeName(cols_[c].type)) + ")");
    }
    if (enc_ == Encoding::Binary) {
      binaryFixed(static_cast<T>(v));
    } else {
      attrStart(c);
      char buf[24];
      auto r = std::to_chars(buf, buf + sizeof buf, v);
      out_.put(buf, static_cast<size_t>(r.ptr - buf));
      out_.put8('"');
    }
    ++col_;
  }

  void writeF64(double v) {
    if (enc_ == Encoding::Binary) {
      binaryFixed(v);
    } else {
      attrStart(col_);
      scratch_.clear();
      appendDouble(scratch_, v);
      out_.put(scratch_);
      out_.put8('"');
    }
    ++col_;
  }

  void writeDec(size_t c, const Decimal& d) {
    if (d.scale > 28)
      throw PacketError("decimal for column " + quoted(cols_[c].name) + " has scale " + std::to_string(d.scale) +
                        " (at most 28)");
    if (enc_ == Encoding::Binary) {
      uint8_t* p = out_.grab(1 + kDecimalSize);
      p[0] = 0;
      p[1] = d.scale;
      p[2] = d.negative ? 1 : 0;
      std::memcpy(p + 3, &d.hi32, 4);
      std::memcpy(p + 7, &d.lo64, 8);
    } else {
      attrStart(c);
      scratch_.clear();
      appendDecimal(scratch_, d);
      out_.put(scratch_);
      out_.put8('"');
    }
    ++col_;
  }

  void writeNarrow(size_t c, std::string_view b) {
    if (enc_ == Encoding::Binary) {
      out_.put8(0);
      out_.putString(b);
    } else {
      attrStart(c);
      const uint8_t* p = reinterpret_cast<const uint8_t*>(b.data());
      if (cols_[c].type == FieldType::BinHex) {
        scratch_.clear();
        appendHex(scratch_, p, b.size());
        out_.put(scratch_);
      } else if (!narrowCarriable(p, b.size())) {
        mark('E', c);
        scratch_.clear();
        appendHex(scratch_, p, b.size());
        out_.put(scratch_);
      } else {
        for (size_t i = 0; i < b.size();) {
          char16_t ch = 0;
          size_t n = cp_->decode(p + i, b.size() - i, ch);
          if (ch < 0x80) escapeAscii(static_cast<char>(ch));
          else if (enc_ == Encoding::XmlAnsi) out_.put(p + i, n);
          else putUtf8(ch);
          i += n;
        }
      }
      out_.put8('"');
    }
    ++col_;
  }

  void writeWide(size_t c, WStringView w) {
    if (enc_ == Encoding::Binary) {
      size_t n = w.size(), lenBytes = 1;
      for (size_t m = n; m >= 0x80; m >>= 7) ++lenBytes;
      // UTF-16 units start at an even offset so that decoded packets can hand
      // out views of them in place.
      size_t pad = (out_.size() + 1 + lenBytes) & 1;
      uint8_t* p = out_.grab(1 + lenBytes + pad + 2 * n);
      *p++ = 0;
      for (size_t m = n; m >= 0x80; m >>= 7) *p++ = static_cast<uint8_t>(m | 0x80);
      *p++ = static_cast<uint8_t>(n >> (7 * (lenBytes - 1)));
      if (pad) *p++ = 0;
      if (n) std::memcpy(p, w.data(), 2 * n);
    } else {
      attrStart(c);
      if (cols_[c].type == FieldType::BinHex) {
        scratch_.clear();
        appendHex(scratch_, reinterpret_cast<const uint8_t*>(w.data()), w.size() * 2);
        out_.put(scratch_);
      } else if (!wideCarriable(w)) {
        mark('E', c);
        scratch_.clear();
        for (char16_t u : w) {
          uint8_t be[2] = {static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)};
          appendHex(scratch_, be, 2);
        }
        out_.put(scratch_);
      } else {
        for (size_t i = 0; i < w.size(); ++i) {
          char32_t ch = w[i];
          if (ch >= 0xD800 && ch < 0xDC00) {
            ch = 0x10000 + ((ch - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
          }
          putChar(ch);
        }
      }
      out_.put8('"');
    }
    ++col_;
  }

  bool narrowCarriable(const uint8_t* p, size_t n) const {
    for (size_t i = 0; i < n;) {
      char16_t ch = 0;
      size_t k = cp_->decode(p + i, n - i, ch);
      if (k == 0 || !xmlChar(ch)) return false;
      i += k;
    }
    return true;
  }

  static bool wideCarriable(WStringView w) {
    for (size_t i = 0; i < w.size(); ++i) {
      char16_t u = w[i];
      if (u >= 0xD800 && u < 0xDC00) {
        if (i + 1 >= w.size() || w[i + 1] < 0xDC00 || w[i + 1] >= 0xE000) return false;
        ++i;
      } else if (!xmlChar(u)) {
        return false;
      }
    }
    return true;
  }

  // ---- XML text ----

  void attrStart(size_t c) {
    out_.put8(' ');
    out_.put(tagBytes_[c]);
    out_.put("=\"");
  }

  void escapeAscii(char ch) {
    switch (ch) {
      case '&': return out_.put("&amp;");
      case '<': return out_.put("&lt;");
      case '>': return out_.put("&gt;");
      case '"': return out_.put("&quot;");
      case '\t': return out_.put("&#9;");
      case '\n': return out_.put("&#10;");
      case '\r': return out_.put("&#13;");
      default: out_.put8(static_cast<uint8_t>(ch));
    }
  }

  void putUtf8(char32_t ch) {
    std::string s;
    text::appendUtf8(s, ch);
    out_.put(s);
  }

  // One XML-legal character in the document's encoding; characters code
  // page 936 cannot hold become character references.
  void putChar(char32_t ch) {
    if (ch < 0x80) return escapeAscii(static_cast<char>(ch));
    if (enc_ == Encoding::XmlUtf8) return putUtf8(ch);
    uint16_t b = ch < 0x10000 ? cp_->encode(static_cast<char16_t>(ch)) : 0xFFFF;
    if (b == 0xFFFF) {
      char buf[16];
      auto r = std::to_chars(buf, buf + sizeof buf, static_cast<uint32_t>(ch), 16);
      out_.put("&#x");
      out_.put(buf, static_cast<size_t>(r.ptr - buf));
      out_.put8(';');
    } else if (b < 0x100) {
      out_.put8(static_cast<uint8_t>(b));
    } else {
      out_.put8(static_cast<uint8_t>(b >> 8));
      out_.put8(static_cast<uint8_t>(b));
    }
  }

  // Metadata text (names, ORIGIN, TABLE_NAME ...): no escape form exists for
  // these, so text XML cannot carry is refused.
  void putText(std::string_view utf8, const std::string& what) {
    auto w = text::utf8ToWideStrict(utf8);
    if (!w) throw PacketError(what + " is not valid UTF-8");
    for (size_t i = 0; i < w->size(); ++i) {
      char32_t ch = (*w)[i];
      if (ch >= 0xD800 && ch < 0xDC00) {
        ch = 0x10000 + ((ch - 0xD800) << 10) + ((*w)[i + 1] - 0xDC00);
        ++i;
      }
      if (!xmlChar(ch)) {
        char buf[12];
        auto r = std::to_chars(buf, buf + sizeof buf, static_cast<uint32_t>(ch), 16);
        throw PacketError(what + " cannot be written in XML: it holds character U+" + std::string(buf, r.ptr));
      }
      putChar(ch);
    }
  }

  // The name is a checked XML name (extra attributes may hold non-ASCII
  // letters), written in the document's encoding like any text.
  void textAttr(std::string_view name, std::string_view utf8, const std::string& what) {
    out_.put8(' ');
    putText(name, what);
    out_.put("=\"");
    putText(utf8, what);
    out_.put8('"');
  }

  void numAttr(std::string_view name, int64_t v) {
    scratch_.clear();
    appendInt(scratch_, v);
    out_.put8(' ');
    out_.put(name);
    out_.put("=\"");
    out_.put(scratch_);
    out_.put8('"');
  }

  void makeTags() {
    bool ansi = enc_ == Encoding::XmlAnsi;
    std::set<std::string> used;
    tags_.resize(cols_.size());
    for (size_t i = 0; i < cols_.size(); ++i)
      if (directTag(cols_[i].name, ansi)) {
        tags_[i] = cols_[i].name;
        used.insert(cols_[i].name);
      }
    for (size_t i = 0; i < cols_.size(); ++i) {
      if (!tags_[i].empty()) continue;
      std::string t = "F" + std::to_string(i + 1);
      while (used.count(t)) t += "_";
      tags_[i] = t;
      used.insert(t);
    }
    // ROW attribute names in the document's encoding; a direct tag holds
    // only characters the encoding has.
    tagBytes_.resize(tags_.size());
    for (size_t i = 0; i < tags_.size(); ++i) {
      if (!ansi) {
        tagBytes_[i] = tags_[i];
        continue;
      }
      WString wide = *text::utf8ToWideStrict(tags_[i]);
      for (char16_t ch : wide) {
        uint16_t b = cp_->encode(ch);
        if (b >= 0x100) tagBytes_[i].push_back(static_cast<char>(b >> 8));
        tagBytes_[i].push_back(static_cast<char>(b));
      }
    }
  }

  void extraNameCheck(const std::string& name, const std::string& owner) {
    if (!directTag(name, enc_ == Encoding::XmlAnsi))
      throw PacketError(owner + " attribute name " + quoted(name) + " cannot be written in XML");
  }

  void writeXmlLayout() {
    out_.put(enc_ == Encoding::XmlUtf8 ? "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                                       : "<?xml version=\"1.0\" encoding=\"GBK\" standalone=\"yes\"?>");
    out_.put("<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>");
    for (size_t i = 0; i < cols_.size(); ++i) {
      const Column& c = cols_[i];
      std::string owner = "column " + quoted(c.name);
      out_.put("<FIELD");
      textAttr("attrname", c.name, owner + " name");
      out_.put(" fieldtype=\"");
      out_.put(fieldTypeName(c.type));
      out_.put8('"');
      if (tags_[i] != c.name) textAttr("tagname", tags_[i], owner + " tag");
      if (c.width) numAttr("WIDTH", *c.width);
      if (c.decimals) numAttr("DECIMALS", *c.decimals);
      if (c.subtype) textAttr("SUBTYPE", *c.subtype, owner + " SUBTYPE");
      if (c.provFlags) numAttr("PROVFLAGS", *c.provFlags);
      if (c.origin) textAttr("ORIGIN", *c.origin, owner + " ORIGIN");
      if (c.serverCalc) out_.put(*c.serverCalc ? " SERVER_CALC=\"TRUE\"" : " SERVER_CALC=\"FALSE\"");
      if (c.minValue) textAttr("MINVALUE", *c.minValue, owner + " MINVALUE");
      if (c.maxValue) textAttr("MAXVALUE", *c.maxValue, owner + " MAXVALUE");
      if (c.attrs & kAttrRequired) out_.put(" required=\"true\"");
      if (c.attrs & kAttrReadOnly) out_.put(" readonly=\"true\"");
      if (c.attrs & kAttrHidden) out_.put(" hidden=\"true\"");
      for (const NamedAttribute& a : c.extra) {
        extraNameCheck(a.name, owner);
        textAttr(a.name, a.value, owner + " attribute " + quoted(a.name));
      }
      out_.put("/>");
    }
    out_.put("</FIELDS><PARAMS");
    if (!attrs_.primaryKey.empty()) {
      out_.put(" PRIMARY_KEY=\"");
      for (size_t i = 0; i < attrs_.primaryKey.size(); ++i) {
        if (i) out_.put8(' ');
        scratch_.clear();
        appendInt(scratch_, attrs_.primaryKey[i]);
        out_.put(scratch_);
      }
      out_.put8('"');
    }
    if (attrs_.lcid) numAttr("LCID", *attrs_.lcid);
    if (attrs_.delta) out_.put(" DATASET_DELTA=\"1\"");
    if (attrs_.tableName) textAttr("TABLE_NAME", *attrs_.tableName, "TABLE_NAME");
    for (const NamedAttribute& a : attrs_.extra) {
      extraNameCheck(a.name, "dataset");
      textAttr(a.name, a.value, "dataset attribute " + quoted(a.name));
    }
    out_.put("/></METADATA><ROWDATA>");
  }

  std::vector<Column> cols_;
  PacketAttributes attrs_;
  Encoding enc_;
  std::vector<Store> stores_;
  std::vector<std::string> tags_;      // UTF-8
  std::vector<std::string> tagBytes_;  // as written
  const text::Cp936* cp_ = nullptr;
  OutBuffer out_;
  std::string scratch_;
  WString wide_;  // text converted from UTF-8 on its way into a cell
  std::string marks_;
  size_t rowCountAt_ = 0;
  size_t rows_ = 0;
  size_t col_ = 0;
  bool inRow_ = false;
  bool finished_ = false;
  ValueState absent_ = ValueState::Null;
};

}  // namespace detail

PacketWriter::PacketWriter(std::vector<Column> columns, PacketAttributes attributes, Encoding encoding)
    : impl_(std::make_unique<detail::WriterImpl>(std::move(columns), std::move(attributes), encoding)) {}
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
