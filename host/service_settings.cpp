// Reading the service settings from the environment.
#include "host/service_settings.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "platform/remoting/error_info.h"

namespace rvz::host {

std::chrono::milliseconds parseSeconds(std::string_view what, std::string_view text, double maxSeconds) {
  std::string s(text);
  char* end = nullptr;
  double v = s.empty() ? -1 : std::strtod(s.c_str(), &end);
  if (s.empty() || end != s.c_str() + s.size() || !std::isfinite(v) || v < 0 || v > maxSeconds ||
      s.find_first_not_of("0123456789.") != std::string::npos)
    throw ComError(E_INVALIDARG, std::string(what) + "=\"" + s + "\" is not a number of seconds between 0 and " +
                                     std::to_string(static_cast<long>(maxSeconds)));
  return std::chrono::milliseconds(static_cast<long long>(std::llround(v * 1000)));
}

ServiceSettings ServiceSettings::fromEnvironment(const remoting::Environment& env) {
  auto get = [&env](const char* name) {
    const char* v = env(name);
    return v ? std::string(v) : std::string();
  };
  ServiceSettings s;
  if (auto v = get("RVZ_DRAIN_SECONDS"); !v.empty()) s.drain = parseSeconds("RVZ_DRAIN_SECONDS", v, 3600);
  if (auto v = get("RVZ_SLOW_CALL_SECONDS"); !v.empty()) s.slowCall = parseSeconds("RVZ_SLOW_CALL_SECONDS", v, 86400);
  if (auto v = get("RVZ_LOG_LEVEL"); !v.empty()) {
    try {
      s.logLevel = oplog::parseLevel(v);
    } catch (const std::invalid_argument& e) {
      throw ComError(E_INVALIDARG, std::string("RVZ_LOG_LEVEL: ") + e.what());
    }
  }
  s.logFile = get("RVZ_LOG_FILE");
  s.metrics = get("RVZ_METRICS");
  s.mirrorActivity = remoting::parseFlag("RVZ_LOG_ACTIVITY", get("RVZ_LOG_ACTIVITY"));
  return s;
}

ServiceSettings ServiceSettings::fromEnvironment() {
  return fromEnvironment([](const char* name) { return static_cast<const char*>(std::getenv(name)); });
}

}  // namespace rvz::host
