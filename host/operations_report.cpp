// Runtime events as lines of the operational log.
#include "host/operations_report.h"

#include <cstdio>
#include <string>

#include "platform/oplog/operations_log.h"
#include "platform/text/text.h"

namespace rvz::host {

std::string hresultText(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

void OperationsReport::sessionOpened(std::string_view session, std::string_view peer) {
  oplog::info("session opened", {{"session", session}, {"peer", peer}});
}

void OperationsReport::sessionEnded(std::string_view session, std::string_view peer, std::string_view reason) {
  oplog::info("session ended", {{"session", session}, {"peer", peer}, {"reason", reason}});
}

void OperationsReport::objectCreated(std::string_view session, uint64_t object, const remoting::ClassDesc& cls) {
  oplog::info("object created", {{"session", session}, {"object", std::to_string(object)}, {"class", cls.progId}});
}

void OperationsReport::objectDestroyed(std::string_view session, uint64_t object, const remoting::ClassDesc& cls) {
  oplog::info("object released", {{"session", session}, {"object", std::to_string(object)}, {"class", cls.progId}});
}

void OperationsReport::requestRefused(std::string_view peer, std::string_view reason) {
  oplog::warning("request refused", {{"peer", peer}, {"reason", reason}});
}

void OperationsReport::callDone(const remoting::CallReport& call) {
  if (!call.error && call.elapsed < slowCall_) return;  // the common case logs nothing
  const std::string object = std::to_string(call.object);
  if (call.error) {
    oplog::warning("call failed", {{"session", call.session},
                                   {"object", object},
                                   {"method", call.method},
                                   {"hresult", hresultText(call.hresult)},
                                   {"source", text::wideToUtf8(call.error->source)},
                                   {"text", text::wideToUtf8(call.error->description)}});
  }
  if (call.elapsed >= slowCall_) {
    const double seconds = std::chrono::duration<double>(call.elapsed).count();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", seconds);
    oplog::warning("slow call",
                   {{"session", call.session}, {"object", object}, {"method", call.method}, {"seconds", buf}});
  }
}

}  // namespace rvz::host
