// Conversions between UTF-16, UTF-8 and CP936, and the name rules.
#include "platform/text/text.h"
#include "platform/text/cp936.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

using namespace rvz::text;

TEST(Utf, RoundTripsBmpAndSupplementaryCharacters) {
  const std::string utf8 = "Qorvane服务器 €😀";
  WString w = utf8ToWide(utf8);
  EXPECT_EQ(w.size(), 14u);  // the emoji is a surrogate pair
  EXPECT_EQ(wideToUtf8(w), utf8);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(utf8ToWide("a\xC0\x80z"), u"a\uFFFD\uFFFDz");        // overlong NUL
  EXPECT_EQ(utf8ToWide("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(utf8ToWide("ab\xE6\x9C"), u"ab\uFFFD\uFFFD");        // truncated sequence
  EXPECT_EQ(wideToUtf8(WString(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
  // a two-byte form, then a lone low surrogate and a high one at the very end
  EXPECT_EQ(wideToUtf8(u"\u00E9" + WString(1, char16_t(0xDC00)) + WString(1, char16_t(0xD83D))),
            "\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD");
}

// One UTF-8 rule for every conversion: the lenient one replaces each byte
// that starts no well-formed sequence, the strict ones refuse the text.
TEST(Utf, LenientAndStrictConversionsAgreeOnWhatIsWellFormed) {
  struct Case {
    const char* utf8;
    const char16_t* lenient;
    std::optional<size_t> wideLength;
  };
  const Case cases[] = {
      {"plain", u"plain", 5},
      {"\xE5\x90\x8D\xC3\xA4", u"名ä", 2},
      {"\xF0\x9F\x98\x80", u"\U0001F600", 2},                           // a surrogate pair
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", 2},                           // the last code point
      {"a\xC0\x80", u"a\uFFFD\uFFFD", std::nullopt},                    // overlong NUL
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD", std::nullopt},            // overlong '/'
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", std::nullopt},            // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", std::nullopt},  // past U+10FFFF
      {"\xF5\x80", u"\uFFFD\uFFFD", std::nullopt},
      {"ab\xE6\x9C", u"ab\uFFFD\uFFFD", std::nullopt},  // truncated
      {"\x80z", u"\uFFFDz", std::nullopt},              // stray continuation byte
      {"\xE6x\x9C", u"\uFFFDx\uFFFD", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8ToWide(c.utf8), c.lenient) << c.utf8;
    EXPECT_EQ(wideLength(c.utf8), c.wideLength) << c.utf8;
    EXPECT_EQ(isValidUtf8(c.utf8), c.wideLength.has_value()) << c.utf8;
    auto strict = utf8ToWideStrict(c.utf8);
    ASSERT_EQ(strict.has_value(), c.wideLength.has_value()) << c.utf8;
    if (strict) {
      EXPECT_EQ(*strict, c.lenient);
      EXPECT_EQ(strict->size(), *c.wideLength);
    }
  }
}

TEST(Utf, EachCodePointEncodesAtItsBoundaries) {
  const std::pair<char32_t, const char*> cases[] = {
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0xFFFD, "\xEF\xBF\xBD"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& [cp, utf8] : cases) {
    std::string out = "x";
    appendUtf8(out, cp);
    EXPECT_EQ(out, std::string("x") + utf8) << static_cast<uint32_t>(cp);
    EXPECT_TRUE(isValidUtf8(out));
  }
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
  EXPECT_EQ(ansiToWide("a\xFF"
                       "b"),
            u"a\uFFFDb");
  EXPECT_EQ(ansiToWide("\xB9"), u"\uFFFD");  // lead byte without trail
}

TEST(Ansi, TablesHoldTheSequencesThatRoundTripAsTheConverterWritesThem) {
  const Cp936& cp = Cp936::get();
  char16_t c = 0;
  const uint8_t guan[] = {0xB9, 0xD8};
  EXPECT_EQ(cp.decode(guan, 2, c), 2u);
  EXPECT_EQ(c, u'关');
  EXPECT_EQ(cp.decode(guan, 1, c), 0u);  // a lead byte with no trail
  const uint8_t badLead[] = {0xFF, 0x40};
  EXPECT_EQ(cp.decode(badLead, 2, c), 0u);
  const uint8_t badTrail[] = {0xB9, 0x7F};
  EXPECT_EQ(cp.decode(badTrail, 2, c), 0u);
  EXPECT_EQ(cp.encode(u'a'), 'a');
  EXPECT_EQ(cp.encode(u'\u0E01'), 0xFFFF);  // Thai: not in the code page
  size_t held = 0;
  for (uint32_t u = 0x80; u < 0x10000; ++u) {
    uint16_t b = cp.encode(static_cast<char16_t>(u));
    if (b == 0xFFFF) continue;
    ++held;
    std::string bytes = b < 0x100 ? std::string(1, static_cast<char>(b))
                                  : std::string{static_cast<char>(b >> 8), static_cast<char>(b & 0xFF)};
    ASSERT_EQ(cp.decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), c), bytes.size()) << u;
    ASSERT_EQ(c, u);
    ASSERT_EQ(wideToAnsi(WString(1, static_cast<char16_t>(u))), bytes) << u;
  }
  EXPECT_GT(held, 20000u);  // GBK's characters, not a handful
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

// Each small letter and its capital, read both ways through the one case
// table; letters without case stay as they are.
TEST(Names, UpperAndLowerCaseAreInverseOnLettersWithCase) {
  const std::pair<char16_t, char16_t> pairs[] = {
      {u'a', u'A'}, {u'z', u'Z'}, {u'à', u'À'},   {u'é', u'É'},   {u'þ', u'Þ'}, {u'ÿ', u'Ÿ'},
      {u'α', u'Α'}, {u'ρ', u'Ρ'}, {u'σ', u'Σ'},   {u'ω', u'Ω'},   {u'а', u'А'}, {u'я', u'Я'},
      {u'ё', u'Ё'}, {u'џ', u'Џ'}, {u'ａ', u'Ａ'}, {u'ｚ', u'Ｚ'},
  };
  for (const auto& [small, capital] : pairs) {
    EXPECT_EQ(upperChar(small), capital) << static_cast<int>(small);
    EXPECT_EQ(lowerChar(capital), small) << static_cast<int>(capital);
    EXPECT_EQ(upperChar(capital), capital) << static_cast<int>(capital);
    EXPECT_EQ(lowerChar(small), small) << static_cast<int>(small);
  }
  EXPECT_EQ(upperChar(u'ς'), u'Σ');  // final sigma: upper case only
  for (char16_t c : {u'×', u'÷', u'ß', u'1', u'_', u'名', char16_t(0x3A2), u'@', u'['})
    EXPECT_TRUE(upperChar(c) == c && lowerChar(c) == c) << static_cast<int>(c);
  EXPECT_EQ(lowerCase(u"DSPACCOUNTS ÄSS Ω 名"), u"dspaccounts äss ω 名");
  EXPECT_EQ(lowerCaseAscii("Update GOODS Ä"), "update goods Ä");
  EXPECT_EQ(lowerAsciiChar('Q'), 'q');
  EXPECT_EQ(lowerAsciiChar('['), '[');
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
