// The server's start mode, decided once from its command line, and the
// questions an operator may ask of the executable without starting it.
#pragma once

#include <string>
#include <vector>

namespace rvz::host {

enum class StartMode { User, Platform, Register, Unregister };

// Switches start with "-" or "/" and match without regard to case; other
// arguments are ignored. AUTOMATION/EMBEDDING win over REGSERVER, which wins
// over UNREGSERVER. `args` excludes the program name.
StartMode startModeFromArguments(const std::vector<std::string>& args);

// "--help" (or "-h") and "--version" answer and end the process before
// anything else runs, so asking never starts a server that would end the
// running one. Help wins when both are given.
enum class Question { None, Help, Version };
Question questionFromArguments(const std::vector<std::string>& args);

// The text --help prints: usage, switches and the environment.
std::string helpText();

}  // namespace rvz::host
