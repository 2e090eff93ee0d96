// Fuzz target: any bytes read as an INI file without failing; a key written
// into them is read back with the value written, and writing it again
// changes nothing.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/profile/ini_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* section : {"Connection", "Back", ""})
    for (const char* key : {"ServerName", "Dir", ""}) (void)rvz::profile::findValue(text, section, key);

  std::string edited = rvz::profile::withValue(text, "connection", "servername", "v1");
  auto v = rvz::profile::findValue(edited, "CONNECTION", "ServerName");
  if (!v || *v != "v1") std::abort();
  if (rvz::profile::withValue(edited, "Connection", "ServerName", "v1") != edited) std::abort();
  // Another key of another section leaves the first one readable.
  std::string twice = rvz::profile::withValue(edited, "Back", "Dir", "c:\\backup");
  v = rvz::profile::findValue(twice, "Connection", "ServerName");
  if (!v || *v != "v1") std::abort();
  return 0;
}
