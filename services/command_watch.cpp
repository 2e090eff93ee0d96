// The command watch.
#include "services/command_watch.h"

#include <mutex>

namespace rvz::services {

namespace {

std::mutex sinkLock;
std::shared_ptr<ActivityLogSink> currentSink;

}  // namespace

void setActivityLogSink(std::shared_ptr<ActivityLogSink> sink) {
  std::lock_guard g(sinkLock);
  currentSink = std::move(sink);
}

std::shared_ptr<ActivityLogSink> activityLogSink() {
  std::lock_guard g(sinkLock);
  return currentSink;
}

bool refusesCommand(std::string_view commandTextUtf8) {
  std::string u = text::upperCaseAscii(text::utf8ToAnsi(commandTextUtf8));
  return u.size() >= 6 && u.compare(0, 6, "UPDATE") == 0 && u.find("SET") == std::string::npos;
}

void CnWillExecute(std::string_view commandTextUtf8, data::EventStatus& status) {
  text::WString entry;
  if (refusesCommand(commandTextUtf8)) {
    status = data::EventStatus::Cancel;
    entry = u"Not Execute: ";
  }
  entry += text::utf8ToWide(commandTextUtf8);
  if (auto sink = activityLogSink()) sink->addLogEntry(std::move(entry));
}

}  // namespace rvz::services
