// A tokenized statement plus the edits the rewrite rules attach to its tokens.
//
// Rules never build text directly: they mark tokens (drop, replace, text
// before or after, a range of tokens repeated) and `Render` writes the
// result in one pass. Edits of different rules therefore compose, also when
// one rewritten call sits inside another (left('x', len(c))).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/column_types.h"
#include "platform/dialect/sql_tokens.h"
#include "platform/dialect/sql_words.h"

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
  // Written behind `after`: the end of a clause (LIMIT n, FOR UPDATE) that
  // must follow every closing text the expression rules put behind the
  // same token, whichever rule ran first.
  std::string tail;
};

class EditableSql {
 public:
  // Tokenizes `sql`, which must stay alive while this object is used; any
  // earlier statement and its edits are forgotten, the buffers kept for
  // reuse. Returns false when the text cannot be taken apart: an unclosed
  // literal, quoted or bracketed name or comment, or parentheses that do not
  // pair up.
  bool Parse(std::string_view sql);

  // The whole text; while watching, asking for it counts as reading all of
  // it.
  std::string_view sql() const {
    if (watch_) whole_text_read_ = true;
    return sql_;
  }
  size_t size() const { return tokens_.size(); }
  const Token& token(size_t i) const { return tokens_[i]; }
  std::string_view Text(size_t i) const {
    if (watch_) NoteRead(i);
    return tokens_[i].Text(sql_);
  }
  // Text(i) without the note, for a rule whose answer a stand-in shares with
  // every literal it may stand for (see RewriteDateLiteral).
  std::string_view UnwatchedText(size_t i) const { return tokens_[i].Text(sql_); }

  // While watching, a rule that reads a stand-in literal (literal_shape.h)
  // through Text() is noted, and so is one that asks for the whole text:
  // the translation then depends on what those literals hold. Parse stops
  // watching.
  void WatchStandIns() {
    watch_ = true;
    whole_text_read_ = false;
    stand_ins_read_.clear();
  }
  // The numbers of the stand-ins read, each once, in the order first read.
  const std::vector<uint32_t>& StandInsRead() const { return stand_ins_read_; }
  bool WholeTextRead() const { return whole_text_read_; }
  TokenKind Kind(size_t i) const { return tokens_[i].kind; }

  // True when token i is the word `w` (given in lower case), in any case.
  // False for kNone.
  bool IsWord(size_t i, WordRef w) const {
    if (i >= tokens_.size() || tokens_[i].kind != TokenKind::kWord) return false;
    if (w.number() != 0) return word_[i] == w.number();
    return IsWordText(i, w.text());
  }
  // True when token i is a word of `set`. False for kNone.
  bool IsWordIn(size_t i, const WordSet& set) const {
    return i < tokens_.size() && set.Has(word_[i]);
  }
  // True when token i is the punctuation character `c`. False for kNone.
  bool IsPunct(size_t i, char c) const {
    return i < tokens_.size() && tokens_[i].kind == TokenKind::kPunct && sql_[tokens_[i].pos] == c;
  }
  // True for spaces and comments.
  bool IsBlank(size_t i) const {
    return tokens_[i].kind == TokenKind::kSpace || tokens_[i].kind == TokenKind::kComment;
  }

  // What occurs anywhere in the statement, so that a rule whose trigger is
  // absent can skip its scan. A word outside the vocabulary counts as
  // present (it cannot be told apart).
  bool HasWord(WordRef w) const {
    return w.number() == 0 || (words_present_[w.number() / 64] >> (w.number() % 64) & 1u);
  }
  bool HasAnyWord(const WordSet& set) const { return set.Meets(words_present_); }
  bool HasPunct(char c) const {
    const auto u = static_cast<unsigned char>(c);
    return u < 128 && (punct_present_[u / 64] >> (u % 64) & 1u);
  }
  bool HasKind(TokenKind k) const { return kinds_present_ >> static_cast<unsigned>(k) & 1u; }

  // The tokens that are the word `w`, in order:
  //   for (size_t i = s.FirstWord("select"); i != kNone; i = s.NextWord(i))
  // REQUIRES for NextWord: token i is a word of the vocabulary.
  size_t FirstWord(KnownWord w) const {
    const uint64_t bit = uint64_t{1} << (w.number() % 64);
    return words_present_[w.number() / 64] & bit ? first_of_[w.number()] : kNone;
  }
  size_t NextWord(size_t i) const { return next_same_[i]; }

  // Parentheses enclosing token i; a parenthesis itself counts as outside.
  int Depth(size_t i) const { return depth_[i]; }
  // The partner of the parenthesis at i. REQUIRES: token i is ( or ).
  size_t Match(size_t i) const { return match_[i]; }

  // The nearest token after / before i that is not blank; kNone when none.
  // NextSig(kNone) is the first token that is not blank.
  // REQUIRES: i <= size() for PrevSig.
  size_t NextSig(size_t i) const {
    const size_t k = i + 1;  // kNone + 1 == 0
    return k < next_sig_.size() ? next_sig_[k] : kNone;
  }
  size_t PrevSig(size_t i) const { return i < prev_sig_.size() ? prev_sig_[i] : kNone; }

  // The edit of token i, created empty on first use. The reference stays
  // valid until the next Parse (there is room for one edit per token).
  TokenEdit& Edit(size_t i);
  // True when token i is dropped by an edit.
  bool Dropped(size_t i) const;
  // True when an edit writes text ahead of token i.
  bool HasTextBefore(size_t i) const;
  // True when token i is not sent as written: an edit drops or replaces it
  // or writes text around it.
  bool Changed(size_t i) const;
  bool Edited() const { return !edits_.empty(); }

  // Statements a rule adds behind the one parsed (a new table's triggers):
  // the rule says how many bytes at the end of the rendered text they take,
  // with whatever followed the statement. 0 when none (after Parse).
  void SetAppended(size_t bytes) { appended_ = bytes; }
  size_t appended() const { return appended_; }

  // The column types the statement is translated against (null: none known).
  // Parse forgets them and the answers read.
  void SetColumnTypes(ColumnTypes* types) { types_ = types; }
  // The type of `column` of `table` from those types (kUnknown without
  // them); every pair asked is noted, with its answer, in TypeReadsMade, so
  // that the translation is known to depend on it.
  ColumnType ReadType(std::string_view table, std::string_view column) const;
  // The names of `table`'s columns in their order into `names`
  // (ColumnTypes::ColumnNames; false and none when not known), noted as
  // ReadType's answers are.
  bool ReadColumnNames(std::string_view table, std::vector<std::string>* names) const;
  const TypeReads& TypeReadsMade() const { return type_reads_; }

  // The statement with every edit applied.
  std::string Render() const;
  // Tokens [from, to) with their edits applied, appended to `out`.
  void RenderRange(size_t from, size_t to, std::string* out) const;

 private:
  bool IsWordText(size_t i, std::string_view lower) const;
  void NoteRead(size_t i) const {
    const Token& t = tokens_[i];
    if (t.kind == TokenKind::kString && t.len > 2 && sql_[t.pos + 1] == kStandInMark)
      NoteStandIn(t);
  }
  void NoteStandIn(const Token& t) const;

  std::string_view sql_;
  std::vector<Token> tokens_;
  std::vector<int> depth_;
  std::vector<size_t> match_;
  std::vector<uint8_t> word_;         // vocabulary number of each token, 0 for none
  std::vector<size_t> next_sig_;      // [k]: first token >= k not blank; size()+1 entries
  std::vector<size_t> prev_sig_;      // [k]: last token < k not blank; size()+1 entries
  std::vector<size_t> next_same_;     // [i]: next token with word i's number, for vocabulary words
  std::vector<size_t> open_;          // Parse's stack of open parentheses
  std::array<size_t, 256> first_of_;  // first token of each word present
  std::array<size_t, 256> last_of_;   // last token of each word present
  std::array<uint64_t, 4> words_present_{};
  std::array<uint64_t, 2> punct_present_{};
  uint32_t kinds_present_ = 0;
  std::vector<int> edit_of_;      // index into edits_, or -1
  std::vector<TokenEdit> edits_;  // capacity reserved for one per token
  size_t appended_ = 0;
  bool watch_ = false;
  mutable bool whole_text_read_ = false;
  mutable std::vector<uint32_t> stand_ins_read_;
  ColumnTypes* types_ = nullptr;
  mutable TypeReads type_reads_;
};

// Statements of the dialect's own (`text`, beginning with ";") written
// behind token `last - 1`, the statement's last token ahead of its closing
// blanks and ';': the translation counts them, and what follows that token,
// as appended (Translation::appended), not as a second statement of the
// caller's. REQUIRES: 0 < last <= sql->size().
void AppendOwnStatements(EditableSql* sql, size_t last, const std::string& text);

// Token i is written as `text` instead of its own text (an edit of token i;
// text other rules add before or after it stays).
void Replace(EditableSql* sql, size_t i, std::string text);

// Lower-cases ASCII letters of `s` into `out`, as PostgreSQL folds unquoted names.
void AppendAsciiLower(std::string_view s, std::string* out);

}  // namespace q6::dialect
