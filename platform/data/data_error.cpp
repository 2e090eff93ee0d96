// Formatting of the component's messages.
#include "platform/data/data_error.h"

namespace rvz::data {

std::string formatMessage(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(pattern.size() + 32);
  auto arg = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    bool placeholder = pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == 'd');
    if (placeholder && arg != args.end()) {
      out.append(*arg++);
      ++i;
    } else {
      out += pattern[i];
    }
  }
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
