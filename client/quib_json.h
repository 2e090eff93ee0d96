// Variants in the JSON of the quib tool: null is Null, {"empty": true} is
// Empty, integers are I4 (I8, then R8, when they do not fit), other numbers
// R8, strings BSTR, true/false BOOL, arrays one-dimensional variant arrays
// with lower bound 0, and typed forms such as {"i2": 5}, {"cy": "12.3400"},
// {"decimal": "123.45"}, {"date": "2008-08-30T14:25:00"}, {"bytes": "..."}
// (base64) and {"array": {"type": "i4", "bounds": [[1, 2]], "items": [...]}}
// for arrays of another shape.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/variant/variant.h"

namespace rvz::client {

// Reads a variant; throws ComError (E_INVALIDARG) whose text starts with
// `where` ("args[2]") and says what is wrong.
Variant variantFromJson(const nlohmann::json& j, const std::string& where);
nlohmann::ordered_json variantToJson(const Variant& v);

std::string base64Encode(const std::vector<uint8_t>& bytes);
// Strict: padding only at the end, no other characters. Throws ComError.
std::vector<uint8_t> base64Decode(std::string_view text, const std::string& where);

// "2008-08-30T14:25:00", with ".123" when there are milliseconds.
std::string formatIsoDate(double oleDate);
// "yyyy-mm-dd", optionally followed by "T" or " " and "hh:mm[:ss[.fff]]".
double parseIsoDate(std::string_view text, const std::string& where);

}  // namespace rvz::client
