// Account set names checked against the data folder they must stay in.
#include "services/account_set_file.h"

namespace rvz::services {
namespace {

// Why `name` does not stay within the data folder, or empty.
std::string problemOf(std::string_view name) {
  if (name.find(';') != std::string_view::npos) return "it holds ';'";
  if (!name.empty() && (name.front() == '\\' || name.front() == '/')) return "it is an absolute path";
  if (name.size() >= 2 && name[1] == ':') return "it names a drive";
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = name.size();
    if (name.substr(start, end - start) == "..") return "it leads out of the data folder";
    start = end + 1;
  }
  return {};
}

}  // namespace

AccountSetFile accountSetFile(std::string_view home, std::string_view name) {
  AccountSetFile f;
  f.file = std::string(home) + "data\\" + std::string(name) + "\\DaZiva.mdb";
  std::string why = problemOf(name);
  if (!why.empty())
    f.refusal = "The account set '" + std::string(name) + "' cannot be opened: " + why +
                "; an account set is a folder within the server's data folder.";
  return f;
}

}  // namespace rvz::services
