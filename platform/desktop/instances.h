// Other running instances, found the way the instance sweep finds them on
// Windows: by the top-level windows they own on this screen and by the
// executable file they run; and ending them.
//
// A screen is the home folder's: every process whose Screen has top-level
// windows announces their class names in a marker file
// <home>/.screen-windows/<pid>, which also holds the process's start time
// so that a marker left by a killed process is never taken for a later
// process that got the same id. Processes with other homes are on other
// screens and are not found, as windows of other desktops are not.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rvz::desktop {

struct WindowMarker {
  unsigned long long startTime = 0;  // /proc/<pid>/stat field 22
  std::vector<std::string> classes;
};

// "rvz-screen-windows 1", "start <time>", then one "class <name>" line per
// window class.
std::string formatWindowMarker(const WindowMarker& marker);
// nullopt for anything but a marker as formatWindowMarker writes it (at
// most kMaxMarkerBytes long).
std::optional<WindowMarker> parseWindowMarker(std::string_view text);
inline constexpr size_t kMaxMarkerBytes = 4096;

std::filesystem::path windowMarkerFolder(const std::filesystem::path& home);

// Writes this process's marker listing `classes`, or removes it when the
// list is empty. Failures are ignored: a process that cannot announce its
// windows is merely not found by the sweep.
void announceWindows(const std::filesystem::path& home, const std::vector<std::string>& classes);

struct WindowOwner {
  pid_t pid;
  std::filesystem::path executable;
};

// The live processes other than this one that own a top-level window of
// exactly this class (letter case significant) on the screen of `home`,
// with the executable each runs. Markers of processes that have ended are
// removed on the way.
std::vector<WindowOwner> windowOwners(std::string_view className, const std::filesystem::path& home);

// The executable a process runs (/proc/<pid>/exe); nullopt when it cannot
// be read. A file replaced or deleted since the start still counts as its
// path.
std::optional<std::filesystem::path> processExecutable(pid_t pid);
std::filesystem::path ownExecutablePath();
std::optional<unsigned long long> processStartTime(pid_t pid);

// Ends the process at once, giving it no chance to release anything
// (SIGKILL; Linux has no exit code to choose for that). False when it
// cannot be ended.
bool terminateProcess(pid_t pid);

}  // namespace rvz::desktop
