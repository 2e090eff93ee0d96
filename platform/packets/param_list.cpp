// Reading, packing and comparing parameter lists.
#include "platform/packets/param_list.h"

#include "platform/packets/codec.h"
#include "platform/text/text.h"

namespace rvz::packets {

namespace {

bool knownDataType(int32_t t) {
  switch (t) {
    case kParamUnknown:
    case kParamString:
    case kParamSmallInt:
    case kParamInteger:
    case kParamBoolean:
    case kParamFloat:
    case kParamCurrency:
    case kParamDecimal:
    case kParamDate:
    case kParamTime:
    case kParamDateTime:
    case kParamAutoInc:
    case kParamBlob:
    case kParamMemo:
    case kParamWideString: return true;
    default: return false;
  }
}

// Element k of a one-dimensional array, whatever its lower bound.
Variant element(const SafeArray& a, size_t k) { return a.get(k); }

std::string paramLabel(size_t i, const WString& name) {
  std::string s = "parameter " + std::to_string(i + 1);
  if (!name.empty()) s += " '" + detail::printable(text::wideToUtf8(name)) + "'";
  return s;
}

int32_t intElement(const SafeArray& a, size_t k, const char* what, const std::string& label) {
  try {
    return element(a, k).toInt32();
  } catch (const VariantError& e) {
    throw PacketError(label + " has a bad " + what + ": " + e.what());
  }
}

}  // namespace

int32_t paramTypeOfValue(const Variant& v) {
  switch (v.vt()) {
    case VT_I1:
    case VT_I2:
    case VT_UI1: return kParamSmallInt;
    case VT_UI2:
    case VT_I4: return kParamInteger;
    case VT_R4:
    case VT_R8: return kParamFloat;
    case VT_CY: return kParamCurrency;
    case VT_DECIMAL: return kParamDecimal;
    case VT_DATE: return kParamDateTime;
    case VT_BOOL: return kParamBoolean;
    case VT_BSTR: return kParamWideString;
    default: return kParamUnknown;
  }
}

ParamList readParamList(const Variant& v) {
  ParamList out;
  if (!v.isArray()) return out;
  const SafeArray& list = v.arrayValue();
  if (list.dims() != 1)
    throw PacketError("a parameter list must have one dimension, not " + std::to_string(list.dims()));
  if (list.size() == 0 || !element(list, 0).isArray()) return out;
  out.reserve(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    Variant item = element(list, i);
    if (!item.isArray())
      throw PacketError("parameter " + std::to_string(i + 1) + " is " + varTypeName(item.vt()) + ", not an array");
    const SafeArray& a = item.arrayValue();
    if (a.dims() != 1)
      throw PacketError("parameter " + std::to_string(i + 1) + " has " + std::to_string(a.dims()) + " dimensions");
    if (a.size() < 2)
      throw PacketError("parameter " + std::to_string(i + 1) + " has " + std::to_string(a.size()) +
                        " values; name and value at least are needed");
    Param p;
    try {
      p.name = element(a, 0).toText();
    } catch (const VariantError& e) {
      throw PacketError("parameter " + std::to_string(i + 1) + " has a bad name: " + e.what());
    }
    std::string label = paramLabel(i, p.name);
    size_t n = a.size() < 7 ? a.size() : 7;
    p.given = static_cast<uint8_t>(n);
    if (n > 2) {
      p.dataType = intElement(a, 2, "data type", label);
      if (!knownDataType(p.dataType)) throw PacketError(label + " has unknown data type " + std::to_string(p.dataType));
    }
    if (n > 3) {
      p.direction = intElement(a, 3, "direction", label);
      if (p.direction < kDirUnknown || p.direction > kDirResult)
        throw PacketError(label + " has unknown direction " + std::to_string(p.direction));
    }
    if (n > 4) p.size = intElement(a, 4, "size", label);
    if (n > 5) p.precision = intElement(a, 5, "precision", label);
    if (n > 6) p.scale = intElement(a, 6, "scale", label);
    p.value = element(a, 1);
    if (p.dataType == kParamUnknown) p.dataType = paramTypeOfValue(p.value);
    out.push_back(std::move(p));
  }
  return out;
}

Variant packParamList(const ParamList& params) {
  if (params.empty()) return Variant::null();
  std::vector<Variant> items;
  items.reserve(params.size());
  for (const Param& p : params) {
    std::vector<Variant> e{Variant::bstr(p.name),   p.value,
                           Variant::i4(p.dataType), Variant::i4(p.direction),
                           Variant::i4(p.size),     Variant::i4(p.precision),
                           Variant::i4(p.scale)};
    items.emplace_back(SafeArray::variants(std::move(e)));
  }
  return Variant::array(SafeArray::variants(std::move(items)));
}

bool sameParamList(const ParamList& a, const ParamList& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const Param& x = a[i];
    const Param& y = b[i];
    if (x.name != y.name || !x.value.sameKindAndValue(y.value) || x.dataType != y.dataType ||
        x.isNull() != y.isNull() || x.bound() != y.bound() || x.direction != y.direction)
      return false;
  }
  return true;
}

}  // namespace rvz::packets
