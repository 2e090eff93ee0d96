// The seven IAppServer operations by dispatch id, shared by the dispatch of
// both service classes: arguments in parameter order, already converted to
// their declared kinds.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/remoting/type_library.h"
#include "platform/variant/variant.h"
#include "services/provider_host.h"

namespace rvz::services {

// Runs the operation on the host when `dispid` is one of the seven and
// returns true; false for any other id. Failures throw.
bool invokeProviderOperation(ProviderHost& host, int32_t dispid, std::vector<Variant>& args, Variant& result);

}  // namespace rvz::services
