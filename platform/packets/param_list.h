// Parameter lists as clients send them and servers return them: a variant
// array of seven-element arrays (name, value, data type, direction, size,
// precision, scale), read with the tolerances clients rely on and compared
// the way a provider decides whether a list changed.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/packets/packet.h"

namespace rvz::packets {

// Parameter data types (the field type numbering).
enum ParamDataType : int32_t {
  kParamUnknown = 0,
  kParamString = 1,
  kParamSmallInt = 2,
  kParamInteger = 3,
  kParamBoolean = 5,
  kParamFloat = 6,
  kParamCurrency = 7,
  kParamDecimal = 8,
  kParamDate = 9,
  kParamTime = 10,
  kParamDateTime = 11,
  kParamAutoInc = 14,
  kParamBlob = 15,
  kParamMemo = 16,
  kParamWideString = 24,
};

enum ParamDirection : int32_t {
  kDirUnknown = 0,
  kDirInput = 1,
  kDirOutput = 2,
  kDirInputOutput = 3,
  kDirResult = 4,
};

struct Param {
  WString name;
  Variant value;
  int32_t dataType = kParamUnknown;
  int32_t direction = kDirUnknown;
  int32_t size = 0;
  int32_t precision = 0;
  int32_t scale = 0;
  // How many of the seven elements the client sent (2..7); those after it
  // kept their defaults.
  uint8_t given = 7;

  bool isNull() const { return value.isEmptyOrNull(); }
  // A value was assigned (anything but Empty).
  bool bound() const { return !value.isEmpty(); }
};

using ParamList = std::vector<Param>;

// Reads a client's parameter list. A null, a non-array, an empty array or
// an array whose first element is not itself an array is an empty list.
// Otherwise every element must be an array of at least name and value.
// Since the value is applied last, a parameter left with data type unknown
// takes the type of its value's kind. Throws PacketError naming the
// parameter and what is wrong.
ParamList readParamList(const Variant& v);

// A one-dimensional variant array (lower bound 0) of seven-element variant
// arrays; a null variant for an empty list.
Variant packParamList(const ParamList& params);

// Same count and, position by position, the same name (letter case counts),
// the same value of the same variant kind, data type, null-ness, bound state
// and direction. Size, precision and scale do not take part.
bool sameParamList(const ParamList& a, const ParamList& b);

// The data type a value of this variant kind gives a parameter of unknown type.
int32_t paramTypeOfValue(const Variant& v);

}  // namespace rvz::packets
