// The link's texts: password scrambling, the SQL Server connection strings
// it composes and reads back, and the profile booleans.
#include <gtest/gtest.h>

#include <set>

#include "link/link_settings.h"
#include "link/password_scrambler.h"
#include "link/sql_server_link.h"
#include "platform/text/text.h"

namespace rvz::link {
namespace {

TEST(PasswordScramblerTest, ChainsEachByteWithTheCyclicKeyModulo255) {
  struct Case {
    std::string bytes;
    unsigned char seed;
    const char* scrambled;
  };
  const Case cases[] = {
      // (0x61+0x10)^'w' = 06; (0x62+06)^'o' = 07; (0x63+07)^'x' = 12; the
      // fourth byte uses 'w' again: (0x64+0x12)^'w' = 01.
      {"abcd", 0x10, "1006071201"},
      // 0xF0 + 0x20 = 0x110, reduced modulo 255 (not 256) to 0x11.
      {"\x20", 0xF0, "F066"},
      {"", 0xAB, "AB"},
      {std::string(1, '\0'), 0x00, "0077"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(scrambleBytes(c.bytes, kPasswordKey, c.seed), c.scrambled) << c.scrambled;
    EXPECT_EQ(unscrambleBytes(c.scrambled, kPasswordKey), c.bytes) << c.scrambled;
  }
}

TEST(PasswordScramblerTest, ReadsWhatTheRuleYieldsFromAnyDigits) {
  struct Case {
    const char* scrambled;
    std::string bytes;
  };
  const Case cases[] = {
      {"1006071201", "abcd"},
      {"10060712", "abc"},
      {"1006071", "ab"},  // an odd last character is ignored
      {"10", ""},         // the seed alone
      {"100", ""},        // seed and half a pair
      {"", ""},
      {"f066", "\x20"},                                                        // lower-case digits
      {"F0zz", std::string(1, static_cast<char>((0x00 ^ 'w') + 255 - 0xF0))},  // a bad pair reads as 0
  };
  for (const auto& c : cases) EXPECT_EQ(unscrambleBytes(c.scrambled, kPasswordKey), c.bytes) << c.scrambled;
}

TEST(PasswordScramblerTest, EveryByteButFFComesBack) {
  for (unsigned seed : {0u, 1u, 0x7Fu, 0xFEu, 0xFFu}) {
    for (unsigned b = 0; b < 256; ++b) {
      std::string bytes = {'x', static_cast<char>(b), 'y', static_cast<char>(b)};
      std::string s = scrambleBytes(bytes, kPasswordKey, static_cast<unsigned char>(seed));
      ASSERT_EQ(s.size(), 2 + 2 * bytes.size());
      std::string back = unscrambleBytes(s, kPasswordKey);
      if (b == 0xFF) {
        // 0xFF + chain is congruent to chain: it scrambles as 0x00 would.
        bytes[1] = bytes[3] = '\0';
      }
      ASSERT_EQ(back, bytes) << "seed " << seed << " byte " << b;
    }
  }
}

TEST(PasswordScramblerTest, PasswordsScrambleAsCp936WithAFreshSeed) {
  const std::string password = "密码Pw1";  // two double-byte characters
  std::set<std::string> seen;
  for (int i = 0; i < 8; ++i) {
    std::string s = ScramblePassword(password, kPasswordKey, true);
    ASSERT_EQ(s.size(), 2u + 2u * 7u);
    EXPECT_EQ(s.find_first_not_of("0123456789ABCDEF"), std::string::npos) << s;
    EXPECT_EQ(ScramblePassword(s, kPasswordKey, false), password);
    seen.insert(s);
  }
  EXPECT_GT(seen.size(), 1u);  // the seed differs between calls
}

TEST(SqlServerConnectionStringTest, ElementsInOrderWithoutTheLastSemicolon) {
  struct Case {
    const char *server, *database, *user, *password;
    bool trusted, autoTranslate;
    const char* expected;
  };
  const Case cases[] = {
      {"", "DaZiva", "", "", true, true, "Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=DaZiva"},
      {".", "Ravelmoor", "sa", "", false, false,
       "Provider=SQLOLEDB.1;Data Source=.;User ID=sa;Initial Catalog=Ravelmoor;Auto Translate=False"},
      {"srv", "db", "sa", "pw", false, true,
       "Provider=SQLOLEDB.1;Data Source=srv;User ID=sa;Password=pw;Initial Catalog=db"},
      {"srv", "db", "sa", "pw", true, true,
       "Provider=SQLOLEDB.1;Data Source=srv;Integrated Security=SSPI;Initial Catalog=db"},
      {"", "", "", "", false, true, "Provider=SQLOLEDB.1;User ID=;Initial Catalog="},
      {"", "", "", "", true, false,
       "Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=;Auto Translate=False"},
      {" a ", "数据", "u=v", "p w", false, true,
       "Provider=SQLOLEDB.1;Data Source= a ;User ID=u=v;Password=p w;Initial Catalog=数据"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BuildSqlServerConnectionString(c.server, c.database, c.user, c.password, c.trusted, c.autoTranslate),
              c.expected);
}

TEST(SqlServerConnectionStringTest, ValuesThatWouldChangeOtherKeysAreRefusedWithoutShowingThem) {
  try {
    BuildSqlServerConnectionString(".", "db", "sa", "se;cret", false, true);
    FAIL();
  } catch (const LinkValueError& e) {
    EXPECT_STREQ(e.what(),
                 "The password of the SQL Server link holds a \";\", which its connection string cannot carry");
  }
  EXPECT_THROW(BuildSqlServerConnectionString(".", "db;Integrated Security=SSPI", "sa", "", false, true),
               LinkValueError);
  EXPECT_THROW(BuildSqlServerConnectionString(".", "db", "\"sa", "", false, true), LinkValueError);
  // Not written, not checked: the user of a trusted link.
  EXPECT_NO_THROW(BuildSqlServerConnectionString(".", "db", "a;b", "x;y", true, true));
}

TEST(SqlServerConnectionStringTest, ValueIsAPlainCaseExactSubstringSearch) {
  struct Case {
    const char *s, *key, *value;
  };
  const Case cases[] = {
      {"Provider=SQLOLEDB.1;User ID=sa", "User ID", "sa"},
      {"Provider=SQLOLEDB.1;User ID=;Initial Catalog=db", "User ID", ""},
      {"Provider=SQLOLEDB.1;user id=sa", "User ID", ""},
      {"Provider=SQLOLEDB.1;Initial Catalog=db", "User ID", ""},
      {"Data Source= a b ;x", "Data Source", " a b "},
      {"Password=\"q\";x", "Password", "\"q\""},
      // "Password" ends another key's name and matches there first.
      {"Jet OLEDB:Database Password=tarqumel;Password=pw", "Password", "tarqumel"},
      {"Initial Catalog=a=b", "Initial Catalog", "a=b"},
      {"", "User ID", ""},
      {"User ID", "User ID", ""},
      {"k;x=1", "k;x", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ConnectionStringValue(c.s, c.key), c.value) << c.s << " / " << c.key;
}

TEST(SqlServerConnectionStringTest, ParseReadsFourValuesTrustAndWhetherADatabaseIsNamed) {
  auto v = ParseSqlServerConnectionString(
      "Provider=SQLOLEDB.1;Data Source=srv;User ID=sa;Password=pw;Initial Catalog=db;Auto Translate=False");
  EXPECT_EQ(v.server, "srv");
  EXPECT_EQ(v.database, "db");
  EXPECT_EQ(v.userId, "sa");
  EXPECT_EQ(v.password, "pw");
  EXPECT_FALSE(v.trusted);
  EXPECT_TRUE(v.ok);
  EXPECT_TRUE(ParseSqlServerConnectionString("Integrated Security=SSPI;Initial Catalog=x").trusted);
  EXPECT_FALSE(ParseSqlServerConnectionString("Integrated Security=sspi;Initial Catalog=x").trusted);
  EXPECT_FALSE(ParseSqlServerConnectionString("Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=").ok);
}

TEST(LinkSettingsTest, ProfileIntegersAndBooleans) {
  struct Case {
    const char* text;
    std::optional<long long> value;
  };
  const Case cases[] = {
      {"0", 0},
      {"1", 1},
      {"-3", -3},
      {"+7", 7},
      {"  12", 12},
      {"0x10", 16},
      {"0XfF", 255},
      {"", std::nullopt},
      {"yes", std::nullopt},
      {"1a", std::nullopt},
      {"0x", std::nullopt},
      {"0xg", std::nullopt},
      {"-", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parseProfileInteger(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace rvz::link
