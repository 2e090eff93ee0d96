// Fuzz target: connection strings read as libpq keywords or refused with a
// DataError; a password login only with a user, no keyword without a name,
// and an application name that libpq takes as it is.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/data/data_error.h"
#include "platform/data/pg/pg_connect_params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    auto cs = rvz::data::ConnectionString::parse(text);
    auto p = rvz::data::pg::pgConnectParams(cs, 15, "RoVezevu datas@fuzz");
    if (!p.value("password").empty() && p.value("user").empty()) std::abort();
    for (const auto& [k, v] : p.keywords)
      if (k.empty()) std::abort();
    const std::string app = p.value("application_name");
    if (app.size() > 63) std::abort();
    for (char c : app)
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) std::abort();
  } catch (const rvz::data::DataError&) {
  }
  return 0;
}
