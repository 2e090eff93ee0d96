// The OLE Automation variant of the platform: scalar kinds, BSTR text,
// currency, dates, decimals, error codes and SAFEARRAYs of any number of
// dimensions, with the conversions the system relies on.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/text/text.h"

namespace rvz {

using text::WString;
using text::WStringView;

// Variant kinds with their platform numbers. An array is VT_ARRAY | element kind.
enum VarType : uint16_t {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,  // element kind of variant arrays only
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_ARRAY = 0x2000,
};

// Failure statuses of the variant conversions.
inline constexpr int32_t kDispTypeMismatch = static_cast<int32_t>(0x80020005);
inline constexpr int32_t kDispOverflow = static_cast<int32_t>(0x8002000A);
inline constexpr int32_t kDispBadIndex = static_cast<int32_t>(0x8002000B);
inline constexpr int32_t kEInvalidArg = static_cast<int32_t>(0x80070057);

// A conversion or access that the variant rules refuse.
class VariantError : public std::runtime_error {
 public:
  VariantError(int32_t status, const std::string& what) : std::runtime_error(what), status_(status) {}
  int32_t status() const { return status_; }

 private:
  int32_t status_;
};

// CURRENCY: a 64-bit integer scaled by 10 000.
struct Currency {
  int64_t scaled = 0;
  friend bool operator==(Currency, Currency) = default;
  static Currency fromDouble(double d);       // rounds half away from zero; throws on overflow
  static Currency parse(std::string_view s);  // "12.3400", "-5", throws VariantError
  double toDouble() const { return static_cast<double>(scaled) / 10000.0; }
  std::string toString() const;  // up to four decimals, trailing zeros dropped
};

// DECIMAL: a 96-bit unsigned mantissa with a sign and a scale of 0..28.
struct Decimal {
  uint8_t scale = 0;
  bool negative = false;
  uint32_t hi32 = 0;
  uint64_t lo64 = 0;
  friend bool operator==(const Decimal&, const Decimal&) = default;
  static Decimal parse(std::string_view s);  // "-123.45"; throws VariantError
  static Decimal fromDouble(double d);       // at most 15 significant digits
  static Decimal fromInt64(int64_t v);
  double toDouble() const;
  std::string toString() const;  // all scale digits, as stored
  bool isZero() const { return hi32 == 0 && lo64 == 0; }
};

// DATE: days since 1899-12-30 as a double; the fraction is the time of day
// (for negative days the fraction counts forward from that day's midnight).
struct DateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  friend bool operator==(const DateTime&, const DateTime&) = default;
  double toOleDate() const;               // throws VariantError when out of range
  static DateTime fromOleDate(double d);  // rounds to the millisecond; throws when out of range
  static DateTime now();                  // local time
};
inline constexpr double kMinOleDate = -657434.99999999;  // 0100-01-01 23:59:59
inline constexpr double kMaxOleDate = 2958465.99999999;  // 9999-12-31 23:59:59

class Variant;

// One dimension of a SAFEARRAY.
struct ArrayBound {
  int32_t lowerBound = 0;
  uint32_t count = 0;
  friend bool operator==(const ArrayBound&, const ArrayBound&) = default;
};

// A SAFEARRAY: an element kind, its dimensions and the elements, the first
// index varying fastest. Byte arrays (VT_UI1) keep their elements as bytes.
class SafeArray {
 public:
  SafeArray(VarType elementType, std::vector<ArrayBound> bounds);
  static SafeArray vector(VarType elementType, uint32_t count, int32_t lowerBound = 0);
  static SafeArray bytes(std::vector<uint8_t> data, int32_t lowerBound = 0);
  static SafeArray variants(std::vector<Variant> items, int32_t lowerBound = 0);

  VarType elementType() const { return elementType_; }
  const std::vector<ArrayBound>& bounds() const { return bounds_; }
  size_t dims() const { return bounds_.size(); }
  size_t size() const { return size_; }

  // Flat access, 0 .. size()-1.
  Variant get(size_t flat) const;
  void set(size_t flat, const Variant& v);  // converted to the element kind
  // Access by one index per dimension, each within its bounds.
  Variant get(std::span<const int32_t> indices) const;
  void set(std::span<const int32_t> indices, const Variant& v);
  size_t flatIndex(std::span<const int32_t> indices) const;  // throws kDispBadIndex

  // Element storage of a byte array, or of any other array.
  const std::vector<uint8_t>& byteData() const { return bytes_; }
  std::vector<uint8_t>& byteData() { return bytes_; }
  const std::vector<Variant>& items() const { return items_; }

  bool operator==(const SafeArray& o) const;

 private:
  VarType elementType_;
  std::vector<ArrayBound> bounds_;
  size_t size_ = 0;
  std::vector<uint8_t> bytes_;  // VT_UI1 arrays
  std::vector<Variant> items_;  // every other element kind
};

// The variant itself. Copying copies arrays deeply, as VariantCopy does.
class Variant {
 public:
  Variant() = default;  // Empty
  static Variant null();
  static Variant empty() { return Variant(); }

  // Scalars by kind.
  static Variant i1(int8_t v);
  static Variant i2(int16_t v);
  static Variant i4(int32_t v);
  static Variant i8(int64_t v);
  static Variant ui1(uint8_t v);
  static Variant ui2(uint16_t v);
  static Variant ui4(uint32_t v);
  static Variant r4(float v);
  static Variant r8(double v);
  static Variant cy(Currency v);
  static Variant date(double oleDate);
  static Variant date(const DateTime& dt);
  static Variant bstr(WString v);
  static Variant bstrUtf8(std::string_view utf8);
  static Variant boolean(bool v);
  static Variant decimal(const Decimal& v);
  static Variant error(int32_t scode);
  static Variant array(SafeArray a);

  // Common shorthands: I4, R8, BOOL, BSTR.
  Variant(int32_t v) { *this = i4(v); }
  Variant(double v) { *this = r8(v); }
  Variant(bool v) { *this = boolean(v); }
  Variant(WString v) { *this = bstr(std::move(v)); }
  Variant(const char16_t* v) { *this = bstr(WString(v)); }
  Variant(SafeArray a) { *this = array(std::move(a)); }

  Variant(const Variant& o);
  Variant(Variant&& o) noexcept = default;
  Variant& operator=(const Variant& o);
  Variant& operator=(Variant&& o) noexcept = default;
  ~Variant() = default;

  // The full kind: base kind, with VT_ARRAY for arrays.
  uint16_t vt() const { return vt_; }
  VarType type() const { return static_cast<VarType>(vt_ & ~VT_ARRAY); }
  bool isEmpty() const { return vt_ == VT_EMPTY; }
  bool isNull() const { return vt_ == VT_NULL; }
  bool isEmptyOrNull() const { return vt_ == VT_EMPTY || vt_ == VT_NULL; }
  bool isArray() const { return (vt_ & VT_ARRAY) != 0; }

  // Exact access to the stored value; throws VariantError (type mismatch) on another kind.
  int64_t intValue() const;  // any integer kind, BOOL (-1/0), ERROR
  double realValue() const;  // R4, R8, DATE
  Currency cyValue() const;
  const Decimal& decimalValue() const;
  const WString& bstrValue() const;
  bool boolValue() const;
  int32_t errorValue() const;
  const SafeArray& arrayValue() const;
  SafeArray& arrayValue();

  // Conversions with the platform's rules; throw VariantError.
  WString toText() const;  // Null and Empty give ""
  std::string toUtf8() const { return text::wideToUtf8(toText()); }
  double toDouble() const;  // Empty 0; Null type mismatch; text parsed
  int32_t toInt32() const;  // rounds half to even like the platform; overflow checked
  int64_t toInt64() const;
  bool toBool() const;  // numbers: non-zero; text: "True"/"False" or a number
  Currency toCurrency() const;
  Decimal toDecimal() const;
  double toOleDate() const;  // DATE, numbers, or text "yyyy-mm-dd[ hh:mm:ss]"
  Variant changeType(VarType target) const;

  // Kind and value equal: the comparison of parameter lists. Two Empties
  // are equal, two Nulls are equal; arrays compare element-wise.
  bool sameKindAndValue(const Variant& o) const;
  friend bool operator==(const Variant& a, const Variant& b) { return a.sameKindAndValue(b); }

 private:
  using Payload = std::variant<std::monostate, int64_t, double, Currency, Decimal, WString, std::unique_ptr<SafeArray>>;
  uint16_t vt_ = VT_EMPTY;
  Payload value_;
};

// Name of a kind for messages, as the platform's conversion errors name
// them ("Integer", "OleStr", "Array of Variant").
std::string varTypeName(uint16_t vt);

// The platform's text forms of numbers and dates, used by Variant::toText.
std::string formatDouble(double d, int significantDigits = 15);  // "1.5", "1E+20", "1E-05"
std::string formatOleDate(double oleDate);                       // short date [+ long time]

}  // namespace rvz

namespace rvz {
// The locale's short date ("yyyy-M-d") and long time ("H:mm:ss") forms.
std::string formatShortDate(const DateTime& t);
std::string formatLongTime(const DateTime& t);
}  // namespace rvz
