// Number and text conversions of the Jet functions, with VBA's rules: the
// text form of a number, numbers read from text (strictly, and Val's
// leading-number reading), decimal rounding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rvz::data::jet {

// VBA's CStr of a Double: up to 15 significant digits, exponent form
// "1E+20" / "1E-05" outside 1E-5 .. 1E15.
std::string numberText(double d);

// A whole text as a number: blanks around, an optional sign, digits with
// optional thousands separators, a fraction, an exponent (E or D), or
// &H / &O forms. False when the text is not a number.
bool parseNumber(std::string_view text, double& out);

// Val: the number at the start of the text, blanks anywhere ignored; 0 when
// there is none.
double leadingNumber(std::string_view text);

// The decimal digits of |v| to `decimals` places, rounded on its 15
// significant digits: half away from zero, or half to even when `bankers`.
struct DecimalDigits {
  std::string whole;     // at least "0"
  std::string fraction;  // exactly `decimals` digits
  bool isZero() const;
};
DecimalDigits decimalDigits(double v, int decimals, bool bankers);

// VBA's Round(v, decimals): half to even on the decimal digits.
double roundBankers(double v, int decimals);

}  // namespace rvz::data::jet
