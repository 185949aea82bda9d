// Token navigation and rendering for the dialect rewrite rules.
#include "platform/dialect/editable_sql.h"

#include <utility>

namespace q6::dialect {

bool EditableSql::Parse(std::string_view sql) {
  sql_ = sql;
  watch_ = false;
  types_ = nullptr;
  type_reads_.clear();
  edits_.clear();
  appended_ = 0;
  words_present_ = {};
  punct_present_ = {};
  kinds_present_ = 0;
  if (!Tokenize(sql, &tokens_)) return false;
  const size_t n = tokens_.size();
  depth_.resize(n);
  match_.assign(n, kNone);
  word_.resize(n);
  edit_of_.assign(n, -1);
  prev_sig_.resize(n + 1);
  next_sig_.resize(n + 1);
  next_same_.resize(n);
  edits_.reserve(n);  // Edit() hands out references: they must never move
  open_.clear();
  // One pass: a token that is not blank is the next one of every token since
  // the one before it, and the next occurrence of the word last seen with
  // its number.
  size_t last_sig = kNone;
  for (size_t i = 0; i < n; ++i) {
    const Token& t = tokens_[i];
    prev_sig_[i] = last_sig;
    word_[i] = 0;
    kinds_present_ |= 1u << static_cast<unsigned>(t.kind);
    depth_[i] = static_cast<int>(open_.size());
    if (t.kind == TokenKind::kSpace || t.kind == TokenKind::kComment) continue;
    for (size_t k = last_sig + 1; k <= i; ++k) next_sig_[k] = i;  // kNone + 1 == 0
    last_sig = i;
    if (t.kind == TokenKind::kWord) {
      const uint8_t w = WordNumber(t.Text(sql_));
      if (w == 0) continue;
      word_[i] = w;
      next_same_[i] = kNone;
      uint64_t& present = words_present_[w / 64];
      const uint64_t bit = uint64_t{1} << (w % 64);
      if (present & bit)
        next_same_[last_of_[w]] = i;
      else
        first_of_[w] = i;
      last_of_[w] = i;
      present |= bit;
    } else if (t.kind == TokenKind::kPunct) {
      const auto c = static_cast<unsigned char>(sql_[t.pos]);
      if (c < 128) punct_present_[c / 64] |= uint64_t{1} << (c % 64);
      if (c == ')') {
        if (open_.empty()) return false;
        match_[i] = open_.back();
        match_[open_.back()] = i;
        open_.pop_back();
        depth_[i] = static_cast<int>(open_.size());
      } else if (c == '(') {
        open_.push_back(i);
      }
    }
  }
  prev_sig_[n] = last_sig;
  for (size_t k = last_sig + 1; k <= n; ++k) next_sig_[k] = kNone;
  return open_.empty();
}

bool EditableSql::IsWordText(size_t i, std::string_view lower) const {
  if (tokens_[i].len != lower.size()) return false;
  const char* t = sql_.data() + tokens_[i].pos;
  for (size_t k = 0; k < lower.size(); ++k) {
    const char c = t[k] >= 'A' && t[k] <= 'Z' ? static_cast<char>(t[k] | 0x20) : t[k];
    if (c != lower[k]) return false;
  }
  return true;
}

void EditableSql::NoteStandIn(const Token& t) const {
  uint32_t n = 0;  // '<mark><digits>'
  for (size_t k = t.pos + 2; k + 1 < t.pos + t.len; ++k)
    n = n * 10 + static_cast<uint32_t>(sql_[k] - '0');
  for (uint32_t seen : stand_ins_read_)
    if (seen == n) return;
  stand_ins_read_.push_back(n);
}

ColumnType EditableSql::ReadType(std::string_view table, std::string_view column) const {
  for (const TypeRead& r : type_reads_)
    if (r.table == table && r.column == column) return r.type;
  const ColumnType t = types_ ? types_->TypeOf(table, column) : ColumnType{};
  type_reads_.push_back({std::string(table), std::string(column), t});
  return t;
}

bool EditableSql::ReadColumnNames(std::string_view table, std::vector<std::string>* names) const {
  for (const TypeRead& r : type_reads_) {
    if (!r.column.empty() || r.table != table) continue;
    *names = r.names;
    return !names->empty();
  }
  names->clear();
  if (types_) types_->ColumnNames(table, names);
  type_reads_.push_back({std::string(table), {}, {}, *names});
  return !names->empty();
}

TokenEdit& EditableSql::Edit(size_t i) {
  if (edit_of_[i] < 0) {
    edit_of_[i] = static_cast<int>(edits_.size());
    edits_.emplace_back();
  }
  return edits_[edit_of_[i]];
}

bool EditableSql::Dropped(size_t i) const { return edit_of_[i] >= 0 && edits_[edit_of_[i]].drop; }

bool EditableSql::HasTextBefore(size_t i) const {
  return edit_of_[i] >= 0 && !edits_[edit_of_[i]].before.empty();
}

bool EditableSql::Changed(size_t i) const {
  if (edit_of_[i] < 0) return false;
  const TokenEdit& e = edits_[edit_of_[i]];
  return e.drop || e.replace || !e.before.empty() || !e.after.empty();
}

std::string EditableSql::Render() const {
  std::string out;
  out.reserve(sql_.size() + 32);
  RenderRange(0, tokens_.size(), &out);
  return out;
}

void EditableSql::RenderRange(size_t from, size_t to, std::string* out) const {
  for (size_t i = from; i < to; ++i) {
    if (edit_of_[i] < 0) {
      // A run of tokens without edits is one stretch of the source.
      size_t j = i + 1;
      while (j < to && edit_of_[j] < 0) ++j;
      const size_t begin = tokens_[i].pos;
      out->append(sql_.substr(begin, tokens_[j - 1].pos + tokens_[j - 1].len - begin));
      i = j - 1;
      continue;
    }
    const TokenEdit& e = edits_[edit_of_[i]];
    out->append(e.before);
    if (e.repeat_from != kNone) RenderRange(e.repeat_from, e.repeat_to, out);
    if (!e.drop) out->append(e.replace ? std::string_view(e.replacement) : UnwatchedText(i));
    out->append(e.after);
    out->append(e.tail);
  }
}

void Replace(EditableSql* sql, size_t i, std::string text) {
  TokenEdit& e = sql->Edit(i);
  e.replace = true;
  e.replacement = std::move(text);
}

void AppendOwnStatements(EditableSql* sql, size_t last, const std::string& text) {
  sql->Edit(last - 1).after += text;
  // Behind statements appended before (a table's triggers, then the
  // indexes of its keys): those count as well.
  if (sql->appended() != 0) return sql->SetAppended(sql->appended() + text.size());
  size_t appended = text.size();
  for (size_t k = last; k < sql->size(); ++k) appended += sql->UnwatchedText(k).size();
  sql->SetAppended(appended);
}

void AppendAsciiLower(std::string_view s, std::string* out) {
  for (char c : s) out->push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
}

}  // namespace q6::dialect
