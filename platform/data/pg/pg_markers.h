// Positional "?" markers of a PostgreSQL statement text turned into the
// server's numbered parameters $1, $2 ...
#pragma once

#include <string>
#include <string_view>

namespace rvz::data::pg {

struct NumberedText {
  std::string sql;
  int markers = 0;  // the highest $n written
};

// Replaces each "?" outside string literals ('...', E'...', $tag$...$tag$),
// quoted names ("...") and comments (-- ..., nested /* ... */) by $1, $2 ...
// in order, and a numbered "?N" (N from 1, at most five digits) by $N.
// An unterminated literal or comment runs to the end of the text (the
// server then reports it). Never throws.
NumberedText numberMarkers(std::string_view sql);

}  // namespace rvz::data::pg
