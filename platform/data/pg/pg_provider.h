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

std::shared_ptr<Provider> makeSqlServerProvider();

}  // namespace rvz::data::pg
