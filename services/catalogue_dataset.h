// A dataset of a service object: the query built from its catalogue
// declaration, with its fields bound to the result every time it opens.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "catalogue/binding.h"
#include "catalogue/declaration.h"
#include "platform/data/query.h"

namespace rvz::services {

class CatalogueDataset {
 public:
  CatalogueDataset(const catalogue::DatasetDecl& decl, data::Connection& connection);
  // A dataset whose connection is given later, or never (opening it fails
  // with "<name>: Missing Connection or ConnectionString").
  explicit CatalogueDataset(const catalogue::DatasetDecl& decl, data::Connection* connection = nullptr);

  const catalogue::DatasetDecl& declaration() const { return *decl_; }
  const std::string& name() const { return query_.name(); }
  data::Query& query() { return query_; }
  const data::Query& query() const { return query_; }
  // Throws "<name>: Missing Connection or ConnectionString" without one.
  data::Connection& connection() const;
  // Closes the dataset when the connection changes.
  void setConnection(data::Connection* connection);

  // Opens the query and binds its fields; a field that does not bind
  // leaves the dataset closed and fails with "<name>: <message>". Opening an
  // open dataset does nothing.
  void open();
  void close() { query_.close(); }
  bool isOpen() const { return query_.isOpen(); }

  bool declaresFields() const { return !decl_->fields.empty(); }
  // The fields of the open dataset: the declared ones, bound, or one per
  // result column.
  const std::vector<catalogue::BoundField>& fields() const { return fields_; }
  // Positions (0-based, in field order) of the fields flagged in key; known
  // from the declaration even while closed.
  std::vector<size_t> keyFields() const;
  // Names of the fields flagged in key.
  std::vector<std::string> keyFieldNames() const;

  // The value of a bound field in the current row, as the column gives it.
  Variant columnValue(const catalogue::BoundField& f) const;

 private:
  const catalogue::DatasetDecl* decl_;
  data::Query query_;
  std::vector<catalogue::BoundField> fields_;
};

// The declared SQL as one command text: every line followed by CR LF.
std::string commandTextOf(const catalogue::DatasetDecl& decl);

// The declared parameters as query parameters.
std::vector<data::Parameter> declaredParameters(const catalogue::DatasetDecl& decl);

}  // namespace rvz::services
