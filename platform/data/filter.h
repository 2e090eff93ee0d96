// Record filters in the ADO filter syntax: "Field op value" clauses joined by
// AND and OR, with parentheses. Parsed once, bound to a result's columns,
// then tested row by row on stored values.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/driver.h"
#include "platform/data/field_kind.h"

namespace rvz::data {

// Grammar (keywords in any letter case):
//   expr    := term { OR term }
//   term    := factor { AND factor }
//   factor  := "(" expr ")" | field op value | field IS [NOT] NULL | field [NOT] LIKE value
//   op      := "=" | "<>" | "!=" | "<" | ">" | "<=" | ">="
//   field   := name | "[" any text "]"
//   value   := 'text' (a quote doubled inside) | #date# | number | NULL | TRUE | FALSE
// "= Null" and "<> Null" test for null; a null field fails every other test.
// Text compares without regard to letter case; LIKE takes "*" and "%" as any
// run of characters. Dates (#2008-08-30#, #8/30/2008#, #2008-08-30 14:25#)
// compare as date-times; numbers and True/False (-1/0) compare numerically.
class Filter {
 public:
  // Throws DataError (kErrArgument) naming the position and what was expected.
  static Filter parse(std::string_view text);

  Filter();
  ~Filter();
  Filter(Filter&&) noexcept;
  Filter& operator=(Filter&&) noexcept;

  // Binds the field names to columns (without regard to case) and converts
  // the values to the columns' kinds. Throws DataError for an unknown field
  // or a value that the field's kind cannot compare with.
  void bind(const std::vector<ColumnInfo>& columns);

  // Whether a row (one cell per column of the bound result) passes.
  bool matches(std::span<const Cell> row) const;

  const std::string& text() const { return text_; }

  struct Node;

 private:
  std::string text_;
  std::unique_ptr<Node> root_;
};

}  // namespace rvz::data
