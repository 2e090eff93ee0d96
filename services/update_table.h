// The update table of a command text: the first name after its first FROM,
// read with the tokenizer rules of the update machinery.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rvz::services {

// The table changes are written to, or nullopt when the text gives none
// (no FROM, a clause keyword or the end right after it).
std::optional<std::string> updateTableName(std::string_view commandText);

}  // namespace rvz::services
