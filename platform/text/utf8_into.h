// UTF-8 to UTF-16 into a caller's buffer, for loops that convert many short
// texts one after another (a fetch turning stored text into packet cells):
// the buffer's storage is reused, so a conversion allocates nothing once it
// has grown to the longest text. The rules are utf8ToWide's (text.h).
#pragma once

#include <string_view>

#include "platform/text/text.h"

namespace rvz::text {

// Replaces `out` with the UTF-16 form of `utf8`.
void utf8ToWideInto(std::string_view utf8, WString& out);

}  // namespace rvz::text
