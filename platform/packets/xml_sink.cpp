// The XML forms of a packet: attribute names, text in the document's
// encoding, and the METADATA element.
#include "platform/packets/xml_sink.h"

#include <charconv>
#include <set>

#include "platform/text/utf8_into.h"

namespace rvz::packets::detail {

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

XmlSink::XmlSink(const std::vector<Column>& columns, const PacketAttributes& attributes, Encoding encoding)
    : cols_(columns), attrs_(attributes), enc_(encoding), cp_(&text::Cp936::get()) {
  makeTags();
  writeLayout();
}

// ---- rows ----

void XmlSink::beginRow(RowStatus status) {
  absent_ = status == RowStatus::Modified ? ValueState::Unchanged : ValueState::Null;
  marks_.clear();
  out_.put("<ROW");
  if (status != RowStatus::Original) {
    out_.put(" RowState=\"");
    out_.put8(static_cast<uint8_t>('0' + static_cast<int>(status)));
    out_.put8('"');
  }
}

void XmlSink::endRow() {
  if (!marks_.empty()) {
    out_.put(" RowMarks=\"");
    out_.put(marks_);
    out_.put8('"');
  }
  out_.put("/>");
}

std::vector<uint8_t> XmlSink::finish(size_t) {
  out_.put("</ROWDATA></DATAPACKET>");
  return out_.take();
}

void XmlSink::mark(size_t column, ValueState state) {
  if (state != absent_) addMark(state == ValueState::Null ? 'N' : state == ValueState::Unchanged ? 'U' : 'F', column);
}

void XmlSink::addMark(char letter, size_t column) {
  if (!marks_.empty()) marks_.push_back(' ');
  marks_.push_back(letter);
  char buf[12];
  auto r = std::to_chars(buf, buf + sizeof buf, column + 1);
  marks_.append(buf, r.ptr);
}

// ---- values ----

void XmlSink::writeInt(size_t column, int64_t v) {
  attrStart(column);
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out_.put(buf, static_cast<size_t>(r.ptr - buf));
  out_.put8('"');
}

void XmlSink::real(size_t column, double v) {
  attrStart(column);
  scratch_.clear();
  appendDouble(scratch_, v);
  out_.put(scratch_);
  out_.put8('"');
}

void XmlSink::date(size_t column, double oleDate) {
  attrStart(column);
  scratch_.clear();
  appendDateText(scratch_, cols_[column].type, oleDate);
  out_.put(scratch_);
  out_.put8('"');
}

void XmlSink::boolean(size_t column, bool v) {
  attrStart(column);
  out_.put(v ? "TRUE\"" : "FALSE\"");
}

void XmlSink::decimal(size_t column, const Decimal& d) {
  attrStart(column);
  scratch_.clear();
  appendDecimal(scratch_, d);
  out_.put(scratch_);
  out_.put8('"');
}

void XmlSink::narrow(size_t column, std::string_view b) {
  attrStart(column);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(b.data());
  if (cols_[column].type == FieldType::BinHex) {
    scratch_.clear();
    appendHex(scratch_, p, b.size());
    out_.put(scratch_);
  } else if (!narrowCarriable(p, b.size())) {
    addMark('E', column);
    scratch_.clear();
    appendHex(scratch_, p, b.size());
    out_.put(scratch_);
  } else {
    for (size_t i = 0; i < b.size();) {
      char16_t ch = 0;
      size_t n = cp_->decode(p + i, b.size() - i, ch);
      if (ch < 0x80)
        escapeAscii(static_cast<char>(ch));
      else if (enc_ == Encoding::XmlAnsi)
        out_.put(p + i, n);
      else
        putUtf8(ch);
      i += n;
    }
  }
  out_.put8('"');
}

void XmlSink::wide(size_t column, WStringView w) {
  attrStart(column);
  if (cols_[column].type == FieldType::BinHex) {
    scratch_.clear();
    appendHex(scratch_, reinterpret_cast<const uint8_t*>(w.data()), w.size() * 2);
    out_.put(scratch_);
  } else if (!wideCarriable(w)) {
    // The escape form of wide text is the hex of its UTF-16 units, each
    // high byte first.
    addMark('E', column);
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

void XmlSink::wideUtf8(size_t column, std::string_view utf8) {
  text::utf8ToWideInto(utf8, wide_);  // the buffer is reused from value to value
  wide(column, wide_);
}

bool XmlSink::narrowCarriable(const uint8_t* p, size_t n) const {
  for (size_t i = 0; i < n;) {
    char16_t ch = 0;
    size_t k = cp_->decode(p + i, n - i, ch);
    if (k == 0 || !xmlChar(ch)) return false;
    i += k;
  }
  return true;
}

bool XmlSink::wideCarriable(WStringView w) {
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

// ---- text ----

void XmlSink::attrStart(size_t column) {
  out_.put8(' ');
  out_.put(tagBytes_[column]);
  out_.put("=\"");
}

void XmlSink::escapeAscii(char ch) {
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

void XmlSink::putUtf8(char32_t ch) {
  std::string s;
  text::appendUtf8(s, ch);
  out_.put(s);
}

// One XML-legal character in the document's encoding; characters code page
// 936 cannot hold become character references.
void XmlSink::putChar(char32_t ch) {
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
void XmlSink::putText(std::string_view utf8, const std::string& what) {
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
void XmlSink::textAttr(std::string_view name, std::string_view utf8, const std::string& what) {
  out_.put8(' ');
  putText(name, what);
  out_.put("=\"");
  putText(utf8, what);
  out_.put8('"');
}

void XmlSink::numAttr(std::string_view name, int64_t v) {
  scratch_.clear();
  appendInt(scratch_, v);
  out_.put8(' ');
  out_.put(name);
  out_.put("=\"");
  out_.put(scratch_);
  out_.put8('"');
}

// ---- METADATA ----

void XmlSink::makeTags() {
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
  // ROW attribute names in the document's encoding; a direct tag holds only
  // characters the encoding has.
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

void XmlSink::extraNameCheck(const std::string& name, const std::string& owner) const {
  if (!directTag(name, enc_ == Encoding::XmlAnsi))
    throw PacketError(owner + " attribute name " + quoted(name) + " cannot be written in XML");
}

void XmlSink::writeLayout() {
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

}  // namespace rvz::packets::detail
