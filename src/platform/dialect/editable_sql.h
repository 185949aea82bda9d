// A tokenized statement plus the edits the rewrite rules attach to its tokens.
//
// Rules never build text directly: they mark tokens (drop, replace, text
// before or after, a range of tokens repeated) and `Render` writes the
// result in one pass. Edits of different rules therefore compose, also when
// one rewritten call sits inside another (left('x', len(c))).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/sql_tokens.h"

namespace q6::dialect {

inline constexpr size_t kNone = static_cast<size_t>(-1);

struct TokenEdit {
  std::string before;          // written ahead of the token
  size_t repeat_from = kNone;  // tokens [repeat_from, repeat_to) rendered again after `before`
  size_t repeat_to = kNone;
  bool drop = false;  // the token's own text is left out
  bool replace = false;
  std::string replacement;  // written instead of the token when `replace`
  std::string after;        // written behind the token
};

class EditableSql {
 public:
  // Tokenizes `sql`, which must stay alive while this object is used; any
  // earlier statement and its edits are forgotten, the buffers kept for
  // reuse. Returns false when the text cannot be taken apart: an unclosed
  // literal, quoted or bracketed name or comment, or parentheses that do not
  // pair up.
  bool Parse(std::string_view sql);

  std::string_view sql() const { return sql_; }
  size_t size() const { return tokens_.size(); }
  const Token& token(size_t i) const { return tokens_[i]; }
  std::string_view Text(size_t i) const { return tokens_[i].Text(sql_); }
  TokenKind Kind(size_t i) const { return tokens_[i].kind; }

  // True when token i is the keyword `lower` (given in lower case), in any case.
  bool IsWord(size_t i, std::string_view lower) const {
    if (i >= tokens_.size() || tokens_[i].kind != TokenKind::kWord ||
        tokens_[i].len != lower.size()) {
      return false;
    }
    const char* t = sql_.data() + tokens_[i].pos;
    for (size_t k = 0; k < lower.size(); ++k) {
      const char c = t[k] >= 'A' && t[k] <= 'Z' ? static_cast<char>(t[k] | 0x20) : t[k];
      if (c != lower[k]) return false;
    }
    return true;
  }
  // True when token i is the punctuation character `c`. False for kNone.
  bool IsPunct(size_t i, char c) const {
    return i < tokens_.size() && tokens_[i].kind == TokenKind::kPunct && sql_[tokens_[i].pos] == c;
  }
  // True for spaces and comments.
  bool IsBlank(size_t i) const;

  // Parentheses enclosing token i; a parenthesis itself counts as outside.
  int Depth(size_t i) const { return depth_[i]; }
  // The partner of the parenthesis at i. REQUIRES: token i is ( or ).
  size_t Match(size_t i) const { return match_[i]; }

  // The nearest token after / before i that is not blank; kNone when none.
  // REQUIRES: i < size() for NextSig, i <= size() for PrevSig.
  size_t NextSig(size_t i) const;
  size_t PrevSig(size_t i) const;

  // The edit of token i, created empty on first use. The reference stays
  // valid until the next Parse (there is room for one edit per token).
  TokenEdit& Edit(size_t i);
  // True when token i is dropped by an edit.
  bool Dropped(size_t i) const;
  bool Edited() const { return !edits_.empty(); }

  // The statement with every edit applied.
  std::string Render() const;
  // Tokens [from, to) with their edits applied, appended to `out`.
  void RenderRange(size_t from, size_t to, std::string* out) const;

 private:
  std::string_view sql_;
  std::vector<Token> tokens_;
  std::vector<int> depth_;
  std::vector<size_t> match_;
  std::vector<int> edit_of_;      // index into edits_, or -1
  std::vector<TokenEdit> edits_;  // capacity reserved for one per token
};

// Lower-cases ASCII letters of `s` into `out`, as PostgreSQL folds unquoted names.
void AppendAsciiLower(std::string_view s, std::string* out);

}  // namespace q6::dialect
