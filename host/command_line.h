// The server's start mode, decided once from its command line.
#pragma once

#include <string>
#include <vector>

namespace rvz::host {

enum class StartMode { User, Platform, Register, Unregister };

// Switches start with "-" or "/" and match without regard to case; other
// arguments are ignored. AUTOMATION/EMBEDDING win over REGSERVER, which wins
// over UNREGSERVER. `args` excludes the program name.
StartMode startModeFromArguments(const std::vector<std::string>& args);

}  // namespace rvz::host
