// Fuzz target: connection strings are read or refused with a DataError,
// what is read survives a write and a second read, and the password-free
// form never throws.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  (void)rvz::data::redactConnectionString(text);
  try {
    auto cs = rvz::data::ConnectionString::parse(text);
    auto again = rvz::data::ConnectionString::parse(cs.toString());
    if (again.items().size() != cs.items().size()) std::abort();
    for (size_t i = 0; i < cs.items().size(); ++i)
      if (again.items()[i].value != cs.items()[i].value) std::abort();
    // The password-free form reads back without any password item.
    const auto redacted = rvz::data::ConnectionString::parse(cs.toRedactedString());
    for (const auto& item : redacted.items())
      if (rvz::data::isPasswordKey(item.key)) std::abort();
  } catch (const rvz::data::DataError&) {
  }
  return 0;
}
