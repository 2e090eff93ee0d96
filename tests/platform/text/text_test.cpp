// Conversions between UTF-16, UTF-8 and CP936, and the name rules.
#include "platform/text/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace rvz::text;

TEST(Utf, RoundTripsBmpAndSupplementaryCharacters) {
  const std::string utf8 = "Qorvane服务器 €😀";
  WString w = utf8ToWide(utf8);
  EXPECT_EQ(w.size(), 14u);  // the emoji is a surrogate pair
  EXPECT_EQ(wideToUtf8(w), utf8);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(utf8ToWide("a\xC0\x80z"), u"a\uFFFD\uFFFDz");      // overlong NUL
  EXPECT_EQ(utf8ToWide("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(utf8ToWide("ab\xE6\x9C"), u"ab\uFFFD\uFFFD");        // truncated sequence
  EXPECT_EQ(wideToUtf8(WString(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(Ansi, ChineseTextRoundTripsThroughCp936) {
  WString w = u"关闭服务器 Qorvane服务器";
  std::string a = wideToAnsi(w);
  EXPECT_EQ(a.substr(0, 4), "\xB9\xD8\xB1\xD5");  // 关闭 in GBK
  EXPECT_EQ(ansiToWide(a), w);
  EXPECT_EQ(ansiToUtf8(utf8ToAnsi("置顶")), "置顶");
}

TEST(Ansi, CharactersTheCodePageCannotHoldBecomeQuestionMarks) {
  EXPECT_EQ(wideToAnsi(u"a\u0E01b"), "a?b");       // Thai letter
  EXPECT_EQ(wideToAnsi(u"x\U0001F600y"), "x??y");  // one '?' per code unit
  EXPECT_EQ(throughAnsi(u"名\u0E01"), u"名?");
}

TEST(Ansi, InvalidBytesDecodeToReplacementCharacters) {
  EXPECT_EQ(ansiToWide("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(ansiToWide("\xB9"), u"\uFFFD");  // lead byte without trail
}

TEST(Ansi, PrefixNeverSplitsADoubleByteCharacter) {
  std::string a = wideToAnsi(u"a关闭");  // 1 + 2 + 2 bytes
  EXPECT_EQ(ansiPrefixLength(a, 2), 1u);
  EXPECT_EQ(ansiPrefixLength(a, 3), 3u);
  EXPECT_EQ(ansiPrefixLength(a, 4), 3u);
  EXPECT_EQ(ansiPrefixLength(a, 100), 5u);
}

TEST(Names, CaseInsensitiveEqualityAndUpperCase) {
  EXPECT_TRUE(equalsNoCase(u"PAPPUSER", u"pAppUser"));
  EXPECT_FALSE(equalsNoCase(u"pAppUser", u"pAppUsers"));
  EXPECT_EQ(upperCase(u"dspAccounts äß ω"), u"DSPACCOUNTS Äß Ω");
  EXPECT_TRUE(equalsNoCaseAscii("Data Source", "DATA SOURCE"));
  EXPECT_EQ(upperCaseAscii("update Goods set"), "UPDATE GOODS SET");
}

TEST(Names, SortPutsSymbolsBeforeDigitsBeforeLetters) {
  std::vector<WString> names = {u"pXsdd", u"pSC_Bom", u"pSCA", u"pSc1", u"pAppUser", u"pappgroup"};
  std::sort(names.begin(), names.end(), [](const WString& a, const WString& b) { return compareNoCase(a, b) < 0; });
  std::vector<WString> want = {u"pappgroup", u"pAppUser", u"pSC_Bom", u"pSc1", u"pSCA", u"pXsdd"};
  EXPECT_EQ(names, want);
  EXPECT_EQ(compareNoCase(u"abc", u"ABC"), 0);
  EXPECT_LT(compareNoCase(u"ab", u"abc"), 0);
  EXPECT_NE(compareNoCase(u"a-b", u"ab"), 0);  // ignored hyphen still gives a total order
}
