// Gives the expressions of a parsed Jet statement their types: the result
// columns of a SELECT as Jet types them, and for every column reference the
// kind of value the emitter must know of (a date-time column moves by days
// under + and -, a text column joins under +).
#pragma once

#include <optional>
#include <vector>

#include "platform/data/jet/jet_ast.h"
#include "platform/data/jet/jet_emit.h"
#include "platform/data/jet/jet_parser.h"
#include "platform/data/jet/jet_result_types.h"

namespace rvz::data::jet {

// The Jet type a PARAMETERS declaration names; throws TranslateError for a
// word that names no type.
ColumnType declaredType(const ParameterDecl& d);

class Typer {
 public:
  explicit Typer(Schema& schema) : schema_(schema) {}

  // Types the whole statement. For a SELECT, the result columns with their
  // names, "*" expanded; nullopt for other statements and when a "*" names
  // a table the schema does not know.
  std::optional<std::vector<BaseColumn>> statement(const Statement& s);

  const ColumnKinds& columnKinds() const { return kinds_; }
  // The stored spellings of the tables and columns the statement names, as
  // the schema gives them (see Spellings).
  const Spellings& spellings() const { return spellings_; }
  // After statement() on an INSERT or UPDATE: the types of the columns it
  // writes, in the order of its column list or SET (of the table's columns
  // when INSERT lists none); empty when the table is unknown.
  const std::vector<JetType>& writtenTypes() const { return written_; }
  // After statement() on a crosstab: the type of each of its value columns.
  const ColumnType& crosstabValueType() const { return crosstabValue_; }

 private:
  struct Source {
    std::string key;                                 // the alias, or the table's name, lower case
    std::string table;                               // lower case; empty for a sub-query
    std::optional<std::vector<BaseColumn>> columns;  // nullopt: unknown table
  };
  struct Scope {
    const Scope* parent = nullptr;
    std::vector<Source> sources;
    std::vector<BaseColumn> aliases;  // select-list aliases seen so far (names lower case)
  };

  std::optional<std::vector<BaseColumn>> select(const Select& s, const Scope* parent);
  // `also`: expressions typed in the select's scope after its list (a
  // crosstab's value and pivot), their types into `alsoTypes`.
  std::optional<std::vector<BaseColumn>> core(const SelectCore& c, const Scope* parent,
                                              const std::vector<const Expr*>& also = {},
                                              std::vector<ColumnType>* alsoTypes = nullptr,
                                              const std::vector<OrderItem>* outerOrder = nullptr);
  void addSource(const TableRef& t, Scope& scope, const Scope* parent);
  void walkOn(const TableRef& t, Scope& scope);
  ColumnType type(const Expr& e, Scope& scope);
  ColumnType call(const Expr& e, Scope& scope);
  ColumnType columnRef(const Expr& e, const Scope& scope);
  ColumnType subqueryType(const Select& s, const Scope& scope);

  Schema& schema_;
  ColumnKinds kinds_;
  Spellings spellings_;
  void spellColumns(const std::vector<Name>& table, const std::vector<const Name*>& columns);
  std::vector<ColumnType> declared_;
  std::vector<JetType> written_;  // types of the declared parameters
  ColumnType crosstabValue_;
};

}  // namespace rvz::data::jet
