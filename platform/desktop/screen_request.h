// The requests of the operator's console to the headless screen and their
// replies, and their wire form: one JSON object per line each way.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rvz::desktop {

// A screen operation, request or reply that failed; the text says what and
// why.
class ScreenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Command {
  Log,       // the activity log's text
  Tray,      // the tray icon's state as JSON
  Menu,      // args: item — clicks a tray menu item
  Boxes,     // the open message boxes and dialogs as JSON
  Answer,    // args: button — presses a button of the oldest box or dialog
  Set,       // args: control, text — types the text into a control
  Click,     // args: control — clicks a control
  DropDown,  // args: control — opens a combo box's list
  Close,     // closes the oldest box or dialog by its close box
  Windows,   // the screen's own windows, shown or hidden, as JSON
  Watch,     // the screen's version now; the socket then sends each new one
};

// The command's name on the wire and in `quib screen`: "log", "tray",
// "menu", "boxes", "answer", "set", "click", "dropdown", "close", "windows",
// "watch".
std::string_view commandName(Command c);
std::optional<Command> commandFromName(std::string_view name);
// How many arguments the command takes.
size_t commandArity(Command c);

struct Request {
  Command command = Command::Log;
  std::vector<std::string> args;
  // For set, click and dropdown: the name of the window to work in; empty:
  // the first window that takes input and has the control. For answer and
  // close: the box or dialog, "#<id>" as `boxes` lists it or a dialog's
  // name; empty: the oldest that takes input.
  std::string window;
};

struct Reply {
  bool ok = true;
  std::string text;  // the output when ok, the reason when not
};

// Bounds of the wire: a request line, and a reply line (a log, or the
// description of many boxes).
inline constexpr size_t kMaxRequestBytes = 64 * 1024;
inline constexpr size_t kMaxReplyBytes = 16 * 1024 * 1024;

// The request of one line (without its line end), e.g.
// {"command":"set","args":["edServer","srv01"],"window":"dlgLinkConfig"}.
// Throws ScreenError naming what is wrong: not JSON, not an object, an
// unknown member or command, arguments that are not strings or not as many
// as the command takes, or a line over kMaxRequestBytes.
Request decodeRequest(std::string_view line);
std::string encodeRequest(const Request& request);

// {"ok":true,"text":"..."} or {"ok":false,"error":"..."}.
std::string encodeReply(const Reply& reply);
Reply decodeReply(std::string_view line);

}  // namespace rvz::desktop
