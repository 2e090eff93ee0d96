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

void ActivityLog::addAll(const LogEntries& entries) {
  // Newest first: walk the entries backwards until the limit is reached;
  // older entries and the old log then contribute nothing.
  next_.clear();
  for (size_t i = entries.size(); i-- > 0 && next_.size() < kActivityLogLimit;) {
    const text::WString wide = text::utf8ToWide(entries[i]);
    next_.append(text::throughAnsi(text::WStringView(wide).substr(0, kActivityLogLimit)));
    if (next_.size() < kActivityLogLimit) next_.append(u"\r\n\r\n");
  }
  if (next_.size() < kActivityLogLimit) next_.append(text_, 0, kActivityLogLimit);
  if (next_.size() > kActivityLogLimit) next_.resize(kActivityLogLimit);
  text_.swap(next_);
}

}  // namespace rvz::host
