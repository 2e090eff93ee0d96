// Recursive-descent parser of Jet SQL: statements into the syntax tree, with
// bounded nesting, plus the token helpers the DDL translation reads with.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/jet/jet_ast.h"
#include "platform/data/jet/jet_lexer.h"

namespace rvz::data::jet {

// Why a command text is passed on untranslated. Internal to the translator:
// translate() catches it and returns the text unchanged.
class TranslateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Nesting deeper than this (parentheses, subqueries, NOT chains) is refused.
inline constexpr int kMaxNesting = 200;
// Trees taller than this (long operator chains, joins, subqueries within
// them) are refused, so that the recursion over them stays bounded as well.
inline constexpr int kMaxTreeHeight = 600;

enum class StatementKind { Select, Insert, Update, Delete, Crosstab };

struct Statement {
  StatementKind kind = StatementKind::Select;
  // A PARAMETERS clause ahead of the statement: its names stand for the
  // markers ?1, ?2 ... in declared order.
  std::vector<ParameterDecl> parameters;
  std::unique_ptr<Select> select;
  std::unique_ptr<InsertStatement> insert;
  std::unique_ptr<UpdateStatement> update;
  std::unique_ptr<DeleteStatement> del;
  std::unique_ptr<CrosstabStatement> crosstab;
};

bool equalsWordNoCase(std::string_view a, std::string_view b);

class Parser {
 public:
  explicit Parser(const std::vector<Token>& tokens) : tokens_(tokens) {}

  // A whole SELECT, INSERT, UPDATE or DELETE text, up to an optional ";".
  Statement parseStatement();
  ExprPtr parseExpression();
  // PARAMETERS name type [, ...] ; -- the clause and its ";".
  std::vector<ParameterDecl> parseParameterDecls();

  // Token access for the DDL translation.
  const Token& peek(size_t ahead = 0) const;
  const Token& next();
  bool isWord(std::string_view keyword, size_t ahead = 0) const;
  bool isSymbol(std::string_view symbol, size_t ahead = 0) const;
  bool acceptWord(std::string_view keyword);
  bool acceptSymbol(std::string_view symbol);
  void expectWord(std::string_view keyword);
  void expectSymbol(std::string_view symbol);
  // A word that is not a reserved keyword, or a quoted name.
  Name parseName(const char* what);
  std::vector<Name> parseNamePath(const char* what);
  // An optional ";" and then the end of the text; in a batch, the start of
  // the next statement may stand there instead.
  void expectEnd();
  // Reads SQL Server's forms as well as Jet's: CASE, CAST, CONVERT, %,
  // @@IDENTITY, and a text of several statements (a batch) one by one.
  void readSqlServerForms() { sqlServer_ = true; }
  bool atEnd() const { return peek().kind == TokenKind::End; }
  [[noreturn]] void fail(const std::string& what) const;

 private:
  struct DepthGuard {
    explicit DepthGuard(Parser& p);
    ~DepthGuard() { --p.depth_; }
    Parser& p;
  };

  std::unique_ptr<Select> parseSelect();
  void parseSelectMember(Select& s);
  SelectCore parseSelectCore();
  std::vector<OrderItem> parseOrderBy();
  TableRefPtr parseTableExpression();
  TableRefPtr parseTablePrimary();
  std::optional<Name> parseOptionalAlias();

  ExprPtr parseXor();
  ExprPtr parseOr();
  ExprPtr parseAnd();
  ExprPtr parseNot();
  ExprPtr parseComparison();
  ExprPtr parseConcat();
  ExprPtr parseAdditive();
  ExprPtr parseModulo();
  ExprPtr parseIntDivide();
  ExprPtr parseMultiplicative();
  ExprPtr parseUnary();
  ExprPtr parsePower();
  ExprPtr parsePrimary();
  ExprPtr parseLiteral(ExprKind kind);
  ExprPtr parseMarker();
  ExprPtr parseParenthesised();
  ExprPtr parseSubqueryExpr(ExprKind kind);
  ExprPtr parseWordPrimary();
  ExprPtr parseColumnReference();
  ExprPtr parseCall(std::string name);
  ExprPtr parseCase();
  ExprPtr parseCast();

  ExprPtr node(ExprKind kind, std::vector<ExprPtr> children);
  // Heights add up through subqueries and joins, so that the recursion over
  // the whole statement, not only over one expression, stays bounded.
  void noteHeight(int height);
  std::unique_ptr<Select> parseNestedSelect(int& height);
  ExprPtr binary(BinaryOp op, ExprPtr l, ExprPtr r);

  std::unique_ptr<InsertStatement> parseInsert();
  std::unique_ptr<UpdateStatement> parseUpdate();
  std::unique_ptr<DeleteStatement> parseDelete();
  std::unique_ptr<CrosstabStatement> parseCrosstab();

  const std::vector<Token>& tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
  int params_ = 0;
  int heightSeen_ = 0;
  bool sqlServer_ = false;                                // of the tallest tree in the select being read
  const std::vector<ParameterDecl>* declared_ = nullptr;  // names that are parameters
};

// Words the parser reserves: they never name a column, table or alias
// unless written in brackets.
bool isReservedWord(std::string_view word);

}  // namespace rvz::data::jet
