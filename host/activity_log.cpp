// Adding to the activity log.
#include "host/activity_log.h"

namespace rvz::host {

void ActivityLog::add(text::WStringView entry) {
  text::WString log;
  // Past the limit nothing of the old log would survive, and the entry
  // itself keeps only its first 10240 characters.
  if (entry.size() >= kActivityLogLimit) {
    log.assign(entry.substr(0, kActivityLogLimit));
  } else {
    log.reserve(kActivityLogLimit + 4);
    log.append(entry);
    log.append(u"\r\n\r\n");
    log.append(text::ansiToWide(ansi_));
    if (log.size() > kActivityLogLimit) log.resize(kActivityLogLimit);
  }
  ansi_ = text::wideToAnsi(log);
}

}  // namespace rvz::host
