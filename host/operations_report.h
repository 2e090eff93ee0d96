// The server's work as the people who run it see it: every session opened
// and ended (with the peer), every object created and released, every
// failure returned to a client (HRESULT, source, text) and every slow call
// become lines of the operational log.
#pragma once

#include <chrono>

#include "platform/remoting/runtime_events.h"

namespace rvz::host {

// "0x80004005".
std::string hresultText(HRESULT hr);

class OperationsReport final : public remoting::RuntimeEvents {
 public:
  // A call that takes `slowCall` or longer is logged as slow.
  explicit OperationsReport(std::chrono::nanoseconds slowCall) : slowCall_(slowCall) {}

  void sessionOpened(std::string_view session, std::string_view peer) override;
  void sessionEnded(std::string_view session, std::string_view peer, std::string_view reason) override;
  void objectCreated(std::string_view session, uint64_t object, const remoting::ClassDesc& cls) override;
  void objectDestroyed(std::string_view session, uint64_t object, const remoting::ClassDesc& cls) override;
  void callDone(const remoting::CallReport& call) override;
  void requestRefused(std::string_view peer, std::string_view reason) override;

 private:
  std::chrono::nanoseconds slowCall_;
};

}  // namespace rvz::host
