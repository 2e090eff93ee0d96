// The Access database file of an account set: <home>data\<name>\DaZiva.mdb.
//
// The name comes from a client. It is used as it stands when it names a
// folder within the data folder; one that would lead out of it (a "..",
// an absolute path, a drive) or that holds ";" is not an account set, and
// whatever opens its database is refused with the reason.
#pragma once

#include <string>
#include <string_view>

namespace rvz::services {

struct AccountSetFile {
  std::string file;     // the path as the system records it
  std::string refusal;  // empty when the name is usable; otherwise the text to refuse it with
};

// `home` ends in a separator.
AccountSetFile accountSetFile(std::string_view home, std::string_view name);

}  // namespace rvz::services
