// Errors of the PostgreSQL server as the SQL Server provider reports them:
// the server's text with an error number that clients of SQL Server know,
// chosen by SQLSTATE.
#pragma once

#include <cstdint>
#include <string_view>

namespace rvz::data::pg {

// Numbers of failures that come from no SQLSTATE.
inline constexpr int32_t kErrServerUnreachable = 17;  // the server does not exist or refused the connection
inline constexpr int32_t kErrConnectionLost = 11;     // general network error: the connection broke
inline constexpr int32_t kErrLoginFailed = 18456;     // login failed
inline constexpr int32_t kErrCannotOpenDatabase = 4060;
inline constexpr int32_t kErrServerGeneral = 50000;  // a server error of no class below

// The SQL Server error number for a SQLSTATE (five characters):
//   23505 unique violation -> 2627, 23503 foreign key -> 547, 23502 not null
//   -> 515, 23514 check -> 547, 22001 string too long -> 8152, 22003 numeric
//   out of range -> 8115, 22P02 invalid text for a type -> 245, 22007/22008
//   bad date -> 241, 22012 division by zero -> 8134, 42P01 undefined table
//   -> 208, 42703 undefined column -> 207, 42883 undefined function -> 195,
//   42601 syntax -> 102, 42804/42846 type mismatch -> 8114, 42702 ambiguous
//   column -> 209, 42P07 table exists -> 2714, 42501 permission -> 229,
//   40001/40P01 serialization failure or deadlock -> 1205, 57014 cancelled
//   -> 3617, 3D000 unknown database -> 4060, 28P01/28000 login -> 18456,
//   class 08 and 57P01..57P03 (the connection ended) -> 11; anything else
//   -> 50000.
int32_t sqlServerNumber(std::string_view sqlstate);

// True when the SQLSTATE means the session is gone (the server ended it or
// the connection broke).
bool isConnectionLoss(std::string_view sqlstate);

}  // namespace rvz::data::pg
