// The page of the console, its script and its style sheet, built into the
// program from client/console/page/ (plain files, no build step of their
// own).
#pragma once

#include <string_view>

namespace rvz::client::console {

struct Asset {
  std::string_view path;  // "/", "/console.js", "/console.css"
  std::string_view contentType;
  std::string_view body;
};

// The asset served at `path`, or nullptr.
const Asset* findAsset(std::string_view path);

}  // namespace rvz::client::console
