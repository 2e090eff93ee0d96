// Variant byte form. Layout (all little-endian):
//   u16 vt, then by kind: I1/UI1 1 byte; I2/UI2/BOOL 2; I4/UI4/ERROR/R4 4;
//   I8/R8/DATE/CY 8; BSTR u32 code-unit count + UTF-16LE; DECIMAL u8 scale,
//   u8 sign (0/1), u32 hi, u64 lo. Arrays: u16 dimension count, then per
//   dimension i32 lower bound and u32 count, then the elements in storage
//   order, each as its element kind's value without tag (VT_VARIANT
//   elements carry a whole variant with tag).
#include "platform/variant/variant_wire.h"

#include <cstring>

namespace rvz {

namespace {

template <class T>
void put(std::string& out, T v) {
  char b[sizeof(T)];
  std::memcpy(b, &v, sizeof(T));  // the platforms we run on are little-endian
  out.append(b, sizeof(T));
}

void putValue(std::string& out, const Variant& v, uint16_t kind);

void putArrayBounds(std::string& out, const SafeArray& a) {
  put<uint16_t>(out, static_cast<uint16_t>(a.dims()));
  for (const auto& b : a.bounds()) {
    put<int32_t>(out, b.lowerBound);
    put<uint32_t>(out, b.count);
  }
}

void putScalar(std::string& out, const Variant& v, uint16_t kind) {
  switch (kind) {
    case VT_EMPTY:
    case VT_NULL: break;
    case VT_I1: put<int8_t>(out, static_cast<int8_t>(v.intValue())); break;
    case VT_UI1: put<uint8_t>(out, static_cast<uint8_t>(v.intValue())); break;
    case VT_I2: put<int16_t>(out, static_cast<int16_t>(v.intValue())); break;
    case VT_UI2: put<uint16_t>(out, static_cast<uint16_t>(v.intValue())); break;
    case VT_BOOL: put<int16_t>(out, v.boolValue() ? -1 : 0); break;
    case VT_I4: put<int32_t>(out, static_cast<int32_t>(v.intValue())); break;
    case VT_UI4: put<uint32_t>(out, static_cast<uint32_t>(v.intValue())); break;
    case VT_ERROR: put<int32_t>(out, v.errorValue()); break;
    case VT_R4: put<float>(out, static_cast<float>(v.realValue())); break;
    case VT_I8: put<int64_t>(out, v.intValue()); break;
    case VT_R8:
    case VT_DATE: put<double>(out, v.realValue()); break;
    case VT_CY: put<int64_t>(out, v.cyValue().scaled); break;
    case VT_BSTR: {
      const WString& s = v.bstrValue();
      put<uint32_t>(out, static_cast<uint32_t>(s.size()));
      for (char16_t c : s) put<uint16_t>(out, c);
      break;
    }
    case VT_DECIMAL: {
      const Decimal& d = v.decimalValue();
      put<uint8_t>(out, d.scale);
      put<uint8_t>(out, d.negative ? 1 : 0);
      put<uint32_t>(out, d.hi32);
      put<uint64_t>(out, d.lo64);
      break;
    }
    default: throw VariantError(kEInvalidArg, "Cannot encode a variant of kind " + varTypeName(kind));
  }
}

void putValue(std::string& out, const Variant& v, uint16_t kind) {
  if (!(kind & VT_ARRAY)) {
    putScalar(out, v, kind);
    return;
  }
  const SafeArray& a = v.arrayValue();
  putArrayBounds(out, a);
  if (a.elementType() == VT_UI1) {
    out.append(reinterpret_cast<const char*>(a.byteData().data()), a.byteData().size());
  } else if (a.elementType() == VT_VARIANT) {
    for (const auto& e : a.items()) encodeVariant(e, out);
  } else {
    for (const auto& e : a.items()) putScalar(out, e, a.elementType());
  }
}

class Reader {
 public:
  Reader(std::string_view b, const VariantWireLimits& l) : b_(b), limits_(l) {}

  template <class T>
  T get(const char* what) {
    if (b_.size() - pos_ < sizeof(T)) fail(std::string("truncated ") + what);
    T v;
    std::memcpy(&v, b_.data() + pos_, sizeof(T));
    pos_ += sizeof(T);
    return v;
  }

  size_t left() const { return b_.size() - pos_; }
  [[noreturn]] void fail(const std::string& why) const {
    throw VariantError(kEInvalidArg, "Invalid variant data at byte " + std::to_string(pos_) + ": " + why);
  }

  Variant variant(size_t depth) {
    uint16_t vt = get<uint16_t>("kind");
    if (vt & VT_ARRAY) return array(static_cast<uint16_t>(vt & ~VT_ARRAY), depth);
    if (vt == VT_VARIANT) fail("a variant cannot hold a bare VT_VARIANT");
    return scalar(vt);
  }

  // Minimum bytes one element of a kind occupies, to bound counts by input.
  static size_t minSize(uint16_t kind) {
    switch (kind) {
      case VT_I1:
      case VT_UI1: return 1;
      case VT_I2:
      case VT_UI2:
      case VT_BOOL:
      case VT_VARIANT: return 2;
      case VT_I4:
      case VT_UI4:
      case VT_ERROR:
      case VT_R4:
      case VT_BSTR: return 4;
      case VT_I8:
      case VT_R8:
      case VT_DATE:
      case VT_CY: return 8;
      case VT_DECIMAL: return 14;
      default: return 0;
    }
  }

  Variant scalar(uint16_t vt) {
    switch (vt) {
      case VT_EMPTY: return Variant();
      case VT_NULL: return Variant::null();
      case VT_I1: return Variant::i1(get<int8_t>("I1"));
      case VT_UI1: return Variant::ui1(get<uint8_t>("UI1"));
      case VT_I2: return Variant::i2(get<int16_t>("I2"));
      case VT_UI2: return Variant::ui2(get<uint16_t>("UI2"));
      case VT_BOOL: {
        int16_t b = get<int16_t>("BOOL");
        if (b != 0 && b != -1) fail("BOOL must be -1 or 0");
        return Variant::boolean(b != 0);
      }
      case VT_I4: return Variant::i4(get<int32_t>("I4"));
      case VT_UI4: return Variant::ui4(get<uint32_t>("UI4"));
      case VT_ERROR: return Variant::error(get<int32_t>("ERROR"));
      case VT_R4: return Variant::r4(get<float>("R4"));
      case VT_I8: return Variant::i8(get<int64_t>("I8"));
      case VT_R8: return Variant::r8(get<double>("R8"));
      case VT_DATE: return Variant::date(get<double>("DATE"));
      case VT_CY: return Variant::cy(Currency{get<int64_t>("CY")});
      case VT_BSTR: {
        uint32_t n = get<uint32_t>("BSTR length");
        if (n > left() / 2) fail("BSTR length " + std::to_string(n) + " exceeds the data");
        WString s(n, u'\0');
        for (uint32_t i = 0; i < n; ++i) s[i] = get<uint16_t>("BSTR");
        return Variant::bstr(std::move(s));
      }
      case VT_DECIMAL: {
        Decimal d;
        d.scale = get<uint8_t>("DECIMAL scale");
        uint8_t sign = get<uint8_t>("DECIMAL sign");
        d.hi32 = get<uint32_t>("DECIMAL");
        d.lo64 = get<uint64_t>("DECIMAL");
        if (d.scale > 28) fail("DECIMAL scale above 28");
        if (sign > 1) fail("DECIMAL sign must be 0 or 1");
        d.negative = sign == 1;
        return Variant::decimal(d);
      }
      default: fail("unknown variant kind " + std::to_string(vt));
    }
  }

  Variant array(uint16_t elem, size_t depth) {
    if (depth >= limits_.maxDepth) fail("arrays nested deeper than " + std::to_string(limits_.maxDepth));
    size_t esize = minSize(elem);
    if (esize == 0) fail("arrays cannot hold elements of kind " + std::to_string(elem));
    uint16_t dims = get<uint16_t>("array dimensions");
    if (dims == 0 || dims > limits_.maxDimensions) fail("bad array dimension count " + std::to_string(dims));
    std::vector<ArrayBound> bounds(dims);
    uint64_t total = 1;
    for (auto& b : bounds) {
      b.lowerBound = get<int32_t>("array bound");
      b.count = get<uint32_t>("array count");
      total *= b.count;
      if (total > left()) fail("array of " + std::to_string(total) + " elements exceeds the data");
      if (b.count > 0 && static_cast<int64_t>(b.lowerBound) + b.count - 1 > INT32_MAX)
        fail("array bounds out of range");
    }
    if (total * esize > left()) fail("array of " + std::to_string(total) + " elements exceeds the data");
    if (elem == VT_UI1) {
      const auto* p = reinterpret_cast<const uint8_t*>(b_.data() + pos_);
      SafeArray a(VT_UI1, bounds);
      a.byteData().assign(p, p + total);
      pos_ += total;
      return Variant::array(std::move(a));
    }
    SafeArray a(static_cast<VarType>(elem), bounds);
    for (size_t i = 0; i < total; ++i) a.set(i, elem == VT_VARIANT ? variant(depth + 1) : scalar(elem));
    return Variant::array(std::move(a));
  }

 private:
  std::string_view b_;
  size_t pos_ = 0;
  const VariantWireLimits& limits_;
};

}  // namespace

void encodeVariant(const Variant& v, std::string& out) {
  put<uint16_t>(out, v.vt());
  putValue(out, v, v.vt());
}

void encodeArrayHead(const Variant& v, std::string& out) {
  put<uint16_t>(out, v.vt());
  putArrayBounds(out, v.arrayValue());
}

std::string encodeVariant(const Variant& v) {
  std::string out;
  encodeVariant(v, out);
  return out;
}

Variant decodeVariant(std::string_view bytes, const VariantWireLimits& limits) {
  Reader r(bytes, limits);
  Variant v = r.variant(0);
  if (r.left() != 0) r.fail(std::to_string(r.left()) + " bytes after the variant");
  return v;
}

}  // namespace rvz
