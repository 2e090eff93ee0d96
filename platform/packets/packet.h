// The model of data packets, deltas, row packets and error packets: columns
// with their field types and optional attributes, dataset attributes, row
// statuses and value states, shared by the writer and the decoder.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/variant/variant.h"

namespace rvz::packets {

// Every failure of encoding or decoding a packet or parameter list; the text
// names what is wrong.
class PacketError : public std::runtime_error {
 public:
  explicit PacketError(const std::string& what) : std::runtime_error(what) {}
};

// Field types, one per XML `fieldtype` name. The numbers are those of the
// binary form and never change.
enum class FieldType : uint8_t {
  String = 1,      // "string": narrow text, code page 936 bytes
  WideString = 2,  // "string.uni": UTF-16 text
  I1 = 3,
  I2 = 4,
  I4 = 5,
  I8 = 6,
  UI1 = 7,
  UI2 = 8,
  UI4 = 9,
  Boolean = 10,
  R8 = 11,
  Fixed = 12,  // "fixed": BCD, WIDTH precision, DECIMALS scale
  Date = 13,   // whole days
  Time = 14,   // a time of day, 0 <= value < 1
  DateTime = 15,
  BinHex = 16,  // "bin.hex": memo (SUBTYPE Text / WideText) or bytes
};

// "i4" for FieldType::I4 ...; nullopt for a name that is no field type.
std::string_view fieldTypeName(FieldType t);
std::optional<FieldType> fieldTypeFromName(std::string_view name);

// SUBTYPE texts the library gives a meaning to.
inline constexpr std::string_view kSubtypeText = "Text";            // bin.hex: memo, CP936 bytes
inline constexpr std::string_view kSubtypeWideText = "WideText";    // bin.hex: memo, UTF-16
inline constexpr std::string_view kSubtypeBinary = "Binary";        // bin.hex: blob
inline constexpr std::string_view kSubtypeAutoinc = "Autoinc";      // i4
inline constexpr std::string_view kSubtypeFixedChar = "FixedChar";  // string
inline constexpr std::string_view kSubtypeMoney = "Money";          // r8

// Column attribute bits.
inline constexpr uint8_t kAttrHidden = 1;
inline constexpr uint8_t kAttrReadOnly = 2;
inline constexpr uint8_t kAttrRequired = 4;
inline constexpr uint8_t kAttrMask = kAttrHidden | kAttrReadOnly | kAttrRequired;

// Longest column name, in UTF-16 code units.
inline constexpr size_t kMaxColumnName = 31;

// An attribute the library does not interpret, kept so that it survives a
// round trip through either form.
struct NamedAttribute {
  std::string name;   // UTF-8
  std::string value;  // UTF-8 text
  friend bool operator==(const NamedAttribute&, const NamedAttribute&) = default;
};

// One column of a packet. Texts are UTF-8.
struct Column {
  std::string name;
  FieldType type = FieldType::I4;
  uint8_t attrs = 0;                    // kAttrHidden | kAttrReadOnly | kAttrRequired
  std::optional<uint8_t> provFlags;     // PROVFLAGS
  std::optional<int32_t> width;         // WIDTH
  std::optional<int32_t> decimals;      // DECIMALS
  std::optional<std::string> subtype;   // SUBTYPE
  std::optional<std::string> origin;    // ORIGIN
  std::optional<bool> serverCalc;       // SERVER_CALC
  std::optional<std::string> minValue;  // MINVALUE, a number in C-locale text
  std::optional<std::string> maxValue;  // MAXVALUE
  std::vector<NamedAttribute> extra;    // any other column attribute

  Column() = default;
  Column(std::string n, FieldType t) : name(std::move(n)), type(t) {}
  bool hasSubtype(std::string_view s) const { return subtype && *subtype == s; }
  friend bool operator==(const Column&, const Column&) = default;
};

// Dataset attributes.
struct PacketAttributes {
  std::vector<uint16_t> primaryKey;      // PRIMARY_KEY, 1-based positions; empty = absent
  std::optional<std::string> tableName;  // TABLE_NAME
  std::optional<int32_t> lcid;           // LCID
  bool delta = false;                    // DATASET_DELTA="1"
  std::vector<NamedAttribute> extra;     // any other dataset attribute
  friend bool operator==(const PacketAttributes&, const PacketAttributes&) = default;
};

// Update status of a record (the RowState bits).
enum class RowStatus : uint8_t {
  Original = 1,  // as read
  Deleted = 2,
  Inserted = 4,
  Modified = 8,
};
std::string_view rowStatusName(RowStatus s);  // "original", "deleted", ...
// The status for a RowState number; nullopt for anything but 1, 2, 4, 8.
std::optional<RowStatus> rowStatusFromNumber(int64_t n);

// What a record holds for one column.
enum class ValueState : uint8_t {
  Value = 0,
  Null = 1,
  NotFetched = 2,  // memo or blob value left out of the packet
  Unchanged = 3,   // deltas: the client did not change the column
};

// How a packet is produced: the binary form, or the XML form in code page
// 936 or UTF-8.
enum class Encoding { Binary, XmlAnsi, XmlUtf8 };

// The encoding that AS_GetRecords options ask for: bit 4 XML, bit 8 XML in
// UTF-8 (which implies XML).
Encoding encodingFromOptions(int32_t options);

// Checks what any packet's columns and attributes must satisfy (names,
// subtypes, attribute bits, PRIMARY_KEY positions); throws PacketError.
void validateLayout(const std::vector<Column>& columns, const PacketAttributes& attrs);

}  // namespace rvz::packets
