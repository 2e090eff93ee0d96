// Fuzz target: numbering "?" markers never throws, turns each marker into
// one "$", and leaves a text without "?" as it was.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/data/pg/pg_markers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  auto n = rvz::data::pg::numberMarkers(text);
  size_t questions = 0, dollars = 0, outQuestions = 0, outDollars = 0;
  for (char c : text) questions += c == '?', dollars += c == '$';
  for (char c : n.sql) outQuestions += c == '?', outDollars += c == '$';
  // Each marker became one "$"; nothing else changed its count.
  if (outQuestions + outDollars != questions + dollars) std::abort();
  if (n.markers > 99999 || n.sql.size() < text.size()) std::abort();
  if (questions == 0 && n.sql != text) std::abort();
  return 0;
}
