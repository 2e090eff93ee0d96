// Jet's Format on SQLite: number, date and text formats as a business
// application uses them, in the server's Chinese locale.
#include <gtest/gtest.h>

#include "platform/data/jet/jet_format.h"
#include "tests/platform/data/jet/jet_test_db.h"

namespace rvz::data::jet {
namespace {

using testing::TestDb;

struct FormatCase {
  const char* value;  // a Jet expression
  const char* format;
  const char* result;
};

void expectFormats(const std::vector<FormatCase>& cases) {
  TestDb db;
  for (const FormatCase& c : cases) {
    std::string sql = std::string("select Format(") + c.value + ", '" + c.format + "')";
    std::string got;
    try {
      got = db.scalar(sql);
    } catch (const std::exception& e) {
      got = std::string("error: ") + e.what();
    }
    EXPECT_EQ(got, c.result) << sql;
  }
}

TEST(JetFormat, NumberFormats) {
  expectFormats({
      {"1234.5", "#,##0.00", "1,234.50"},
      {"1234567.891", "#,##0.00", "1,234,567.89"},
      {"-1234.5", "#,##0.00", "-1,234.50"},
      {"0.5", "0.00", "0.50"},
      {"2.345", "0.00", "2.35"},
      {"-2.345", "0.00", "-2.35"},
      {"0.125", "0.00", "0.13"},
      {"5", "0", "5"},
      {"5.5", "0", "6"},
      {"-0.4", "0", "0"},
      {"12", "000", "012"},
      {"1234", "#", "1234"},
      {"0", "#", ""},
      {"0.5", "#.00", ".50"},
      {"5", "#.##", "5."},
      {"5.25", "0.0#", "5.25"},
      {"5.2", "0.0#", "5.2"},
      {"0.256", "0.0%", "25.6%"},
      {"12345.678", "0.00E+00", "1.23E+04"},
      {"0.000123", "0.00E-00", "1.23E-04"},
      {"99999", "0.0E+0", "1.0E+5"},
      {"-5", "0;(0)", "(5)"},
      {"0", "0;(0);\"zero\"", "zero"},
      {"5551234", "000-0000", "555-1234"},
      {"1234567", "#,##0,", "1,235"},
      {"123", "\"No.\"0", "No.123"},
      {"123", "\\$0", "$123"},
      {"'5'", "0.00", "5.00"},
      {"'abc'", "0.00", "abc"},
      {"1234.5", "General Number", "1234.5"},
      {"100", "General Number", "100"},
      {"1234.5", "Standard", "1,234.50"},
      {"1234.5", "fixed", "1234.50"},
      {"0.256", "Percent", "25.60%"},
      {"12345.678", "Scientific", "1.23E+04"},
      {"1234.5", "Currency",
       "\xC2\xA5"
       "1,234.50"},
      {"-1", "Yes/No", "Yes"},
      {"0", "True/False", "False"},
      {"1", "On/Off", "On"},
  });
}

TEST(JetFormat, DateFormats) {
  expectFormats({
      {"#2008-08-30 14:05:07#", "yyyy-mm-dd", "2008-08-30"},
      {"#2008-08-30 14:05:07#", "yyyy-mm", "2008-08"},
      {"#2008-08-30 14:05:07#", "yyyymmdd", "20080830"},
      {"#2008-08-30 14:05:07#", "yyyy", "2008"},
      {"#2008-08-30 14:05:07#", "mm", "08"},
      {"#2008-08-30 14:05:07#", "dd", "30"},
      {"#2008-08-30 14:05:07#", "hh:nn:ss", "14:05:07"},
      {"#2008-08-30 14:05:07#", "hh:mm:ss", "14:05:07"},
      {"#2008-08-30 14:05:07#", "YYYY-MM-DD HH:NN", "2008-08-30 14:05"},
      {"#2008-08-30 14:05:07#", "Short Date", "2008-8-30"},
      {"#2008-08-30 14:05:07#", "Long Date", "2008年8月30日"},
      {"#2008-08-30 14:05:07#", "General Date", "2008-8-30 14:05:07"},
      {"#2008-08-30#", "General Date", "2008-8-30"},
      {"#14:05:07#", "General Date", "14:05:07"},
      {"#2008-08-30 14:05:07#", "Long Time", "14:05:07"},
      {"#2008-08-30 14:05:07#", "Short Time", "14:05"},
      {"#2008-08-30 14:05:07#", "h:nn AM/PM", "2:05 PM"},
      {"#2008-08-30 00:05:07#", "h:nn am/pm", "12:05 am"},
      {"#2008-08-30 14:05:07#", "hh:nn AMPM", "02:05 下午"},
      {"#2008-08-30 14:05:07#", "yy/m/d", "08-8-30"},
      {"#2008-08-30 14:05:07#", "mmmm", "八月"},
      {"#2008-08-30 14:05:07#", "dddd", "星期六"},
      {"#2008-08-30 14:05:07#", "ddd", "周六"},
      {"#2008-08-30 14:05:07#", "q", "3"},
      {"#2008-08-30 14:05:07#", "y", "243"},
      {"#2008-08-30 14:05:07#", "yyyy年m月d日", "2008年8月30日"},
      {"#2008-08-30 14:05:07#", "\"第\"q\"季\"", "第3季"},
      {"39690", "yyyy-mm-dd", "2008-08-30"},
      {"'2008-08-30'", "Short Date", "2008-8-30"},
      {"'not a date'", "yyyy", "not a date"},
  });
}

TEST(JetFormat, TextFormatsAndNoFormat) {
  expectFormats({
      {"'abc'", ">", "ABC"},
      {"'ABC'", "<", "abc"},
      {"'ab'", "@@@@", "  ab"},
      {"'abcde'", "@@@", "abcde"},
      {"'ab'", "!@@@@", "ab  "},
      {"'ab'", "(@@@)", "( ab)"},
      {"1.5", "", "1.5"},
      {"'x'", "", "x"},
  });
  TestDb db;
  EXPECT_EQ(db.scalar("select Format(Null, '0.00')"), "NULL");
  EXPECT_EQ(db.scalar("select Format(2.5)"), "2.5");
}

TEST(JetFormat, KindOfAFormat) {
  EXPECT_EQ(formatKind("0.00"), FormatKind::Number);
  EXPECT_EQ(formatKind("#,##0"), FormatKind::Number);
  EXPECT_EQ(formatKind("General Number"), FormatKind::Number);
  EXPECT_EQ(formatKind("yyyy-mm-dd"), FormatKind::Date);
  EXPECT_EQ(formatKind("short date"), FormatKind::Date);
  EXPECT_EQ(formatKind("\"0\"yyyy"), FormatKind::Date);  // quoted digits are literal
  EXPECT_EQ(formatKind(">"), FormatKind::Text);
  EXPECT_EQ(formatKind("---"), FormatKind::None);
  EXPECT_EQ(formatKind(""), FormatKind::None);
}

}  // namespace
}  // namespace rvz::data::jet
