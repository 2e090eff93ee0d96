// The command watch of Cn: every command about to be sent is written in
// front of the activity log, and an UPDATE without SET is refused.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/data/connection.h"
#include "platform/text/text.h"

namespace rvz::services {

// Where log entries go: the host's main window, which applies them one at
// a time on its own thread in the order they were handed over.
class ActivityLogSink {
 public:
  virtual ~ActivityLogSink() = default;
  // Called on the sending object thread; must not block for long. The
  // entry is UTF-8, as the command text came, and lives only for the call:
  // the sink copies what it keeps (the command watch allocates nothing per
  // command), and only what the log keeps of it is ever converted.
  virtual void addLogEntry(std::string_view entry) = 0;
};

// The process's activity log; null (entries dropped) until the host sets
// it and again during teardown.
void setActivityLogSink(std::shared_ptr<ActivityLogSink> sink);
std::shared_ptr<ActivityLogSink> activityLogSink();

// Whether the watch refuses a command text: its first six characters, in
// the ANSI code page with a to z raised byte by byte, are UPDATE and SET
// occurs nowhere in it.
bool refusesCommand(std::string_view commandTextUtf8);

// The handler of Cn's before-execute event: logs the command ("Not
// Execute: " in front when refused) and cancels a refused one.
void CnWillExecute(std::string_view commandTextUtf8, data::EventStatus& status);

}  // namespace rvz::services
