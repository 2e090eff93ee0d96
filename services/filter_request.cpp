// Reading SetFilter's argument.
#include "services/filter_request.h"

#include "platform/remoting/error_info.h"
#include "platform/text/text.h"

namespace rvz::services {

FilterRequest readFilterRequest(const Variant& filter) {
  static constexpr const char* kShape = "SetFilter expects an array of a dataset name and a filter";
  if (!filter.isArray()) throw ComError(E_INVALIDARG, kShape);
  const SafeArray& a = filter.arrayValue();
  if (a.dims() != 1 || a.size() < 2) throw ComError(E_INVALIDARG, kShape);
  int32_t lb = a.bounds()[0].lowerBound;
  int32_t i0[] = {lb}, i1[] = {lb + 1};
  return {text::wideToUtf8(a.get(i0).toText()), text::wideToUtf8(a.get(i1).toText())};
}

void throwComponentNotFound(const std::string& name) {
  throw ComError(E_INVALIDARG, "Component '" + name + "' not found");
}

}  // namespace rvz::services
