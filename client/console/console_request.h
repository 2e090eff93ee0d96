// What the console's page may ask of the screen, decoded from the body of
// an HTTP request: an application/x-www-form-urlencoded form (as a query
// string is written) naming one screen command that works the screen.
// Reading needs no request of this kind: the page follows the screen's
// state through the event stream.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/desktop/screen_request.h"

namespace rvz::client::console {

// A request the console refuses; the text says what is wrong with it.
class RequestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr size_t kMaxFormBytes = 64 * 1024;
inline constexpr size_t kMaxFormFields = 16;

// The fields of a form in their order: "a=1&b=x+y%21" gives (a, 1),
// (b, "x y!"). Names and values are percent-decoded, "+" is a space; a
// field without "=" has an empty value; empty fields ("a=1&&b=2") are
// skipped. Throws RequestError for a form over kMaxFormBytes or with more
// than kMaxFormFields fields, a broken percent escape, text that is not
// UTF-8, or a control character other than tab, CR and LF.
std::vector<std::pair<std::string, std::string>> decodeForm(std::string_view form);

// The screen request a form asks for. Fields: "command" (menu, answer, set,
// click, dropdown or close), "target" (the menu item, button or control;
// not for close), "text" (for set only) and "window" (optional, not for
// menu: the window or dialog of a control, or the box or dialog an answer
// or close is for, "#<id>" or a dialog's name). Every field at most once, no others. Reading
// commands (log, tray, boxes, windows, watch) are refused: the event stream
// carries what they would show.
desktop::Request actionFromForm(std::string_view form);

}  // namespace rvz::client::console
