// The folder backups are written to: BackInfo.ini beside the executable,
// section Back, key Dir, read afresh on every backup.
#pragma once

#include <string>

namespace rvz::services {

// The backup folder with a trailing "\": Dir (default "d:\backup\"),
// created one level deep when missing; when it still does not exist,
// "c:\backup", which is then created and written back as Dir.
std::string backupFolder();

}  // namespace rvz::services
