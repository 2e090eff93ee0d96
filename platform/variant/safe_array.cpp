// SAFEARRAY storage: dimensions with lower bounds, elements with the first
// index varying fastest, byte arrays kept as plain bytes.
#include <limits>

#include "platform/variant/variant.h"

namespace rvz {

namespace {

Variant zeroOf(VarType t) {
  switch (t) {
    case VT_VARIANT: return Variant();
    case VT_BSTR: return Variant::bstr(WString());
    default: return Variant::i4(0).changeType(t);
  }
}

}  // namespace

SafeArray::SafeArray(VarType elementType, std::vector<ArrayBound> bounds)
    : elementType_(elementType), bounds_(std::move(bounds)) {
  switch (elementType) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_ERROR:
    case VT_BOOL:
    case VT_VARIANT:
    case VT_DECIMAL: break;
    default: throw VariantError(kEInvalidArg, "Arrays cannot hold elements of kind " + varTypeName(elementType));
  }
  if (bounds_.empty()) throw VariantError(kEInvalidArg, "An array needs at least one dimension");
  size_t n = 1;
  for (const auto& b : bounds_) {
    if (b.count != 0 && n > std::numeric_limits<uint32_t>::max() / b.count)
      throw VariantError(kEInvalidArg, "Array too large");
    n *= b.count;
    if (static_cast<int64_t>(b.lowerBound) + b.count - 1 > std::numeric_limits<int32_t>::max() && b.count > 0)
      throw VariantError(kEInvalidArg, "Array bounds out of range");
  }
  size_ = n;
  if (elementType_ == VT_UI1) {
    bytes_.assign(n, 0);
  } else if (n > 0) {
    Variant z = zeroOf(elementType_);
    items_.assign(n, z);
  }
}

SafeArray SafeArray::vector(VarType elementType, uint32_t count, int32_t lowerBound) {
  return SafeArray(elementType, {ArrayBound{lowerBound, count}});
}

SafeArray SafeArray::bytes(std::vector<uint8_t> data, int32_t lowerBound) {
  if (data.size() > std::numeric_limits<uint32_t>::max()) throw VariantError(kEInvalidArg, "Array too large");
  SafeArray a(VT_UI1, {ArrayBound{lowerBound, 0}});
  a.bounds_[0].count = static_cast<uint32_t>(data.size());
  a.size_ = data.size();
  a.bytes_ = std::move(data);
  return a;
}

SafeArray SafeArray::variants(std::vector<Variant> items, int32_t lowerBound) {
  if (items.size() > std::numeric_limits<uint32_t>::max()) throw VariantError(kEInvalidArg, "Array too large");
  SafeArray a(VT_VARIANT, {ArrayBound{lowerBound, 0}});
  a.bounds_[0].count = static_cast<uint32_t>(items.size());
  a.size_ = items.size();
  a.items_ = std::move(items);
  return a;
}

Variant SafeArray::get(size_t flat) const {
  if (flat >= size_) throw VariantError(kDispBadIndex, "Array index out of bounds");
  if (elementType_ == VT_UI1) return Variant::ui1(bytes_[flat]);
  return items_[flat];
}

void SafeArray::set(size_t flat, const Variant& v) {
  if (flat >= size_) throw VariantError(kDispBadIndex, "Array index out of bounds");
  if (elementType_ == VT_UI1) {
    bytes_[flat] = static_cast<uint8_t>(v.changeType(VT_UI1).intValue());
  } else if (elementType_ == VT_VARIANT) {
    items_[flat] = v;
  } else {
    items_[flat] = v.changeType(elementType_);
  }
}

size_t SafeArray::flatIndex(std::span<const int32_t> indices) const {
  if (indices.size() != bounds_.size())
    throw VariantError(kDispBadIndex, "Array needs " + std::to_string(bounds_.size()) + " indices");
  size_t flat = 0, stride = 1;
  for (size_t d = 0; d < bounds_.size(); ++d) {
    int64_t off = static_cast<int64_t>(indices[d]) - bounds_[d].lowerBound;
    if (off < 0 || off >= static_cast<int64_t>(bounds_[d].count))
      throw VariantError(kDispBadIndex, "Array index out of bounds");
    flat += static_cast<size_t>(off) * stride;
    stride *= bounds_[d].count;
  }
  return flat;
}

Variant SafeArray::get(std::span<const int32_t> indices) const { return get(flatIndex(indices)); }

void SafeArray::set(std::span<const int32_t> indices, const Variant& v) { set(flatIndex(indices), v); }

bool SafeArray::operator==(const SafeArray& o) const {
  if (elementType_ != o.elementType_ || bounds_ != o.bounds_) return false;
  if (elementType_ == VT_UI1) return bytes_ == o.bytes_;
  for (size_t i = 0; i < items_.size(); ++i)
    if (!items_[i].sameKindAndValue(o.items_[i])) return false;
  return true;
}

}  // namespace rvz
