// The activity log of the main window: the newest entry first, entries
// separated by a blank line, at most 10240 characters, holding only what
// the ANSI code page can hold. It belongs to the main thread; object
// threads hand their entries over (see services/command_watch.h).
#pragma once

#include <string>

#include "host/log_entries.h"
#include "platform/text/text.h"

namespace rvz::host {

inline constexpr size_t kActivityLogLimit = 10240;

class ActivityLog {
 public:
  // Puts the entry and "\r\n\r\n" in front of the log and keeps the first
  // 10240 characters (counted on the wide text). Costs one read and one
  // write of at most the limit plus the entry.
  void add(text::WStringView entry);
  // The same as adding each entry (UTF-8) in turn, oldest first, with one
  // write of the log for all of them: what a busy main thread applies when
  // several entries wait. Only the entries the log keeps are converted.
  void addAll(const LogEntries& entries);
  void clear() { text_.clear(); }
  // The log as the window holds it, in the ANSI code page.
  std::string ansiText() const { return text::wideToAnsi(text_); }
  const text::WString& text() const { return text_; }

 private:
  // Kept in wide form, each entry already through the ANSI code page: the
  // trip replaces each character the code page lacks by one "?", so the
  // text is what the ANSI log would read back as, character for character,
  // and an add converts only its own entry.
  text::WString text_;
  text::WString next_;
};

}  // namespace rvz::host
