// Dispatch of the IAppServer operations onto a provider host.
#include "services/provider_dispatch.h"

namespace rvz::services {

using namespace remoting;  // the IAppServer dispatch ids

namespace {
const WString& str(const Variant& v) { return v.bstrValue(); }
int32_t i4(const Variant& v) { return static_cast<int32_t>(v.intValue()); }
}  // namespace

bool invokeProviderOperation(ProviderHost& h, int32_t dispid, std::vector<Variant>& a, Variant& result) {
  switch (dispid) {
    case kApplyUpdates: {
      int32_t errorCount = 0;
      result = h.AS_ApplyUpdates(str(a[0]), a[1], i4(a[2]), errorCount, a[4]);
      a[3] = Variant::i4(errorCount);
      return true;
    }
    case kGetRecords: {
      int32_t recsOut = 0;
      result = h.AS_GetRecords(str(a[0]), i4(a[1]), recsOut, i4(a[3]), str(a[4]), a[5], a[6]);
      a[2] = Variant::i4(recsOut);
      return true;
    }
    case kDataRequest: result = h.AS_DataRequest(str(a[0]), a[1]); return true;
    case kGetProviderNames: result = h.AS_GetProviderNames(); return true;
    case kGetParams: result = h.AS_GetParams(str(a[0]), a[1]); return true;
    case kRowRequest: result = h.AS_RowRequest(str(a[0]), a[1], i4(a[2]), a[3]); return true;
    case kExecute: h.AS_Execute(str(a[0]), str(a[1]), a[2], a[3]); return true;
    default: return false;
  }
}

}  // namespace rvz::services
