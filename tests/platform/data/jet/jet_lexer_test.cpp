// Tests of the Jet SQL tokenizer: token kinds and values, and the errors
// on malformed texts.
#include <gtest/gtest.h>

#include "platform/data/jet/jet_lexer.h"

namespace rvz::data::jet {
namespace {

std::string describe(const LexResult& r) {
  if (!r.ok()) return "error: " + r.error;
  std::string s;
  for (const Token& t : r.tokens) {
    if (t.kind == TokenKind::End) break;
    const char* k = "?";
    switch (t.kind) {
      case TokenKind::Word: k = "W"; break;
      case TokenKind::Name: k = "N"; break;
      case TokenKind::String: k = "S"; break;
      case TokenKind::Number: k = "#"; break;
      case TokenKind::Date: k = "D"; break;
      case TokenKind::Param: k = "P"; break;
      case TokenKind::Symbol: k = "Y"; break;
      case TokenKind::End: break;
    }
    if (!s.empty()) s += " ";
    s += std::string(k) + "[" + t.text + "]";
  }
  return s;
}

struct LexCase {
  const char* input;
  const char* tokens;
};

TEST(JetLexer, TokenKindsAndValues) {
  const LexCase cases[] = {
      {"select a.b from t", "W[select] W[a] Y[.] W[b] W[from] W[t]"},
      {"'it''s' \"say \"\"hi\"\"\"", "S[it's] S[say \"hi\"]"},
      {"[Order Details].[Unit Price]", "N[Order Details] Y[.] N[Unit Price]"},
      {"`back tick`", "N[back tick]"},
      {"#2008-08-30# #8/30/2008 2:25 PM#", "D[2008-08-30 00:00:00] D[2008-08-30 14:25:00]"},
      {"1 1.5 .5 2e3 1.E-2", "#[1] #[1.5] #[.5] #[2e3] #[1.E-2]"},
      {"a=?and b<>?", "W[a] Y[=] P[?] W[and] W[b] Y[<>] P[?]"},
      {"<= >= != < > \\ & ^ ! ;", "Y[<=] Y[>=] Y[!=] Y[<] Y[>] Y[\\] Y[&] Y[^] Y[!] Y[;]"},
      {"客户名称 = '甲'", "W[客户名称] Y[=] S[甲]"},
      {"Left$(x,2)", "W[Left$] Y[(] W[x] Y[,] #[2] Y[)]"},
      {"a -- comment\r\n+ /* block\r\n */ b", "W[a] Y[+] W[b]"},
      {"'?' ? '*'", "S[?] P[?] S[*]"},
      {"a\r\nb\tc", "W[a] W[b] W[c]"},
  };
  for (const LexCase& c : cases) EXPECT_EQ(describe(tokenize(c.input)), c.tokens) << c.input;
}

TEST(JetLexer, RecordsOffsets) {
  LexResult r = tokenize("select  [x]");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.tokens[0].offset, 0u);
  EXPECT_EQ(r.tokens[1].offset, 8u);
  EXPECT_EQ(r.tokens[2].kind, TokenKind::End);
}

TEST(JetLexer, RejectsMalformedTextsWithTheReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"select 'abc", "unterminated text literal at offset 7"},
      {"select \"abc", "unterminated text literal at offset 7"},
      {"select [abc", "unterminated quoted name at offset 7"},
      {"select []", "empty quoted name at offset 7"},
      {"where d = #2008-08-30", "unterminated date literal at offset 10"},
      {"where d = #2008-02-30#", "invalid date literal #2008-02-30# at offset 10"},
      {"a /* b", "unterminated /* comment at offset 2"},
      {"select @x", "unexpected character '@' at offset 7"},
      {"select 12abc", "malformed number '12a' at offset 7"},
      {"select \x01", "unexpected control character \\x01 at offset 7"},
  };
  for (const auto& [input, error] : cases) {
    LexResult r = tokenize(input);
    EXPECT_FALSE(r.ok()) << input;
    EXPECT_EQ(r.error, error) << input;
    EXPECT_TRUE(r.tokens.empty());
  }
  std::string withNul("select 'a\0b'", 12);
  EXPECT_EQ(tokenize(withNul).error, "NUL character inside a text literal at offset 9");
}

}  // namespace
}  // namespace rvz::data::jet
