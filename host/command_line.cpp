// Reading the start mode from the command line.
#include "host/command_line.h"

#include <cctype>
#include <string_view>

namespace rvz::host {

namespace {

bool isSwitch(const std::string& arg, std::string_view name) {
  if (arg.size() != name.size() + 1 || (arg[0] != '-' && arg[0] != '/')) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(arg[i + 1])) != name[i]) return false;
  return true;
}

}  // namespace

StartMode startModeFromArguments(const std::vector<std::string>& args) {
  bool platform = false, reg = false, unreg = false;
  for (const auto& a : args) {
    platform = platform || isSwitch(a, "AUTOMATION") || isSwitch(a, "EMBEDDING");
    reg = reg || isSwitch(a, "REGSERVER");
    unreg = unreg || isSwitch(a, "UNREGSERVER");
  }
  if (platform) return StartMode::Platform;
  if (reg) return StartMode::Register;
  if (unreg) return StartMode::Unregister;
  return StartMode::User;
}

}  // namespace rvz::host
