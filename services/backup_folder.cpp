// Choosing and preparing the backup folder.
#include "services/backup_folder.h"

#include <filesystem>

#include "platform/files/files.h"
#include "platform/profile/profile.h"

namespace rvz::services {

namespace fs = std::filesystem;

namespace {

const char* kDefaultDir = "d:\\backup\\";
const char* kFallbackDir = "c:\\backup";

bool isFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(files::resolvePath(path), ec);
}

// One level only: a missing parent is not created.
void createOneLevel(const std::string& path) {
  std::error_code ec;
  fs::create_directory(files::resolvePath(path), ec);
}

}  // namespace

std::string backupFolder() {
  std::string ini = (files::homeFolder() / "BackInfo.ini").string();
  std::string dir = profile::getPrivateProfileString("Back", "Dir", kDefaultDir, ini);
  if (!isFolder(dir)) createOneLevel(dir);
  if (!isFolder(dir)) {
    dir = kFallbackDir;
    // Drive C: always exists where the system comes from; here its folder
    // may have to be made first.
    std::error_code ec;
    fs::create_directories(files::resolvePath("c:\\"), ec);
    createOneLevel(dir);
    profile::writePrivateProfileString("Back", "Dir", dir, ini);
  }
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return dir;
}

}  // namespace rvz::services
