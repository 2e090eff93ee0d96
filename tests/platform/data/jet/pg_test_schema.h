// The company database and account registry as a translation schema: their
// Jet DDL made on an in-memory SQLite database, whose tables then answer
// for their columns' Jet types and their names' stored spellings.
#pragma once

#include <memory>

#include "platform/data/jet/jet_result_types.h"

struct sqlite3;

namespace rvz::data::jet::testing {

class CompanySchema final : public Schema {
 public:
  CompanySchema();
  ~CompanySchema() override;
  CompanySchema(const CompanySchema&) = delete;
  CompanySchema& operator=(const CompanySchema&) = delete;

  std::optional<std::vector<BaseColumn>> columnsOf(std::string_view table) override;
  std::string tableName(std::string_view table) override;

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace rvz::data::jet::testing
