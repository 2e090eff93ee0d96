// Tokenizer of Jet SQL command texts: words, [bracketed] and `quoted` names,
// '...' and "..." text literals, numbers, #date# literals, ? markers and
// operators; -- and /* */ comments and all white space are dropped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rvz::data::jet {

enum class TokenKind {
  End,     // after the last token
  Word,    // identifier or keyword, as written
  Name,    // [bracketed] or `quoted` name; text is the name itself
  String,  // text literal; text is its value (quotes removed, doubled quotes undone)
  Number,  // numeric literal as written
  Date,    // #...# literal; text is the stored form 'YYYY-MM-DD HH:MM:SS'
  Param,   // ?
  Symbol,  // operator or punctuation: ( ) , . ; = <> != < > <= >= + - * / \ & ^ !
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;
  size_t offset = 0;  // byte offset in the command text
};

struct LexResult {
  std::vector<Token> tokens;  // ends with an End token when ok
  std::string error;          // what is wrong and where, when not ok
  bool ok() const { return error.empty(); }
};

LexResult tokenize(std::string_view sql);

}  // namespace rvz::data::jet
