// Late-bound dispatch: the interface a service object implements, and the
// checks the runtime makes before a call reaches it — the member must exist,
// the argument count must match, and each argument is converted to its
// declared kind — the way the platform's type-library dispatch does.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/remoting/error_info.h"
#include "platform/remoting/type_library.h"
#include "platform/variant/variant.h"

namespace rvz::remoting {

// A service object reached by dispatch id. `args` holds every parameter of
// the method except the return value, in parameter order; the runtime has
// already converted in and in-out arguments to their declared kinds and set
// out arguments to an empty value of theirs. The object writes its out and
// in-out arguments back into `args` and its return value into `result`. A
// failure is returned as its status with `error` filled in (the runtime
// fills in what the object leaves empty). Calls arrive on the object's own
// thread, one at a time.
class DispatchObject {
 public:
  virtual ~DispatchObject() = default;
  virtual HRESULT invoke(int32_t dispid, std::vector<Variant>& args, Variant& result, ErrorInfo& error) = 0;
};

// The identity a failure is reported under: the class's ProgID as source and
// the interface's GUID.
struct DispatchIdentity {
  const ClassDesc* cls = nullptr;
  const InterfaceDesc* iface = nullptr;
  text::WString source() const;
  std::string interfaceId() const;
};

// Where an argument check failed: `argError` is the position (in parameter
// order) of the argument that could not be converted, -1 otherwise.
struct CallCheck {
  HRESULT hr = S_OK;
  int32_t argError = -1;
  const MethodDesc* method = nullptr;
};

// Finds the member and checks and converts `args` for it. On failure the
// status is returned with `error` filled in.
CallCheck prepareCall(const DispatchIdentity& id, int32_t dispid, std::vector<Variant>& args, ErrorInfo& error);

// Runs a prepared call on the object, mapping anything it throws to error
// information, and completes what the object left out of `error`.
HRESULT runCall(const DispatchIdentity& id, DispatchObject& object, const MethodDesc& method,
                std::vector<Variant>& args, Variant& result, ErrorInfo& error) noexcept;

// GetIDsOfNames: names[0] is a member, the others are its parameters; each
// id is the member's dispatch id or the parameter's position, -1 where a
// name is unknown (the status is then DISP_E_UNKNOWNNAME).
HRESULT idsOfNames(const DispatchIdentity& id, std::span<const std::string> names, std::vector<int32_t>& ids,
                   ErrorInfo& error);

}  // namespace rvz::remoting
