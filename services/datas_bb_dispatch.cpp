// Dispatch of IDatasBb onto TDatasBb; failures leave here as a status with
// error information naming Quib.DatasBb and IDatasBb, and the object stays
// usable.
#include "services/datas_bb_dispatch.h"

#include "platform/remoting/type_library.h"
#include "services/provider_dispatch.h"

namespace rvz::services {

namespace {
constexpr int32_t kSetFilter = 1;
}  // namespace

HRESULT DatasBbDispatch::invoke(int32_t dispid, std::vector<Variant>& a, Variant& result, ErrorInfo& error) {
  const auto& cls = remoting::datasBbClass();
  return guardOperation(text::utf8ToWide(cls.progId), std::string(cls.iface->iid), error, [&] {
    TDatasBb& b = *datasBb_;
    if (invokeProviderOperation(b.host(), dispid, a, result)) return;
    if (dispid == kSetFilter) return b.SetFilter(a[0]);
    throw ComError(DISP_E_MEMBERNOTFOUND, "Unknown dispatch id " + std::to_string(dispid));
  });
}

}  // namespace rvz::services
