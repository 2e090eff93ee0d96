// The functions that translated PostgreSQL SQL calls where plain SQL has no
// equivalent of a Jet function (First and Last as aggregates, LIKE with a
// pattern known only when the statement runs), as one script of CREATE OR
// REPLACE statements. pgSetupSql() (pg_types.h) includes it.
#pragma once

#include <string>

namespace rvz::data::jet {

std::string pgFunctionsSql();

}  // namespace rvz::data::jet
