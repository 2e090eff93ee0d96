// The translator's inside view: the result of one translation with the
// reason a text was passed on unchanged, and the DDL translation.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/jet/jet_emit.h"
#include "platform/data/jet/jet_parser.h"
#include "platform/data/jet/jet_result_types.h"

namespace rvz::data::jet {

struct Translation {
  std::string sql;  // the SQLite text, or the input unchanged
  bool translated = false;
  std::string reason;               // why not, when not translated
  std::vector<ColumnType> columns;  // with a schema: the result columns' types (see TypedTranslation)
  std::optional<MakeTable> makeTable;
  std::optional<std::string> pivotValuesSql;  // see TypedTranslation
  std::vector<std::string> statements;        // see TypedTranslation
};

// With a schema, column references are typed through it (see translateTyped);
// with pivot values, a crosstab takes them as its columns (translateCrosstab).
Translation translateDetailed(std::string_view jetSql, Schema* schema = nullptr,
                              const std::vector<PivotValue>* pivotValues = nullptr, Target target = Target::Sqlite);

// CREATE TABLE / CREATE INDEX / DROP / ALTER TABLE, read from `p` (at the
// first word) to the end of the text, in the emitter's target's SQL.
std::string translateDdl(Parser& p, Emitter& e);

}  // namespace rvz::data::jet
