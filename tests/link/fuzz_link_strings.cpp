// Fuzz target: any bytes read as a connection string and as a scrambled
// password. Values read back hold no ";" and lie inside the string; the
// unscrambled password has one byte per complete digit pair; bytes other
// than 0xFF scramble and come back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "link/password_scrambler.h"
#include "link/sql_server_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string s(reinterpret_cast<const char*>(data), size);
  for (const char* key : {"Data Source", "Initial Catalog", "User ID", "Password", "Integrated Security", ""}) {
    std::string v = rvz::link::ConnectionStringValue(s, key);
    if (v.find(';') != std::string::npos || (!v.empty() && s.find(v) == std::string::npos)) std::abort();
  }
  auto parsed = rvz::link::ParseSqlServerConnectionString(s);
  if (parsed.ok == parsed.database.empty()) std::abort();

  std::string plain = rvz::link::unscrambleBytes(s, rvz::link::kPasswordKey);
  if (plain.size() != (s.size() < 2 ? 0 : (s.size() - 2) / 2)) std::abort();
  (void)rvz::link::ScramblePassword(s, rvz::link::kPasswordKey, false);

  std::string bytes = s;
  for (char& c : bytes)
    if (static_cast<unsigned char>(c) == 0xFF) c = 0;
  unsigned char seed = size ? data[0] : 0;
  std::string scrambled = rvz::link::scrambleBytes(bytes, rvz::link::kPasswordKey, seed);
  if (scrambled.size() != 2 + 2 * bytes.size()) std::abort();
  if (rvz::link::unscrambleBytes(scrambled, rvz::link::kPasswordKey) != bytes) std::abort();
  return 0;
}
