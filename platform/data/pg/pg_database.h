// Whole databases on the server that a SQL Server provider connection
// string names: whether the database of its Initial Catalog exists,
// creating it and dropping it. These run on the server's maintenance
// database ("postgres") with the string's own login, outside any
// transaction (the server refuses CREATE DATABASE inside one).
#pragma once

#include <string>

#include "platform/data/connection_string.h"

namespace rvz::data::pg {

// The database that `cs` names (Initial Catalog, "master" read as
// "postgres"). Throws DataError (kErrBadConnectionString) when it names none.
std::string databaseOf(const ConnectionString& cs);

// True when the database of `cs` exists on its server.
bool databaseExists(const ConnectionString& cs, int connectTimeoutSeconds = 15);

// Creates the database of `cs` when it is missing; true when it was made
// here, false when it was there already.
bool createDatabaseIfMissing(const ConnectionString& cs, int connectTimeoutSeconds = 15);

// Drops the database of `cs`, ending the sessions still on it; nothing
// when it is missing.
void dropDatabase(const ConnectionString& cs, int connectTimeoutSeconds = 15);

// All three throw DataError naming the server and the database, with the
// server's text and never the password, when the server cannot be reached
// or refuses.

}  // namespace rvz::data::pg
