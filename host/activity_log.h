// The activity log of the main window: the newest entry first, entries
// separated by a blank line, at most 10240 characters, held in the ANSI
// code page. It belongs to the main thread; object threads hand their
// entries over (see services/command_watch.h).
#pragma once

#include <string>

#include "platform/text/text.h"

namespace rvz::host {

inline constexpr size_t kActivityLogLimit = 10240;

class ActivityLog {
 public:
  // Puts the entry and "\r\n\r\n" in front of the log and keeps the first
  // 10240 characters (counted on the wide text). Costs one read and one
  // write of at most the limit plus the entry.
  void add(text::WStringView entry);
  void clear() { ansi_.clear(); }
  // The log as the window holds it, in the ANSI code page.
  const std::string& ansiText() const { return ansi_; }
  text::WString text() const { return text::ansiToWide(ansi_); }

 private:
  std::string ansi_;
};

}  // namespace rvz::host
