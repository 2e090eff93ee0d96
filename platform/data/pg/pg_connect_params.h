// The connection strings of the SQL Server provider read as libpq
// connection keywords: which server (Data Source), which database (Initial
// Catalog), which login (User ID and Password, or the operating-system
// identity), and the connection's fixed settings.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/data/connection_string.h"

namespace rvz::data::pg {

struct PgConnectParams {
  // keyword/value pairs for PQconnectdbParams, in order.
  std::vector<std::pair<std::string, std::string>> keywords;
  // The server as messages name it: the Data Source as written, or
  // "(local)" for the local server.
  std::string server;
  // The database (after "master" became "postgres"); empty when libpq's
  // default (PGDATABASE) chooses it.
  std::string database;
  // The password given, to be cut out of any text shown; empty when none.
  std::string password;

  // The value of a keyword, or empty.
  std::string value(const std::string& keyword) const;
};

// Reads a connection string:
//  - Data Source (also Server, Address, Addr, Network Address): absent, ".",
//    "(local)", "(localdb)" or "localhost" -> the local server as libpq's
//    defaults find it (PGHOST, PGPORT, else the default socket); "host",
//    "host,port", "tcp:host[,port]"; a path starting with "/" -> the socket
//    folder of a local server; "host\name" (a named instance) -> the
//    service "name" of the PostgreSQL service file on that host, so that
//    one machine's several clusters keep their own names;
//  - Initial Catalog (also Database): the database; "master" -> "postgres";
//    absent -> PGDATABASE when set, else "postgres";
//  - User ID (also UID, User) and Password (also PWD): a password login;
//    Integrated Security=SSPI/true/yes (or Trusted_Connection=yes), or no
//    User ID -> the operating-system identity (peer or trust on the local
//    socket, GSSAPI where the server offers it) and the password is unused;
//  - Encrypt=yes/true/mandatory/strict -> sslmode=require;
//  - connect_timeout from the connection's timeout (0: wait without end;
//    libpq waits at least 2 seconds);
//  - application_name from "Application Name" or `applicationName`;
//  - client_encoding UTF8 and ISO dates always.
// Other keys are ignored. Throws DataError (kErrBadConnectionString) for a
// Data Source that names no server (a bad port, an unknown protocol).
PgConnectParams pgConnectParams(const ConnectionString& cs, int connectTimeoutSeconds,
                                const std::string& applicationName);

// `text` with every occurrence of `password` replaced by "***" (nothing
// when the password is empty).
std::string withoutPassword(std::string text, const std::string& password);

}  // namespace rvz::data::pg
