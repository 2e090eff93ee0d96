// Dispatch of IDatasBb onto TDatasBb; failures leave here as a status with
// error information naming Quib.DatasBb and IDatasBb, and the object stays
// usable.
#include "services/datas_bb_dispatch.h"

#include "services/provider_dispatch.h"
#include "services/quib_type_library.h"

namespace rvz::services {

HRESULT DatasBbDispatch::invoke(int32_t dispid, std::vector<Variant>& a, Variant& result, ErrorInfo& error) {
  const auto& cls = datasBbClass();
  return guardOperation(text::utf8ToWide(cls.progId), std::string(cls.iface->iid), error, [&] {
    TDatasBb& b = *datasBb_;
    if (invokeProviderOperation(b.host(), dispid, a, result)) return;
    if (dispid == kSetFilter) return b.SetFilter(a[0]);
    throw ComError(DISP_E_MEMBERNOTFOUND, "Unknown dispatch id " + std::to_string(dispid));
  });
}

}  // namespace rvz::services
