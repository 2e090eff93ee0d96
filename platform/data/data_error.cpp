// Formatting of the component's messages.
#include "platform/data/data_error.h"

namespace rvz::data {

std::string formatMessage(std::string_view pattern, std::string_view arg) {
  std::string out;
  size_t at = pattern.find("%s");
  if (at == std::string_view::npos) return std::string(pattern);
  out.reserve(pattern.size() + arg.size());
  out.append(pattern.substr(0, at)).append(arg).append(pattern.substr(at + 2));
  return out;
}

DataError DataError::dataset(std::string_view datasetName, std::string_view message) {
  if (datasetName.empty()) return DataError(E_UNEXPECTED, 0, std::string(message));
  std::string text;
  text.reserve(datasetName.size() + 2 + message.size());
  text.append(datasetName).append(": ").append(message);
  return DataError(E_UNEXPECTED, 0, text);
}

DataError cancelledError() { return DataError::component(kErrOperationCancelled, std::string(kCancelledText)); }

}  // namespace rvz::data
