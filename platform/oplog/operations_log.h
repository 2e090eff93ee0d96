// The operational log: one line per event (start, stop, sessions, objects,
// failures returned to clients, slow calls) for the people who run the
// server, as opposed to the activity log of the main window, which shows
// the commands sent to company databases.
//
// A line is "<time> <level> <message> key=value ...", the time in UTC with
// milliseconds. When standard error is a journald stream (systemd sets
// JOURNAL_STREAM to its device and inode), each line starts with the
// syslog priority "<N>" so that journald files it at its level. A server
// with nobody reading its standard error (started on demand by a client)
// writes to a file in its home instead.
//
// Any thread may write; a line is written with one system call, so lines
// of different threads never interleave.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace rvz::oplog {

// The syslog priorities used, with their numbers.
enum class Level { Error = 3, Warning = 4, Notice = 5, Info = 6, Debug = 7 };

std::string_view levelName(Level level);
// "error", "warning", "notice", "info", "debug" (any case). Throws
// std::invalid_argument naming the accepted words for anything else.
Level parseLevel(std::string_view text);

// A key and its value, written as key=value; a value with blanks, quotes,
// control characters or "=" is written in double quotes with \" \\ \n \r
// \t escapes, so that one event stays one line.
using Field = std::pair<std::string_view, std::string_view>;

// One line in the format above; `journald` adds the "<N>" prefix. The
// time is given so that the format can be checked.
std::string formatLine(Level level, std::string_view message, std::initializer_list<Field> fields,
                       std::string_view time, bool journald);

// Where lines go and from which level on. Default: standard error, Info.
void setMinimumLevel(Level level);
Level minimumLevel();
bool enabled(Level level);
// Appends to `file` (created with owner read and write when missing) from
// now on. Throws std::runtime_error naming the file and the cause.
void writeToFile(const std::filesystem::path& file);
void writeToStandardError();
// Whether standard error is the journald stream of this process's unit.
bool standardErrorIsJournal();

void write(Level level, std::string_view message, std::initializer_list<Field> fields = {});
inline void error(std::string_view m, std::initializer_list<Field> f = {}) { write(Level::Error, m, f); }
inline void warning(std::string_view m, std::initializer_list<Field> f = {}) { write(Level::Warning, m, f); }
inline void notice(std::string_view m, std::initializer_list<Field> f = {}) { write(Level::Notice, m, f); }
inline void info(std::string_view m, std::initializer_list<Field> f = {}) { write(Level::Info, m, f); }
inline void debug(std::string_view m, std::initializer_list<Field> f = {}) { write(Level::Debug, m, f); }

// Fields added to every line the calling thread writes from now on (an
// object thread names its object this way); empty clears them. Each field
// is written as write() writes its own.
void setThreadFields(std::initializer_list<Field> fields);

// Lines written so far at each level (index: the level's number), for the
// metrics endpoint.
uint64_t linesWritten(Level level);

}  // namespace rvz::oplog
