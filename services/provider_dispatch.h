// The seven IAppServer operations by dispatch id, shared by the dispatch of
// both service classes: arguments in parameter order, already converted to
// their declared kinds.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/variant/variant.h"
#include "services/provider_host.h"

namespace rvz::services {

enum AppServerDispid : int32_t {
  kApplyUpdates = 20000000,
  kGetRecords = 20000001,
  kDataRequest = 20000002,
  kGetProviderNames = 20000003,
  kGetParams = 20000004,
  kRowRequest = 20000005,
  kExecute = 20000006,
};

// Runs the operation on the host when `dispid` is one of the seven and
// returns true; false for any other id. Failures throw.
bool invokeProviderOperation(ProviderHost& host, int32_t dispid, std::vector<Variant>& args, Variant& result);

}  // namespace rvz::services
