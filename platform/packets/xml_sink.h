// The XML forms of a packet as the writer produces them, in code page 936
// (GBK) or UTF-8: the METADATA element, then one ROW element per row whose
// attributes are the values, with RowState and RowMarks where the defaults
// do not hold (docs/packet-format.md). Values arrive already checked against
// their columns and in column order (packet_writer.cpp); this unit only
// chooses the attribute names and writes text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/packets/codec.h"
#include "platform/text/cp936.h"
#include "platform/text/text.h"

namespace rvz::packets::detail {

class XmlSink {
 public:
  // Writes the document up to the first row; throws PacketError when a
  // name or attribute text cannot be written in XML.
  XmlSink(const std::vector<Column>& columns, const PacketAttributes& attributes, Encoding encoding);

  void reserve(size_t bytes) { out_.reserve(bytes); }

  void beginRow(RowStatus status);
  void endRow();

  // Null is the default of an absent attribute in a row that is not
  // modified, Unchanged in a modified row; other states become RowMarks.
  void mark(size_t column, ValueState state);

  template <class T>
  void integer(size_t column, T v) {
    writeInt(column, static_cast<int64_t>(v));
  }
  void real(size_t column, double v);
  void date(size_t column, double oleDate);
  void boolean(size_t column, bool v);
  void decimal(size_t column, const Decimal& d);
  // bin.hex columns as hex; code page 936 text as characters, or as the hex
  // escape form (RowMarks "E") when XML cannot carry it.
  void narrow(size_t column, std::string_view bytes);
  void wide(size_t column, WStringView w);
  void wideUtf8(size_t column, std::string_view utf8);

  // The document closed; the sink is empty afterwards.
  std::vector<uint8_t> finish(size_t rows);

 private:
  void writeInt(size_t column, int64_t v);
  void addMark(char letter, size_t column);
  bool narrowCarriable(const uint8_t* p, size_t n) const;
  static bool wideCarriable(WStringView w);

  void attrStart(size_t column);
  void escapeAscii(char ch);
  void putUtf8(char32_t ch);
  void putChar(char32_t ch);
  void putText(std::string_view utf8, const std::string& what);
  void textAttr(std::string_view name, std::string_view utf8, const std::string& what);
  void numAttr(std::string_view name, int64_t v);

  void makeTags();
  void extraNameCheck(const std::string& name, const std::string& owner) const;
  void writeLayout();

  const std::vector<Column>& cols_;
  const PacketAttributes& attrs_;
  Encoding enc_;
  const text::Cp936* cp_;
  std::vector<std::string> tags_;      // UTF-8
  std::vector<std::string> tagBytes_;  // as written
  OutBuffer out_;
  std::string scratch_;
  WString wide_;  // text converted from UTF-8 on its way into a cell
  std::string marks_;
  ValueState absent_ = ValueState::Null;
};

}  // namespace rvz::packets::detail
