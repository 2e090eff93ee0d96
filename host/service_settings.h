// The settings of the server as a service, read from the environment at
// start: how long calls in progress may run on after a stop signal
// (RVZ_DRAIN_SECONDS), the operational log's level (RVZ_LOG_LEVEL) and file
// (RVZ_LOG_FILE), the time from which a call counts as slow
// (RVZ_SLOW_CALL_SECONDS), and whether the activity log's entries are
// mirrored into the operational log (RVZ_LOG_ACTIVITY), and where the
// Prometheus metrics are served (RVZ_METRICS, checked with the endpoint's
// security settings by metricsEndpointSetting).
#pragma once

#include <chrono>
#include <string>

#include "platform/oplog/operations_log.h"
#include "platform/remoting/endpoint.h"

namespace rvz::host {

struct ServiceSettings {
  std::chrono::milliseconds drain{10000};
  oplog::Level logLevel = oplog::Level::Info;
  std::string logFile;  // empty: standard error, or the home's log in a platform start
  std::chrono::milliseconds slowCall{2000};
  bool mirrorActivity = false;
  std::string metrics;  // RVZ_METRICS as given: "host:port" of the metrics endpoint, empty: none

  // Throws ComError (E_INVALIDARG) naming the variable and what it takes.
  static ServiceSettings fromEnvironment(const remoting::Environment& env);
  static ServiceSettings fromEnvironment();
};

// "2.5" seconds as a duration between 0 and `maxSeconds`. Throws ComError
// (E_INVALIDARG) naming `what` for anything else.
std::chrono::milliseconds parseSeconds(std::string_view what, std::string_view text, double maxSeconds);

}  // namespace rvz::host
