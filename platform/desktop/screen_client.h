// The operator console's side of the headless screen: one request to the
// screen's socket and its reply, and the `quib screen` command built on it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/desktop/screen_request.h"

namespace rvz::desktop {

// <home>/.screen.sock, home being files::homeFolder().
std::filesystem::path defaultSocketPath();

// Sends one request and returns the screen's reply. Throws ScreenError when
// the screen cannot be reached, does not reply within `timeout`, or replies
// with something that is not a reply.
Reply sendScreenRequest(const Request& request, const std::filesystem::path& socketPath = defaultSocketPath(),
                        std::chrono::milliseconds timeout = std::chrono::seconds(120));

// Follows the screen's changes over one "watch" connection: calls
// `onVersion` with the screen's version at once and again after each change
// (several changes in a row may come as one). Returns when `stopFd` (-1:
// none) becomes readable; throws ScreenError when the screen cannot be
// reached, refuses, or goes away.
void watchScreen(const std::filesystem::path& socketPath, int stopFd,
                 const std::function<void(uint64_t version)>& onVersion);

// `quib screen ARGS`: ARGS are the words after "screen" (a leading "screen"
// is skipped too), optionally led by "--socket PATH" and "--window NAME":
//   log               prints the activity log exactly as the window holds it
//   tray              prints the tray icon's state as JSON
//   menu ITEM         clicks a tray menu item
//   boxes             prints the open message boxes and dialogs as JSON
//   answer BUTTON     presses a button of the oldest open box or dialog
//   set CONTROL TEXT  types TEXT into a control
//   click CONTROL     clicks a control
//   dropdown CONTROL  opens a combo box's list
//   close             closes the oldest open box or dialog by its close box
//   watch             prints the screen's version, then a line per change
// Returns the exit code: 0 done, 1 refused by the screen or screen not
// reachable (the reason on `err`), 2 wrong usage.
int runScreenCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace rvz::desktop
