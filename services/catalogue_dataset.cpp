// Catalogue datasets: declaration applied to a query, binding on open.
#include "services/catalogue_dataset.h"

namespace rvz::services {

std::string commandTextOf(const catalogue::DatasetDecl& decl) {
  std::string text;
  for (auto line : decl.sql) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::vector<data::Parameter> declaredParameters(const catalogue::DatasetDecl& decl) {
  std::vector<data::Parameter> out;
  for (const auto& p : decl.params) {
    data::Parameter q;
    q.name = std::string(p.name);
    q.dataType = p.type == catalogue::FieldType::WideString ? data::FieldKind::WideString : data::FieldKind::Unknown;
    q.direction = static_cast<data::ParamDirection>(p.direction);
    q.size = p.size;
    q.precision = p.precision;
    q.scale = p.numericScale;
    q.value = p.nullable ? Variant::null() : Variant();
    out.push_back(std::move(q));
  }
  return out;
}

CatalogueDataset::CatalogueDataset(const catalogue::DatasetDecl& decl, data::Connection& connection)
    : CatalogueDataset(decl, &connection) {}

CatalogueDataset::CatalogueDataset(const catalogue::DatasetDecl& decl, data::Connection* connection)
    : decl_(&decl), query_(std::string(decl.name), connection) {
  query_.setCommandText(commandTextOf(decl));
  query_.setParameters(declaredParameters(decl));
}

data::Connection& CatalogueDataset::connection() const {
  if (!query_.connection()) throw data::DataError::dataset(name(), data::kMissingConnectionText);
  return *query_.connection();
}

void CatalogueDataset::setConnection(data::Connection* connection) {
  if (connection == query_.connection()) return;
  close();
  query_.setConnection(connection);
}

void CatalogueDataset::open() {
  if (query_.isOpen()) return;
  query_.open();
  try {
    fields_ = declaresFields() ? catalogue::bindDeclaredFields(name(), decl_->fields, query_.columns())
                               : catalogue::fieldsFromColumns(query_.columns());
  } catch (...) {
    query_.close();
    fields_.clear();
    throw;
  }
}

std::vector<size_t> CatalogueDataset::keyFields() const {
  std::vector<size_t> out;
  for (size_t i = 0; i < decl_->fields.size(); ++i)
    if (decl_->fields[i].flags & catalogue::K) out.push_back(i);
  return out;
}

std::vector<std::string> CatalogueDataset::keyFieldNames() const {
  std::vector<std::string> out;
  for (size_t i : keyFields()) out.emplace_back(decl_->fields[i].name);
  return out;
}

Variant CatalogueDataset::columnValue(const catalogue::BoundField& f) const { return query_.field(f.column).value(); }

}  // namespace rvz::services
