// Tokenizer for the dialect rewriter: one pass over the bytes, no copies.
//
// Only the distinctions the rewriter needs are made. Multi-character
// operators come out as single punctuation characters, and a word may start
// with a digit-free name character only; a number glued to letters (0x1F)
// becomes a number followed by a word, which is harmless since neither is
// ever rewritten.
#include "platform/dialect/sql_tokens.h"

#include <array>
#include <cstdint>
#include <limits>

namespace q6::dialect {
namespace {

// Character classes, one table lookup per byte.
enum : uint8_t { kSpaceByte = 1, kDigitByte = 2, kWordByte = 4, kWordStartByte = 8 };

constexpr std::array<uint8_t, 256> ByteClasses() {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const bool digit = c >= '0' && c <= '9';
    const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || digit || c == '_' ||
                      c == '@' || c == '#' || c == '$' || c >= 0x80;
    uint8_t k = 0;
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') k |= kSpaceByte;
    if (digit) k |= kDigitByte;
    if (word) k |= kWordByte;
    if (word && !digit && c != '$') k |= kWordStartByte;
    t[c] = k;
  }
  return t;
}
constexpr std::array<uint8_t, 256> kByteClass = ByteClasses();

bool Is(unsigned char c, uint8_t cls) { return kByteClass[c] & cls; }
bool IsWordStart(unsigned char c) { return Is(c, kWordStartByte); }
bool IsDigit(unsigned char c) { return Is(c, kDigitByte); }
bool IsSpace(unsigned char c) { return Is(c, kSpaceByte); }

size_t NumberEnd(std::string_view sql, size_t i) {
  const size_t n = sql.size();
  while (i < n && IsDigit(sql[i])) ++i;
  if (i < n && sql[i] == '.') {
    ++i;
    while (i < n && IsDigit(sql[i])) ++i;
  }
  if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
    if (j < n && IsDigit(sql[j])) {
      i = j;
      while (i < n && IsDigit(sql[i])) ++i;
    }
  }
  return i;
}

}  // namespace

bool IsWordByte(char c) { return Is(static_cast<unsigned char>(c), kWordByte); }

size_t LiteralEnd(std::string_view sql, size_t pos, char close) {
  size_t i = pos + 1;
  while (true) {
    i = sql.find(close, i);
    if (i == std::string_view::npos) return i;
    if (i + 1 < sql.size() && sql[i + 1] == close) {
      i += 2;
      continue;
    }
    return i + 1;
  }
}

size_t BlockCommentEnd(std::string_view sql, size_t pos) {
  int level = 0;
  size_t i = pos;
  while (i + 1 < sql.size()) {
    if (sql[i] == '/' && sql[i + 1] == '*') {
      ++level;
      i += 2;
    } else if (sql[i] == '*' && sql[i + 1] == '/') {
      i += 2;
      if (--level == 0) return i;
    } else {
      ++i;
    }
  }
  return std::string_view::npos;
}

bool Tokenize(std::string_view sql, std::vector<Token>* out) {
  out->clear();
  if (sql.size() >= std::numeric_limits<uint32_t>::max()) return false;
  const size_t n = sql.size();
  out->reserve(n / 3 + 8);  // about one token per three bytes in statements as written
  size_t i = 0;
  while (i < n) {
    const unsigned char c = sql[i];
    TokenKind kind;
    size_t end;
    if (IsSpace(c)) {
      kind = TokenKind::kSpace;
      end = i + 1;
      while (end < n && IsSpace(sql[end])) ++end;
    } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      kind = TokenKind::kComment;
      end = sql.find('\n', i);
      end = end == std::string_view::npos ? n : end;
    } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      kind = TokenKind::kComment;
      end = BlockCommentEnd(sql, i);
    } else if (c == '\'') {
      kind = TokenKind::kString;
      end = LiteralEnd(sql, i, '\'');
    } else if (c == '"') {
      kind = TokenKind::kQuoted;
      end = LiteralEnd(sql, i, '"');
    } else if (c == '[') {
      kind = TokenKind::kBracket;
      end = LiteralEnd(sql, i, ']');
    } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(sql[i + 1]))) {
      kind = TokenKind::kNumber;
      end = NumberEnd(sql, i);
    } else if (IsWordStart(c)) {
      kind = TokenKind::kWord;
      end = i + 1;
      while (end < n && IsWordByte(sql[end])) ++end;
    } else {
      kind = TokenKind::kPunct;
      end = i + 1;
      // A numbered parameter marker (?1) is one token, so that the rules
      // treat it as they treat a bare ?.
      if (c == '?')
        while (end < n && IsDigit(sql[end])) ++end;
    }
    if (end == std::string_view::npos) return false;
    out->push_back(Token{kind, static_cast<uint32_t>(i), static_cast<uint32_t>(end - i)});
    i = end;
  }
  return true;
}

void AppendUnquoted(std::string_view token_text, std::string* out) {
  const char close = token_text.front() == '[' ? ']' : token_text.front();
  const std::string_view body = token_text.substr(1, token_text.size() - 2);
  for (size_t i = 0; i < body.size(); ++i) {
    out->push_back(body[i]);
    if (body[i] == close) ++i;  // the doubled closing character stands for one
  }
}

}  // namespace q6::dialect
