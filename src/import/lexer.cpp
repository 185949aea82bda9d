// The T-SQL tokenizer.
#include "import/lexer.h"

#include <cctype>
#include <cstring>

namespace q6::import {
namespace {

bool WordStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool WordPart(char c) {
  return WordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$';
}

}  // namespace

void Lexer::SkipBlanksAndComments() {
  for (;;) {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
      if (text_[pos_] == '\n') ++line_;
      ++pos_;
    }
    if (text_.substr(pos_, 2) == "--") {
      while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
    } else if (text_.substr(pos_, 2) == "/*") {
      int depth = 0;
      do {
        if (text_.substr(pos_, 2) == "/*") {
          ++depth, pos_ += 2;
        } else if (text_.substr(pos_, 2) == "*/") {
          --depth, pos_ += 2;
        } else {
          if (text_[pos_] == '\n') ++line_;
          ++pos_;
        }
      } while (depth > 0 && pos_ < text_.size());
    } else {
      return;
    }
  }
}

void Lexer::Advance() {
  SkipBlanksAndComments();
  tok_ = Token{};
  tok_.offset = pos_;
  tok_.line = line_;
  if (pos_ >= text_.size()) {
    tok_.end = pos_;
    return;
  }
  char c = text_[pos_];
  auto quoted = [&](char close, Token::Kind kind) {
    int start_line = line_;
    ++pos_;
    for (;;) {
      if (pos_ >= text_.size()) {
        line_ = start_line;
        Fail(std::string("a closing ") + close);
      }
      char d = text_[pos_++];
      if (d == '\n') ++line_;
      if (d == close) {
        if (pos_ < text_.size() && text_[pos_] == close) {
          tok_.text += close;
          ++pos_;
          continue;
        }
        break;
      }
      tok_.text += d;
    }
    tok_.kind = kind;
  };
  if ((c == 'N' || c == 'n') && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
    ++pos_;
    quoted('\'', Token::kString);
  } else if (c == '\'') {
    quoted('\'', Token::kString);
  } else if (c == '[') {
    quoted(']', Token::kName);
  } else if (c == '"') {
    quoted('"', Token::kName);
  } else if (c == '0' && pos_ + 1 < text_.size() &&
             (text_[pos_ + 1] == 'x' || text_[pos_ + 1] == 'X')) {
    size_t s = pos_;
    pos_ += 2;
    while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    tok_.kind = Token::kBinary;
    tok_.text = std::string(text_.substr(s, pos_ - s));
  } else if (std::isdigit(static_cast<unsigned char>(c)) ||
             (c == '.' && pos_ + 1 < text_.size() &&
              std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])))) {
    size_t s = pos_;
    while (pos_ < text_.size() &&
           (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.'))
      ++pos_;
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      size_t e = pos_ + 1;
      if (e < text_.size() && (text_[e] == '+' || text_[e] == '-')) ++e;
      if (e < text_.size() && std::isdigit(static_cast<unsigned char>(text_[e]))) {
        pos_ = e;
        while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      }
    }
    tok_.kind = Token::kNumber;
    tok_.text = std::string(text_.substr(s, pos_ - s));
  } else if (WordStart(c)) {
    size_t s = pos_;
    while (pos_ < text_.size() && WordPart(text_[pos_])) ++pos_;
    tok_.kind = Token::kWord;
    tok_.text = std::string(text_.substr(s, pos_ - s));
  } else {
    tok_.kind = Token::kSymbol;
    tok_.text = std::string(1, c);
    ++pos_;
  }
  tok_.end = pos_;
}

Token Lexer::Take() {
  Token t = std::move(tok_);
  Advance();
  return t;
}

bool Lexer::IsWord(const char* w) const {
  return tok_.kind == Token::kWord && strcasecmp(tok_.text.c_str(), w) == 0;
}

bool Lexer::TakeWord(const char* w) {
  if (!IsWord(w)) return false;
  Advance();
  return true;
}

bool Lexer::TakeSymbol(char c) {
  if (!IsSymbol(c)) return false;
  Advance();
  return true;
}

void Lexer::ExpectWord(const char* w) {
  if (!TakeWord(w)) Fail(w);
}

void Lexer::ExpectSymbol(char c) {
  if (!TakeSymbol(c)) Fail(std::string("'") + c + "'");
}

std::string Lexer::ExpectName() {
  if (tok_.kind != Token::kName && tok_.kind != Token::kWord) Fail("a name");
  return Take().text;
}

std::string_view Lexer::TakeGroup() {
  size_t start = tok_.offset;
  int depth = 0;
  do {
    if (tok_.kind == Token::kEnd) Fail("a closing ')'");
    if (IsSymbol('(')) ++depth;
    if (IsSymbol(')')) --depth;
    size_t end = tok_.end;
    Advance();
    if (depth == 0) return text_.substr(start, end - start);
  } while (true);
}

void Lexer::Fail(const std::string& expected) const {
  std::string found = tok_.kind == Token::kEnd ? "the end of the batch" : "'" + tok_.text + "'";
  throw SyntaxError{"expected " + expected + ", found " + found, tok_.line};
}

}  // namespace q6::import
