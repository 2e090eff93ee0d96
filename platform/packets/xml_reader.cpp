// Reading the XML form with expat. The document is checked element by
// element and its rows are handed, value by value, to a binary writer, so
// that XML input passes the same checks as binary input and decodes into
// the same indexed form.
#include <expat.h>

#include <charconv>
#include <map>
#include <optional>

#include "platform/packets/codec.h"
#include "platform/text/cp936.h"
#include "platform/packets/packet_reader.h"
#include "platform/packets/packet_writer.h"

namespace rvz::packets {

namespace {

using text::Cp936;

std::string quoted(std::string_view s) { return "'" + detail::printable(s) + "'"; }

bool equalsNoCase(std::string_view a, std::string_view b) { return text::equalsNoCaseAscii(a, b); }

bool isGbkName(std::string_view n) {
  return equalsNoCase(n, "GBK") || equalsNoCase(n, "GB2312") || equalsNoCase(n, "CP936") ||
         equalsNoCase(n, "windows-936") || equalsNoCase(n, "x-gbk");
}

int XMLCALL convertGbk(void* data, const char* s) {
  const Cp936* cp = static_cast<const Cp936*>(data);
  char16_t ch = 0;
  if (cp->decode(reinterpret_cast<const uint8_t*>(s), 2, ch) != 2) return -1;
  return ch;
}

int XMLCALL unknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  if (!isGbkName(name)) return XML_STATUS_ERROR;
  const Cp936& cp = Cp936::get();
  for (int b = 0; b < 256; ++b) {
    uint8_t byte = static_cast<uint8_t>(b);
    char16_t ch = 0;
    if (b < 0x80)
      info->map[b] = b;
    else if (cp.decode(&byte, 1, ch) == 1)
      info->map[b] = ch;
    else if (b >= 0x81 && b <= 0xFE)
      info->map[b] = -2;
    else
      info->map[b] = -1;
  }
  info->data = const_cast<Cp936*>(&cp);
  info->convert = convertGbk;
  info->release = nullptr;
  return XML_STATUS_OK;
}

bool parseBoolText(std::string_view s, bool& out) {
  if (equalsNoCase(s, "true")) return out = true, true;
  if (equalsNoCase(s, "false")) return out = false, true;
  return false;
}

bool parseInt32Text(std::string_view s, int32_t& out) {
  int64_t v;
  if (!detail::parseInt64(s, v) || v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<int32_t>(v);
  return true;
}

constexpr uint64_t kValuesPerByte = 16;
constexpr uint64_t kFreeValues = 1 << 20;

enum class Where { Top, Packet, Metadata, Fields, Field, Params, RowData, Row, Done };

class XmlReader {
 public:
  explicit XmlReader(std::span<const uint8_t> xml) : xml_(xml) {}

  std::vector<uint8_t> run(Encoding* found) {
    XML_Parser p = XML_ParserCreate(nullptr);
    if (!p) throw PacketError("cannot create the XML parser");
    parser_ = p;
    XML_SetUserData(p, this);
    XML_SetElementHandler(p, &XmlReader::onStart, &XmlReader::onEnd);
    XML_SetCharacterDataHandler(p, &XmlReader::onText);
    XML_SetStartDoctypeDeclHandler(p, &XmlReader::onDoctype);
    XML_SetXmlDeclHandler(p, &XmlReader::onDecl);
    XML_SetUnknownEncodingHandler(p, unknownEncoding, nullptr);
    // Expat takes an int length; larger documents are fed in pieces.
    const char* data = reinterpret_cast<const char*>(xml_.data());
    size_t left = xml_.size();
    XML_Status st = XML_STATUS_OK;
    do {
      int chunk = left > (1u << 30) ? (1 << 30) : static_cast<int>(left);
      left -= static_cast<size_t>(chunk);
      st = XML_Parse(p, data, chunk, left == 0);
      data += chunk;
    } while (st == XML_STATUS_OK && left > 0);
    std::string expatError;
    if (st != XML_STATUS_OK && error_.empty())
      expatError = "XML error at line " + std::to_string(XML_GetCurrentLineNumber(p)) + " column " +
                   std::to_string(XML_GetCurrentColumnNumber(p)) + ": " + XML_ErrorString(XML_GetErrorCode(p));
    XML_ParserFree(p);
    if (!error_.empty()) throw PacketError(error_);
    if (!expatError.empty()) throw PacketError(expatError);
    if (where_ != Where::Done) throw PacketError("XML packet ends before </DATAPACKET>");
    if (!writer_) throw PacketError("XML packet has no METADATA");
    if (found) *found = ansi_ ? Encoding::XmlAnsi : Encoding::XmlUtf8;
    return writer_->finish();
  }

 private:
  using Attrs = const XML_Char**;

  static XmlReader& self(void* d) { return *static_cast<XmlReader*>(d); }

  template <class F>
  void guarded(F&& f) {
    if (!error_.empty()) return;
    try {
      f();
    } catch (const std::exception& e) {
      error_ = e.what();
      XML_StopParser(parser_, XML_FALSE);
    }
  }

  static void XMLCALL onStart(void* d, const XML_Char* name, Attrs attrs) {
    self(d).guarded([&] { self(d).start(name, attrs); });
  }
  static void XMLCALL onEnd(void* d, const XML_Char* name) {
    self(d).guarded([&] { self(d).end(name); });
  }
  static void XMLCALL onText(void* d, const XML_Char* s, int len) {
    self(d).guarded([&] {
      for (int i = 0; i < len; ++i)
        if (s[i] != ' ' && s[i] != '\t' && s[i] != '\r' && s[i] != '\n')
          throw PacketError("XML packet has text content in " + std::string(self(d).elementName()));
    });
  }
  static void XMLCALL onDoctype(void* d, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    self(d).guarded([] { throw PacketError("XML packet must not have a DOCTYPE"); });
  }
  static void XMLCALL onDecl(void* d, const XML_Char*, const XML_Char* encoding, int) {
    if (encoding && isGbkName(encoding)) self(d).ansi_ = true;
  }

  const char* elementName() const {
    switch (where_) {
      case Where::Packet: return "DATAPACKET";
      case Where::Metadata: return "METADATA";
      case Where::Fields: return "FIELDS";
      case Where::Field: return "FIELD";
      case Where::Params: return "PARAMS";
      case Where::RowData: return "ROWDATA";
      case Where::Row: return "ROW";
      default: return "the document";
    }
  }

  void unexpected(std::string_view name) {
    throw PacketError("unexpected element <" + std::string(name) + "> in " + elementName());
  }

  void start(std::string_view name, Attrs attrs) {
    switch (where_) {
      case Where::Top:
        if (name != "DATAPACKET") throw PacketError("XML packet root is <" + std::string(name) + ">, not <DATAPACKET>");
        where_ = Where::Packet;
        return;
      case Where::Packet:
        if (name == "METADATA" && !sawMetadata_) {
          sawMetadata_ = true;
          where_ = Where::Metadata;
          return;
        }
        if (name == "ROWDATA" && sawMetadata_ && !sawRowData_) {
          sawRowData_ = true;
          makeWriter();
          where_ = Where::RowData;
          return;
        }
        return unexpected(name);
      case Where::Metadata:
        if (name == "FIELDS" && !sawFields_) {
          sawFields_ = true;
          where_ = Where::Fields;
          return;
        }
        if (name == "PARAMS" && sawFields_ && !sawParams_) {
          sawParams_ = true;
          readParams(attrs);
          where_ = Where::Params;
          return;
        }
        return unexpected(name);
      case Where::Fields:
        if (name != "FIELD") return unexpected(name);
        readField(attrs);
        where_ = Where::Field;
        return;
      case Where::RowData:
        if (name != "ROW") return unexpected(name);
        readRow(attrs);
        where_ = Where::Row;
        return;
      default: return unexpected(name);
    }
  }

  void end(std::string_view) {
    // Expat has already matched the end tags with their start tags.
    switch (where_) {
      case Where::Packet:
        if (!sawMetadata_) throw PacketError("XML packet has no METADATA");
        if (!writer_) makeWriter();
        where_ = Where::Done;
        return;
      case Where::Metadata:
        if (!sawFields_) throw PacketError("XML packet METADATA has no FIELDS");
        where_ = Where::Packet;
        return;
      case Where::Fields:
      case Where::Params: where_ = Where::Metadata; return;
      case Where::Field: where_ = Where::Fields; return;
      case Where::RowData: where_ = Where::Packet; return;
      case Where::Row: where_ = Where::RowData; return;
      default: return;
    }
  }

  // ---- metadata ----

  void readField(Attrs attrs) {
    Column c;
    std::optional<std::string> tag;
    bool haveName = false, haveType = false;
    size_t pos = columns_.size() + 1;
    auto intAttr = [&](std::string_view n, std::string_view v) {
      int32_t x;
      if (!parseInt32Text(v, x))
        throw PacketError("FIELD " + std::to_string(pos) + " has bad " + std::string(n) + " " + quoted(v));
      return x;
    };
    auto flagAttr = [&](std::string_view n, std::string_view v, uint8_t bit) {
      bool b;
      if (!parseBoolText(v, b))
        throw PacketError("FIELD " + std::to_string(pos) + " has bad " + std::string(n) + " " + quoted(v));
      if (b) c.attrs |= bit;
    };
    for (size_t i = 0; attrs[i]; i += 2) {
      std::string_view n = attrs[i], v = attrs[i + 1];
      if (n == "attrname") {
        c.name = v, haveName = true;
      } else if (n == "fieldtype") {
        auto t = fieldTypeFromName(v);
        if (!t) throw PacketError("FIELD " + std::to_string(pos) + " has unknown fieldtype " + quoted(v));
        c.type = *t, haveType = true;
      } else if (n == "tagname") {
        tag = std::string(v);
      } else if (n == "WIDTH") {
        c.width = intAttr(n, v);
      } else if (n == "DECIMALS") {
        c.decimals = intAttr(n, v);
      } else if (n == "PROVFLAGS") {
        int32_t f = intAttr(n, v);
        if (f < 0 || f > 255)
          throw PacketError("FIELD " + std::to_string(pos) + " has PROVFLAGS " + quoted(v) + " out of 0..255");
        c.provFlags = static_cast<uint8_t>(f);
      } else if (n == "SUBTYPE") {
        c.subtype = std::string(v);
      } else if (n == "ORIGIN") {
        c.origin = std::string(v);
      } else if (n == "SERVER_CALC") {
        bool b;
        if (!parseBoolText(v, b))
          throw PacketError("FIELD " + std::to_string(pos) + " has bad SERVER_CALC " + quoted(v));
        c.serverCalc = b;
      } else if (n == "MINVALUE") {
        c.minValue = std::string(v);
      } else if (n == "MAXVALUE") {
        c.maxValue = std::string(v);
      } else if (n == "required") {
        flagAttr(n, v, kAttrRequired);
      } else if (n == "readonly") {
        flagAttr(n, v, kAttrReadOnly);
      } else if (n == "hidden") {
        flagAttr(n, v, kAttrHidden);
      } else {
        c.extra.push_back({std::string(n), std::string(v)});
      }
    }
    if (!haveName) throw PacketError("FIELD " + std::to_string(pos) + " has no attrname");
    if (!haveType) throw PacketError("FIELD " + quoted(c.name) + " has no fieldtype");
    if (columns_.size() == 0xFFFF) throw PacketError("XML packet has more than 65535 FIELDs");
    tags_.push_back(tag ? *tag : c.name);
    columns_.push_back(std::move(c));
  }

  void readParams(Attrs attrs) {
    for (size_t i = 0; attrs[i]; i += 2) {
      std::string_view n = attrs[i], v = attrs[i + 1];
      if (n == "PRIMARY_KEY") {
        size_t p = 0;
        while (p < v.size()) {
          while (p < v.size() && v[p] == ' ') ++p;
          size_t e = p;
          while (e < v.size() && v[e] != ' ') ++e;
          if (e == p) break;
          int64_t k;
          if (!detail::parseInt64(v.substr(p, e - p), k) || k < 1 || k > 0xFFFF)
            throw PacketError("PRIMARY_KEY " + quoted(v) + " holds a bad position");
          attrs_.primaryKey.push_back(static_cast<uint16_t>(k));
          p = e;
        }
        if (attrs_.primaryKey.empty()) throw PacketError("PRIMARY_KEY is present but empty");
      } else if (n == "LCID") {
        int32_t x;
        if (!parseInt32Text(v, x)) throw PacketError("PARAMS has bad LCID " + quoted(v));
        attrs_.lcid = x;
      } else if (n == "DATASET_DELTA") {
        if (v == "1")
          attrs_.delta = true;
        else if (v != "0")
          throw PacketError("PARAMS has bad DATASET_DELTA " + quoted(v));
      } else if (n == "TABLE_NAME") {
        attrs_.tableName = std::string(v);
      } else {
        attrs_.extra.push_back({std::string(n), std::string(v)});
      }
    }
  }

  void makeWriter() {
    validateLayout(columns_, attrs_);
    for (size_t i = 0; i < tags_.size(); ++i) {
      if (tags_[i] == "RowState" || tags_[i] == "RowMarks")
        throw PacketError("FIELD " + quoted(columns_[i].name) + " uses the reserved ROW attribute name " + tags_[i]);
      if (!byTag_.emplace(tags_[i], i).second)
        throw PacketError("two FIELDs use the ROW attribute name " + quoted(tags_[i]));
    }
    cp_ = &Cp936::get();
    values_.assign(columns_.size(), nullptr);
    marks_.assign(columns_.size(), 0);
    writer_.emplace(columns_, attrs_, Encoding::Binary);
  }

  // ---- rows ----

  void readRow(Attrs attrs) {
    ++row_;
    // An absent attribute costs the document nothing but becomes a value
    // mark in the decoded packet; bound the packet by the document's size.
    if (static_cast<uint64_t>(row_) * columns_.size() > kValuesPerByte * xml_.size() + kFreeValues)
      throw PacketError("XML packet has more values than its " + std::to_string(xml_.size()) + " bytes justify (" +
                        std::to_string(row_) + " rows of " + std::to_string(columns_.size()) + " columns)");
    try {
      std::fill(values_.begin(), values_.end(), nullptr);
      std::fill(marks_.begin(), marks_.end(), 0);
      RowStatus status = RowStatus::Original;
      for (size_t i = 0; attrs[i]; i += 2) {
        std::string_view n = attrs[i], v = attrs[i + 1];
        if (n == "RowState") {
          int64_t s;
          auto st = detail::parseInt64(v, s) ? rowStatusFromNumber(s) : std::nullopt;
          if (!st) throw PacketError("bad RowState " + quoted(v));
          status = *st;
        } else if (n == "RowMarks") {
          readMarks(v);
        } else {
          auto it = byTag_.find(n);
          if (it == byTag_.end()) throw PacketError("attribute " + quoted(n) + " names no FIELD");
          values_[it->second] = attrs[i + 1];
        }
      }
      ValueState absent = status == RowStatus::Modified ? ValueState::Unchanged : ValueState::Null;
      writer_->beginRow(status);
      for (size_t c = 0; c < columns_.size(); ++c) {
        char m = marks_[c];
        if (m && m != 'E') {
          if (values_[c])
            throw PacketError("column " + quoted(columns_[c].name) + " is marked " + m + " and has a value");
          applyMark(m);
          continue;
        }
        if (!values_[c]) {
          if (m == 'E') throw PacketError("column " + quoted(columns_[c].name) + " is marked E but has no value");
          putMarkState(absent);
          continue;
        }
        putValue(c, values_[c], m == 'E');
      }
      writer_->endRow();
    } catch (const PacketError& e) {
      throw PacketError("ROW " + std::to_string(row_) + ": " + e.what());
    }
  }

  void putMarkState(ValueState s) {
    if (s == ValueState::Null)
      writer_->putNull();
    else if (s == ValueState::Unchanged)
      writer_->putUnchanged();
    else
      writer_->putNotFetched();
  }

  void readMarks(std::string_view v) {
    size_t p = 0;
    while (p < v.size()) {
      if (v[p] == ' ') {
        ++p;
        continue;
      }
      size_t e = p;
      while (e < v.size() && v[e] != ' ') ++e;
      std::string_view tok = v.substr(p, e - p);
      p = e;
      char m = tok[0];
      int64_t pos;
      if ((m != 'N' && m != 'U' && m != 'F' && m != 'E') || !detail::parseInt64(tok.substr(1), pos) || pos < 1 ||
          static_cast<uint64_t>(pos) > columns_.size())
        throw PacketError("bad RowMarks entry " + quoted(tok));
      if (marks_[pos - 1]) throw PacketError("RowMarks marks column " + std::to_string(pos) + " twice");
      marks_[pos - 1] = m;
    }
  }

  void applyMark(char m) {
    if (m == 'N')
      writer_->putNull();
    else if (m == 'U')
      writer_->putUnchanged();
    else
      writer_->putNotFetched();
  }

  [[noreturn]] void badValue(size_t c, std::string_view v) {
    throw PacketError("bad " + std::string(fieldTypeName(columns_[c].type)) + " value " + quoted(v) + " for column " +
                      quoted(columns_[c].name));
  }

  void putValue(size_t c, std::string_view v, bool escaped) {
    const Column& col = columns_[c];
    detail::Store st = detail::storeOf(col);
    // Only text columns have an escape form; bin.hex is hex already.
    if (escaped && !(col.type == FieldType::String || col.type == FieldType::WideString))
      throw PacketError("column " + quoted(col.name) + " (" + std::string(fieldTypeName(col.type)) +
                        ") cannot be marked E");
    switch (st) {
      case detail::Store::Bool: {
        bool b;
        if (!parseBoolText(v, b)) badValue(c, v);
        return writer_->putBool(b);
      }
      case detail::Store::F64: {
        double d;
        if (!detail::parseDouble(v, d)) badValue(c, v);
        return writer_->putR8(d);
      }
      case detail::Store::Date: {
        double d;
        if (!detail::parseDateText(v, col.type, d)) badValue(c, v);
        return writer_->putDate(d);
      }
      case detail::Store::Dec: {
        Decimal d;
        if (!detail::parseDecimal(v, d)) badValue(c, v);
        return writer_->putDecimal(d);
      }
      case detail::Store::Narrow: {
        if (col.type == FieldType::BinHex || escaped) {
          if (!detail::parseHex(v, scratch_)) badValue(c, v);
          return writer_->putBytes({reinterpret_cast<const uint8_t*>(scratch_.data()), scratch_.size()});
        }
        return writer_->putNarrow(toCp936(c, v));
      }
      case detail::Store::Wide: {
        if (col.type == FieldType::BinHex) {
          if (!detail::parseHex(v, scratch_) || scratch_.size() % 2) badValue(c, v);
          WString w(scratch_.size() / 2, u'\0');
          std::memcpy(w.data(), scratch_.data(), scratch_.size());
          return writer_->putWide(w);
        }
        if (escaped) {
          if (!detail::parseHex(v, scratch_) || scratch_.size() % 2) badValue(c, v);
          WString w(scratch_.size() / 2, u'\0');
          for (size_t i = 0; i < w.size(); ++i)
            w[i] = static_cast<char16_t>(static_cast<uint8_t>(scratch_[2 * i]) << 8 |
                                         static_cast<uint8_t>(scratch_[2 * i + 1]));
          return writer_->putWide(w);
        }
        auto w = text::utf8ToWideStrict(v);
        if (!w) badValue(c, v);
        return writer_->putWide(*w);
      }
      default: {
        int64_t i;
        if (!detail::parseInt64(v, i)) badValue(c, v);
        return writer_->putI8(i);
      }
    }
  }

  // Narrow text arrives as Unicode; every character must have its code page
  // 936 bytes (the writer only writes text that does).
  std::string toCp936(size_t c, std::string_view utf8) {
    auto w = text::utf8ToWideStrict(utf8);
    if (!w) badValue(c, utf8);
    std::string out;
    out.reserve(w->size());
    for (char16_t ch : *w) {
      uint16_t b = cp_->encode(ch);
      if (b == 0xFFFF) {
        char buf[8];
        auto r = std::to_chars(buf, buf + sizeof buf, static_cast<unsigned>(ch), 16);
        throw PacketError("value of column " + quoted(columns_[c].name) + " holds character U+" +
                          std::string(buf, r.ptr) + ", which code page 936 cannot hold");
      }
      if (b >= 0x100) out.push_back(static_cast<char>(b >> 8));
      out.push_back(static_cast<char>(b));
    }
    return out;
  }

  std::span<const uint8_t> xml_;
  XML_Parser parser_ = nullptr;
  std::string error_;
  Where where_ = Where::Top;
  bool ansi_ = false;
  bool sawMetadata_ = false, sawFields_ = false, sawParams_ = false, sawRowData_ = false;
  std::vector<Column> columns_;
  std::vector<std::string> tags_;
  PacketAttributes attrs_;
  std::map<std::string, size_t, std::less<>> byTag_;
  std::optional<PacketWriter> writer_;
  const Cp936* cp_ = nullptr;
  std::vector<const char*> values_;
  std::vector<char> marks_;
  std::string scratch_;
  size_t row_ = 0;
};

}  // namespace

std::vector<uint8_t> xmlToBinary(std::span<const uint8_t> xml, Encoding* found) {
  if (xml.size() >= 4 && std::memcmp(xml.data(), detail::kMagic, 4) == 0) {
    if (found) *found = Encoding::Binary;
    return std::vector<uint8_t>(xml.begin(), xml.end());
  }
  XmlReader r(xml);
  return r.run(found);
}

}  // namespace rvz::packets
