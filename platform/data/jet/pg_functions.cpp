// Server-side functions of the Jet dialect on PostgreSQL.
#include "platform/data/jet/pg_functions.h"

namespace rvz::data::jet {

std::string pgFunctionsSql() {
  return
      // First and Last: the value of the first or last row of the group,
      // Null included. The state is a one-element array, so that a first
      // row's Null is told from no row yet.
      "CREATE OR REPLACE FUNCTION rvz_keep_first(anyarray, anyelement) RETURNS anyarray\n"
      "  LANGUAGE sql IMMUTABLE AS 'SELECT CASE WHEN $1 IS NULL THEN ARRAY[$2] ELSE $1 END';\n"
      "CREATE OR REPLACE FUNCTION rvz_keep_last(anyarray, anyelement) RETURNS anyarray\n"
      "  LANGUAGE sql IMMUTABLE AS 'SELECT ARRAY[$2]';\n"
      "CREATE OR REPLACE FUNCTION rvz_kept(anyarray) RETURNS anyelement\n"
      "  LANGUAGE sql IMMUTABLE AS 'SELECT $1[1]';\n"
      "CREATE OR REPLACE AGGREGATE rvz_first(anyelement) (SFUNC = rvz_keep_first, STYPE = anyarray,"
      " FINALFUNC = rvz_kept);\n"
      "CREATE OR REPLACE AGGREGATE rvz_last(anyelement) (SFUNC = rvz_keep_last, STYPE = anyarray,"
      " FINALFUNC = rvz_kept);\n";
}

}  // namespace rvz::data::jet
