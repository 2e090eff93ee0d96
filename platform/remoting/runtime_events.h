// What the object runtime and its server report about their work as it
// happens: sessions, objects and calls, for the host's operational log and
// metrics. The runtime knows nothing of either; it only tells.
//
// The calls come from gRPC threads, the main thread and object threads,
// some while the runtime holds its own lock: an implementation keeps to its
// own short locks (taken after the runtime's) and never calls back into the
// runtime.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/remoting/error_info.h"
#include "platform/remoting/type_library.h"

namespace rvz::remoting {

struct CallReport {
  std::string_view session;
  uint64_t object = 0;
  std::string_view method;  // the member's name, or "CreateObject", "Release" ...
  HRESULT hresult = S_OK;
  const ErrorInfo* error = nullptr;  // set for a failure
  std::chrono::nanoseconds elapsed{0};
};

class RuntimeEvents {
 public:
  virtual ~RuntimeEvents() = default;
  virtual void sessionOpened(std::string_view session, std::string_view peer) = 0;
  virtual void sessionEnded(std::string_view session, std::string_view peer, std::string_view reason) = 0;
  virtual void objectCreated(std::string_view session, uint64_t object, const ClassDesc& cls) = 0;
  virtual void objectDestroyed(std::string_view session, uint64_t object, const ClassDesc& cls) = 0;
  // Every answered request that names a member or creates an object.
  virtual void callDone(const CallReport& call) = 0;
  // A request turned away before it reached a session: a missing or wrong
  // token, or a session the server cannot open.
  virtual void requestRefused(std::string_view peer, std::string_view reason) = 0;
};

}  // namespace rvz::remoting
