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
      " FINALFUNC = rvz_kept);\n"
      R"sql(
-- Replace: every occurrence, letter case ignored (Jet's text compare, SQL
-- Server's default collation). Regular expressions refuse a
-- nondeterministic collation, hence "C".
CREATE OR REPLACE FUNCTION rvz_replace(s text, f text, r text) RETURNS text LANGUAGE sql IMMUTABLE AS $f$
  SELECT CASE WHEN f = '' THEN s
    ELSE regexp_replace(s COLLATE "C", regexp_replace(f COLLATE "C", '([.^$*+?()\[\]{}|\\])', '\\\1', 'g'),
                        replace(r COLLATE "C", '\', '\\'), 'gi') END
$f$;
-- A LIKE pattern known only when the statement runs (Jet's * ? # [..] [!..]
-- and SQL Server's % _ [^..]) as an anchored regular expression.
CREATE OR REPLACE FUNCTION rvz_like_regex(p text) RETURNS text LANGUAGE plpgsql IMMUTABLE STRICT AS $f$
DECLARE
  r text := '^';
  i int := 1;
  n int := length(p);
  c text;
  j int;
  body text;
BEGIN
  WHILE i <= n LOOP
    c := substr(p, i, 1);
    IF c = '*' OR c = '%' THEN
      r := r || '.*';
    ELSIF c = '?' OR c = '_' THEN
      r := r || '.';
    ELSIF c = '#' THEN
      r := r || '[0-9]';
    ELSIF c = '[' THEN
      j := strpos(substr(p, i + 1) COLLATE "C", ']');
      IF j = 0 THEN
        RAISE EXCEPTION 'the LIKE pattern % has a character list without a closing bracket', p
          USING ERRCODE = '22025';
      END IF;
      body := substr(p, i + 1, j - 1);
      IF left(body, 1) IN ('!', '^') THEN
        body := '^' || substr(body, 2);
      END IF;
      r := r || '[' || replace(body COLLATE "C", '\', '\\') || ']';
      i := i + j;
    ELSIF strpos('.^$+(){}|\]' COLLATE "C", c) > 0 THEN
      r := r || '\' || c;
    ELSE
      r := r || c;
    END IF;
    i := i + 1;
  END LOOP;
  RETURN r || '$';
END
$f$;
-- @@IDENTITY: the last identity value this session made, Null before any.
CREATE OR REPLACE FUNCTION rvz_identity() RETURNS bigint LANGUAGE plpgsql VOLATILE AS $f$
BEGIN
  RETURN lastval();
EXCEPTION WHEN object_not_in_prerequisite_state THEN
  RETURN NULL;
END
$f$;
)sql";
}

}  // namespace rvz::data::jet
