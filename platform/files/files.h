// The home folder of the server and Windows-style paths resolved on the
// local file system, plus whole-file reads and writes.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rvz::files {

// A file or path operation that failed; the text names the path and the cause.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The home of an installed server, whose executable is in the install's
// binary folder (/usr/bin for the Debian package).
inline constexpr const char* kInstalledHome = "/var/lib/rovezevu";

// The folder that stands for the executable's folder: $RVZ_HOME when set and
// not empty, otherwise homeOfExecutableFolder of the running executable's.
std::filesystem::path homeFolder();

// The home that an executable in `folder` uses without RVZ_HOME: the folder
// itself, except for the install's binary folder, whose home is
// kInstalledHome.
std::filesystem::path homeOfExecutableFolder(const std::filesystem::path& folder);

// The directory that drive `letter` maps to for a server whose home is
// `home`: $RVZ_DRIVE_X when set and not empty, otherwise <home>/drives/x.
std::filesystem::path driveFolder(char letter, const std::filesystem::path& home);

// Resolves a Windows-style path (UTF-8) against `base`:
//  - `\` and `/` both separate components; a run of them counts as one;
//  - `X:` maps to $RVZ_DRIVE_X, otherwise to <home>/drives/x; the rest of the
//    path is taken from that drive's root ("D:x" and "D:\x" alike);
//  - a path that starts with a separator starts at the file system root, so
//    POSIX paths pass unchanged (UNC names are not supported: "\\srv\share"
//    is "/srv/share");
//  - "." is dropped and ".." goes up one level, never above a drive's root;
//  - a component that does not exist in exactly that letter case takes the
//    name of an existing entry that matches it without regard to case (the
//    first in name order when several do); one that matches nothing keeps
//    its spelling, and so do all components after it.
// Throws FileError for an empty path.
std::filesystem::path resolvePath(std::string_view windowsPath, const std::filesystem::path& base);

// resolvePath against homeFolder().
std::filesystem::path resolvePath(std::string_view windowsPath);

// Whole-file contents as bytes. Throws FileError naming the file and the cause.
std::string readFile(const std::filesystem::path& file);

// Writes `content` as the whole file, replacing it; the folder must exist.
// Throws FileError naming the file and the cause.
void writeFile(const std::filesystem::path& file, std::string_view content);

// The same for a file that holds secrets: readable and writable by the
// owner only, also when it existed before, and on the disk (fsync) when
// this returns. A short write (a full disk) throws.
void writePrivateFile(const std::filesystem::path& file, std::string_view content);

}  // namespace rvz::files
