// The Jet provider ("Microsoft.Jet.OLEDB.4.0") on SQLite: an Access database
// path names an SQLite database file; command texts in the Jet dialect are
// translated before they are prepared.
#pragma once

#include <memory>
#include <string_view>

#include "platform/data/driver.h"

namespace rvz::data::sqlite {

inline constexpr std::string_view kJetProviderName = "Microsoft.Jet.OLEDB.4.0";

std::shared_ptr<Provider> makeJetProvider();

}  // namespace rvz::data::sqlite
