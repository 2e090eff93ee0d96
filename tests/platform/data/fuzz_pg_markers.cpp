// Fuzz target: numbering "?" markers never throws, changes nothing but the
// markers it counts, and leaves a text without "?" as it was.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/data/pg/pg_markers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  auto n = rvz::data::pg::numberMarkers(text);
  size_t questions = 0;
  for (char c : text) questions += c == '?';
  if (static_cast<size_t>(n.markers) > questions) std::abort();
  size_t grown = 0;
  for (int k = 1; k <= n.markers; ++k) grown += std::to_string(k).size();  // "?" -> "$k"
  if (n.sql.size() != text.size() + grown) std::abort();
  if (questions == 0 && n.sql != text) std::abort();
  return 0;
}
