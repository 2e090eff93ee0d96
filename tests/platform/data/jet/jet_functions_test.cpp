// The Jet functions on SQLite, called from translated Jet texts: results as
// VBA gives them, Null handling, and the errors with the function's name.
#include <gtest/gtest.h>

#include "tests/platform/data/jet/jet_test_db.h"

namespace rvz::data::jet {
namespace {

using testing::TestDb;

struct Case {
  const char* expression;
  const char* result;
};

void expectAll(TestDb& db, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    std::string got;
    try {
      got = db.scalar(std::string("select ") + c.expression);
    } catch (const std::exception& e) {
      got = std::string("error: ") + e.what();
    }
    EXPECT_EQ(got, c.result) << c.expression;
  }
}

TEST(JetFunctions, DateParts) {
  TestDb db;
  expectAll(db, {
                    {"Year(#2008-08-30 14:25:07#)", "2008"},
                    {"Month(#2008-08-30 14:25:07#)", "8"},
                    {"Day(#2008-08-30 14:25:07#)", "30"},
                    {"Hour(#2008-08-30 14:25:07#)", "14"},
                    {"Minute(#2008-08-30 14:25:07#)", "25"},
                    {"Second(#2008-08-30 14:25:07#)", "7"},
                    {"year('2008-08-30')", "2008"},
                    {"YEAR(39690)", "2008"},
                    {"Year(Null)", "NULL"},
                    {"Weekday(#2008-08-30#)", "7"},
                    {"Weekday(#2008-08-31#)", "1"},
                    {"Weekday(#2008-08-30#, 2)", "6"},
                    {"DatePart('q', #2008-08-30#)", "3"},
                    {"DatePart('y', #2008-02-01#)", "32"},
                    {"DatePart('ww', #2008-01-05#)", "1"},
                    {"DatePart('ww', #2008-01-06#)", "2"},
                    {"DatePart('h', #2008-01-06 17:00#)", "17"},
                });
}

TEST(JetFunctions, DateArithmetic) {
  TestDb db;
  expectAll(db, {
                    {"DateAdd('d', 1, #2008-08-30#)", "2008-08-31 00:00:00"},
                    {"DateAdd('m', 1, #2008-01-31#)", "2008-02-29 00:00:00"},
                    {"DateAdd('yyyy', -1, #2008-02-29#)", "2007-02-28 00:00:00"},
                    {"DateAdd('q', 1, #2008-11-30#)", "2009-02-28 00:00:00"},
                    {"DateAdd('ww', 2, #2008-08-30#)", "2008-09-13 00:00:00"},
                    {"DateAdd('h', 10, #2008-08-30 20:00#)", "2008-08-31 06:00:00"},
                    {"DateAdd('n', -30, #2008-08-30 00:10#)", "2008-08-29 23:40:00"},
                    {"DateAdd('s', 59, #2008-08-30 23:59:01#)", "2008-08-31 00:00:00"},
                    {"DateAdd('d', 1.5, #2008-08-30#)", "2008-09-01 00:00:00"},
                    {"DateAdd('D', 1, Null)", "NULL"},
                    {"DateDiff('d', #2008-08-30 23:00#, #2008-08-31 01:00#)", "1"},
                    {"DateDiff('d', #2008-08-31#, #2008-08-01#)", "-30"},
                    {"DateDiff('yyyy', #2008-12-31#, #2009-01-01#)", "1"},
                    {"DateDiff('q', #2008-03-31#, #2008-04-01#)", "1"},
                    {"DateDiff('m', #2008-01-31#, #2008-02-01#)", "1"},
                    {"DateDiff('h', #2008-08-30 01:59#, #2008-08-30 02:01#)", "1"},
                    {"DateDiff('n', #2008-08-30 01:59:59#, #2008-08-30 02:00:00#)", "1"},
                    {"DateDiff('s', #2008-08-30 01:59#, #2008-08-30 02:01#)", "120"},
                    {"DateDiff('w', #2008-08-01#, #2008-08-30#)", "4"},
                    {"DateDiff('ww', #2008-08-30#, #2008-08-31#)", "1"},
                    {"DateDiff('ww', #2008-08-31#, #2008-09-06#)", "0"},
                    {"DateDiff('d', Null, #2008-08-31#)", "NULL"},
                    {"DateSerial(2008, 8, 30)", "2008-08-30 00:00:00"},
                    {"DateSerial(2008, 13, 1)", "2009-01-01 00:00:00"},
                    {"DateSerial(2008, 3, 0)", "2008-02-29 00:00:00"},
                    {"DateSerial(2008, 1, -1)", "2007-12-30 00:00:00"},
                    {"DateSerial(8, 1, 1)", "2008-01-01 00:00:00"},
                    {"TimeSerial(14, 25, 70)", "1899-12-30 14:26:10"},
                    {"CDate('8/30/2008')", "2008-08-30 00:00:00"},
                    {"CDate(39690.5)", "2008-08-30 12:00:00"},
                    {"DateValue(#2008-08-30 14:25#)", "2008-08-30 00:00:00"},
                    {"TimeValue('2008-08-30 14:25:00')", "1899-12-30 14:25:00"},
                });
}

TEST(JetFunctions, TextByCharactersNotBytes) {
  TestDb db;
  expectAll(db, {
                    {"Left('中文abc', 2)", "中文"},
                    {"Right('中文abc', 2)", "bc"},
                    {"Right('中文', 5)", "中文"},
                    {"Left$('ab', 0)", ""},
                    {"Mid('中文abc', 2, 2)", "文a"},
                    {"Mid('abc', 2)", "bc"},
                    {"Mid('abc', 5)", ""},
                    {"Mid(Null, 1)", "NULL"},
                    {"Len('中文')", "2"},
                    {"Len(123)", "3"},
                    {"Len(Null)", "NULL"},
                    {"Trim('  a b  ') & '|'", "a b|"},
                    {"LTrim('  a ') & '|'", "a |"},
                    {"RTrim('  a ') & '|'", "  a|"},
                    {"UCase('abcé中')", "ABCÉ中"},
                    {"LCase('ABCÉ中')", "abcé中"},
                    {"InStr('中文abc', 'b')", "4"},
                    {"InStr(4, 'abcabc', 'b')", "5"},
                    {"InStr('abc', 'B')", "2"},
                    {"InStr(1, 'abc', 'B', 0)", "0"},
                    {"InStr('abc', 'z')", "0"},
                    {"InStr('abc', '')", "1"},
                    {"InStr(9, 'abc', 'a')", "0"},
                    {"InStr(Null, 'a')", "NULL"},
                    {"StrComp('a', 'B')", "-1"},
                    {"StrComp('a', 'A')", "0"},
                    {"StrComp('a', 'A', 0)", "1"},
                    {"Space(3) & '|'", "   |"},
                    {"String(3, 'ab')", "aaa"},
                    {"String(2, 65)", "AA"},
                    {"Replace('a-b-c', '-', '+')", "a+b+c"},
                    {"Replace('aAa', 'a', 'x')", "xxx"},
                    {"Replace('aAa', 'a', 'x', 1, -1, 0)", "xAx"},
                    {"Replace('abcabc', 'b', 'x', 3)", "caxc"},
                    {"Replace('abcabc', 'b', 'x', 1, 1)", "axcabc"},
                    {"Replace('中文中', '中', '')", "文"},
                    {"Chr(65)", "A"},
                    {"Len(Chr(13) & Chr(10))", "2"},
                    {"Asc('A')", "65"},
                    {"Asc('中')", "-10544"},
                    {"Chr(-10544)", "中"},
                    {"ChrW(20013)", "中"},
                    {"AscW('中')", "20013"},
                    {"Str(5)", " 5"},
                    {"Str(-5)", "-5"},
                });
}

TEST(JetFunctions, ConversionsRoundAsVba) {
  TestDb db;
  expectAll(db, {
                    {"CStr(1.5)", "1.5"},
                    {"CStr(100)", "100"},
                    {"CStr(0.1 + 0.2)", "0.3"},
                    {"CStr(1E+20)", "1E+20"},
                    {"CStr(0.00001)", "1E-05"},
                    {"CDbl('1,234.5')", "1234.5"},
                    {"CDbl('  12 ')", "12"},
                    {"CDbl(#2008-08-30 12:00#)", "39690.5"},
                    {"CLng(2.5)", "2"},
                    {"CLng(3.5)", "4"},
                    {"CLng(-2.5)", "-2"},
                    {"CLng('&HFF')", "255"},
                    {"CInt('7.5')", "8"},
                    {"CSng(0.1) = 0.1", "0"},
                    {"CCur(1.23456)", "1.2346"},
                    {"CBool('True')", "-1"},
                    {"CBool(0)", "0"},
                    {"CBool(5)", "-1"},
                    {"Val('12abc')", "12"},
                    {"Val(' 1 2 3')", "123"},
                    {"Val('abc')", "0"},
                    {"Val('&H1F')", "31"},
                    {"Val('-3.5e2x')", "-350"},
                    {"Val('1.2.3')", "1.2"},
                    {"Fix(-2.5)", "-2"},
                    {"Int(-2.5)", "-3"},
                    {"Int(7)", "7"},
                    {"Int('7.9')", "7"},
                    {"Abs(-3)", "3"},
                    {"Abs(-2.5)", "2.5"},
                    {"Sgn(-0.1)", "-1"},
                    {"Sgn(0)", "0"},
                    {"Sgn(7)", "1"},
                    {"Round(2.5)", "2"},
                    {"Round(3.5)", "4"},
                    {"Round(-2.5)", "-2"},
                    {"Round(2.345, 2)", "2.34"},
                    {"Round(2.355, 2)", "2.36"},
                    {"Round(1.005, 2)", "1"},
                    {"Round(7, 2)", "7"},
                    {"Sqr(16)", "4"},
                    {"Nz(Null, 5)", "5"},
                    {"Nz(Null) & '|'", "|"},
                    {"Nz(3)", "3"},
                    {"IsNull(Null)", "-1"},
                    {"IsNull(0)", "0"},
                    {"ISNULL('')", "0"},
                });
}

TEST(JetFunctions, AggregatesOfJet) {
  TestDb db;
  db.exec("CREATE TABLE V (G LONG, X DOUBLE, S TEXT(5))");
  db.exec("INSERT INTO V VALUES (1, 2, 'a')");
  db.exec("INSERT INTO V VALUES (1, 4, 'b')");
  db.exec("INSERT INTO V VALUES (1, Null, 'c')");
  db.exec("INSERT INTO V VALUES (2, 9, 'd')");
  auto r = db.query(
      "select G, First(S), Last(S), StDev(X), Var(X), VarP(X), StDevP(X), Sum(X), Count(X) from V group by G order "
      "by G");
  EXPECT_EQ(r.rows, (std::vector<std::vector<std::string>>{{"1", "a", "c", "1.4142135623731", "2", "1", "1", "6", "2"},
                                                           {"2", "d", "d", "NULL", "NULL", "0", "0", "9", "1"}}));
}

TEST(JetFunctions, ErrorsNameTheFunctionAndTheReason) {
  TestDb db;
  const std::pair<const char*, const char*> cases[] = {
      {"select Mid('abc', 0)", "Mid: the start must be 1 or more"},
      {"select Left('abc', -1)", "Left: argument 2 must not be negative"},
      {"select Mid('abc')", "Mid: takes 2 to 3 arguments, not 1"},
      {"select CLng('abc')", "CLng: type mismatch: 'abc' is not a number"},
      {"select CLng(3E+9)", "CLng: overflow"},
      {"select CInt(40000)", "CInt: overflow"},
      {"select Year('abc')", "Year: type mismatch: 'abc' is not a date"},
      {"select CStr(Null)", "CStr: invalid use of Null in argument 1"},
      {"select DateAdd('x', 1, #2008-08-30#)", "DateAdd: unknown interval 'x'"},
      {"select DateAdd('yyyy', 9000, #2008-08-30#)", "DateAdd: the result is not a valid date"},
      {"select DateSerial(99999, 1, 1)", "DateSerial: the result is not a valid date"},
      {"select Asc('')", "Asc: the text is empty"},
      {"select Space(-1)", "Space: argument 1 must not be negative"},
      {"select Space(2000000000)", "Space: the length 2000000000 is too large"},
      {"select String(2000000000, 'x')", "String: the length 2000000000 is too large"},
      {"select ChrW(55296)", "ChrW: the code 55296 is half of a surrogate pair"},
      {"select Sqr(-1)", "Sqr: the square root of a negative number"},
      {"select (-8) ^ 0.5", "^: a negative number to a fractional power"},
      {"select Round(1.5, -1)", "Round: the number of decimals must not be negative"},
      {"select InStr(0, 'a', 'a')", "InStr: the start must be 1 or more"},
      {"select Val(Null)", "Val: invalid use of Null in argument 1"},
      {"select CDate('not a date')", "CDate: type mismatch: 'not a date' is not a date"},
  };
  for (const auto& [sql, message] : cases) {
    std::string error = db.errorOf(sql);
    EXPECT_NE(error.find(message), std::string::npos) << sql << "\n  got: " << error;
  }
}

}  // namespace
}  // namespace rvz::data::jet
