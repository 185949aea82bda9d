// Tokens of the T-SQL a script holds.
//
// Names come bracketed ([dbo]), double-quoted or bare; string literals as
// '...' or N'...' with '' for a quote; binary literals as 0x...; comments
// (-- to the end of the line, /* ... */ nested) are skipped.
#pragma once

#include <string>
#include <string_view>

namespace q6::import {

struct Token {
  enum Kind { kEnd, kName, kWord, kString, kNumber, kBinary, kSymbol };
  Kind kind = kEnd;
  std::string text;   // a name or string without quotes; a word as written
  size_t offset = 0;  // in the lexer's text
  size_t end = 0;     // offset just past the token
  int line = 1;       // 1-based, in the lexer's text
};

// A syntax error: what was expected, at which line of the batch.
struct SyntaxError {
  std::string message;
  int line = 0;
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) { Advance(); }

  const Token& peek() const { return tok_; }
  Token Take();
  // The current token is the bare word `w` (any case).
  bool IsWord(const char* w) const;
  // Takes the current token when it is the word `w`.
  bool TakeWord(const char* w);
  bool IsSymbol(char c) const { return tok_.kind == Token::kSymbol && tok_.text[0] == c; }
  bool TakeSymbol(char c);
  // Raises SyntaxError unless the current token is `w` / `c`.
  void ExpectWord(const char* w);
  void ExpectSymbol(char c);
  // A name: bracketed, quoted or a bare word.
  std::string ExpectName();
  // Skips a balanced ( ... ) group and returns its text, parentheses
  // included. REQUIRES: the current token is '('.
  std::string_view TakeGroup();
  [[noreturn]] void Fail(const std::string& expected) const;
  std::string_view text() const { return text_; }

 private:
  void Advance();
  void SkipBlanksAndComments();

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
  Token tok_;
};

}  // namespace q6::import
