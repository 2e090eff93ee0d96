// Declared types read back as column kinds: the Access names with their
// sizes, precisions and scales, the way the words are written, and SQLite's
// affinity words for a type that names no Access type.
#include "platform/data/sqlite/declared_type.h"

#include <gtest/gtest.h>

namespace rvz::data::sqlite {
namespace {

struct Case {
  const char* declared;
  FieldKind kind;
  int32_t size = 0;
  int32_t precision = 0;
  int32_t scale = 0;
  bool fixed = false;
  bool fromValues = false;
};

void expectKind(const Case& c) {
  SCOPED_TRACE(std::string("declared \"") + c.declared + "\"");
  const ColumnInfo got = kindOfDeclaredType(c.declared);
  EXPECT_EQ(kindName(got.kind), kindName(c.kind));
  EXPECT_EQ(got.size, c.size);
  EXPECT_EQ(got.precision, c.precision);
  EXPECT_EQ(got.scale, c.scale);
  EXPECT_EQ(got.fixed, c.fixed);
  EXPECT_EQ(got.kindFromValues, c.fromValues);
  EXPECT_EQ(got.declaredType, c.declared);
}

TEST(DeclaredType, AccessTypesWhateverTheirSpelling) {
  const Case cases[] = {
      // Letter case and blanks do not matter; words are compared joined by one blank.
      {"text(50)", FieldKind::WideString, 50},
      {"National   Character\tVarying ( 40 )", FieldKind::WideString, 40},
      {"NCHAR", FieldKind::WideString, 255, 0, 0, true},
      {"ANSIVARCHAR(8)", FieldKind::String, 8},
      {"ANSICHAR(4)", FieldKind::FixedChar, 4, 0, 0, true},
      {"LONGCHAR", FieldKind::Memo},
      {"IDENTITY", FieldKind::AutoInc},
      {"long integer", FieldKind::Integer},
      {"INTEGER1", FieldKind::SmallInt},
      {"INT8", FieldKind::LargeInt},
      {"LOGICAL1", FieldKind::Boolean},
      {"IEEESINGLE", FieldKind::Float},
      {"TIMESTAMP", FieldKind::DateTime},
      {"date", FieldKind::Date},
      {"TIME", FieldKind::Time},
      {"GENERAL", FieldKind::Blob},
      {"UNIQUEIDENTIFIER", FieldKind::Guid, 38},
  };
  for (const Case& c : cases) expectKind(c);
}

TEST(DeclaredType, NumbersWithDigitsAndBytesWithSizes) {
  const Case cases[] = {
      {"MONEY", FieldKind::BCD, 4, 19, 4},
      {"DEC", FieldKind::BCD, 0, 18, 0},
      {"DECIMAL(12,2)", FieldKind::BCD, 2, 12, 2},
      {"DECIMAL(5,9)", FieldKind::BCD, 5, 5, 5},  // no more decimals than digits
      {"NUMERIC(9)", FieldKind::Integer},         // whole and within 32 bits
      {"NUMERIC(10)", FieldKind::BCD, 0, 10, 0},
      {"NUMERIC(9,1)", FieldKind::BCD, 1, 9, 1},
      {"DECIMAL(9)", FieldKind::BCD, 0, 9, 0},  // only NUMERIC turns into an integer
      {"BINARY", FieldKind::Bytes, 255},
      {"VARBINARY(16)", FieldKind::VarBytes, 16},
      {"TEXT(99999999999)", FieldKind::WideString, 1 << 30},  // sizes stop at 2^30
  };
  for (const Case& c : cases) expectKind(c);
  EXPECT_TRUE(kindOfDeclaredType("CURRENCY").currency);
  EXPECT_FALSE(kindOfDeclaredType("DECIMAL(19,4)").currency);
}

TEST(DeclaredType, OtherTypesFallBackOnSqliteAffinityWords) {
  const Case cases[] = {
      {"UNSIGNED BIG INT", FieldKind::Integer},
      {"FLOATING POINT", FieldKind::Integer},  // "INT" is looked for first, as SQLite does
      {"VARYING CHARACTER(70)", FieldKind::WideString, 70},
      {"NATIVE TEXT", FieldKind::WideString, 255},
      {"BLOBS", FieldKind::Blob},
      {"DOUBLE FLOAT", FieldKind::Float},
      {"", FieldKind::Unknown, 0, 0, 0, false, true},
      {"  ", FieldKind::Unknown, 0, 0, 0, false, true},
      {"JSON", FieldKind::Unknown, 0, 0, 0, false, true},
  };
  for (const Case& c : cases) expectKind(c);
}

}  // namespace
}  // namespace rvz::data::sqlite
