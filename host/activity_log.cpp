// Adding to the activity log.
#include "host/activity_log.h"

namespace rvz::host {

void ActivityLog::add(text::WStringView entry) {
  // Past the limit nothing of the old log would survive, and the entry
  // itself keeps only its first 10240 characters.
  text::WString converted = text::throughAnsi(entry.substr(0, kActivityLogLimit));
  next_.clear();
  next_.append(converted);
  if (next_.size() < kActivityLogLimit) {
    next_.append(u"\r\n\r\n");
    next_.append(text_, 0, kActivityLogLimit);
  }
  if (next_.size() > kActivityLogLimit) next_.resize(kActivityLogLimit);
  text_.swap(next_);
}

}  // namespace rvz::host
