// The SQL Server provider ("SQLOLEDB.1") on PostgreSQL through libpq: a SQL
// Server account set is a PostgreSQL database (docs/data-layer.md). Command
// texts are translated to PostgreSQL SQL, "?" markers become server
// parameters, result sets are read through server-side cursors in blocks,
// and each statement inside a transaction runs under a savepoint of its own
// so that its failure leaves the transaction usable.
#pragma once

#include <memory>
#include <string_view>

#include "platform/data/driver.h"

namespace rvz::data::pg {

inline constexpr std::string_view kSqlServerProviderName = "SQLOLEDB.1";

// What command texts are.
enum class SqlMode : uint8_t {
  Dialect,  // clients' texts: SQL Server's dialect and the Jet forms, translated
  Native,   // PostgreSQL SQL as it is, for the server's own tools and tests; never registered for clients
};

// The provider; `name` is what a connection string's Provider names it.
std::shared_ptr<Provider> makeSqlServerProvider(SqlMode mode = SqlMode::Dialect,
                                                std::string_view name = kSqlServerProviderName);

}  // namespace rvz::data::pg
