// Token navigation and rendering for the dialect rewrite rules.
#include "platform/dialect/editable_sql.h"

namespace q6::dialect {

bool EditableSql::Parse(std::string_view sql) {
  sql_ = sql;
  edits_.clear();
  if (!Tokenize(sql, &tokens_)) return false;
  const size_t n = tokens_.size();
  depth_.assign(n, 0);
  match_.assign(n, kNone);
  edit_of_.assign(n, -1);
  edits_.reserve(n);  // Edit() hands out references: they must never move
  std::vector<size_t> open;
  for (size_t i = 0; i < n; ++i) {
    if (tokens_[i].kind != TokenKind::kPunct) {
      depth_[i] = static_cast<int>(open.size());
      continue;
    }
    const char c = sql_[tokens_[i].pos];
    if (c == ')') {
      if (open.empty()) return false;
      match_[i] = open.back();
      match_[open.back()] = i;
      open.pop_back();
    }
    depth_[i] = static_cast<int>(open.size());
    if (c == '(') open.push_back(i);
  }
  return open.empty();
}

bool EditableSql::IsBlank(size_t i) const {
  return tokens_[i].kind == TokenKind::kSpace || tokens_[i].kind == TokenKind::kComment;
}

size_t EditableSql::NextSig(size_t i) const {
  for (size_t j = i + 1; j < tokens_.size(); ++j) {
    if (!IsBlank(j)) return j;
  }
  return kNone;
}

size_t EditableSql::PrevSig(size_t i) const {
  for (size_t j = i; j-- > 0;) {
    if (!IsBlank(j)) return j;
  }
  return kNone;
}

TokenEdit& EditableSql::Edit(size_t i) {
  if (edit_of_[i] < 0) {
    edit_of_[i] = static_cast<int>(edits_.size());
    edits_.emplace_back();
  }
  return edits_[edit_of_[i]];
}

bool EditableSql::Dropped(size_t i) const { return edit_of_[i] >= 0 && edits_[edit_of_[i]].drop; }

std::string EditableSql::Render() const {
  std::string out;
  out.reserve(sql_.size() + 32);
  RenderRange(0, tokens_.size(), &out);
  return out;
}

void EditableSql::RenderRange(size_t from, size_t to, std::string* out) const {
  for (size_t i = from; i < to; ++i) {
    if (edit_of_[i] < 0) {
      out->append(Text(i));
      continue;
    }
    const TokenEdit& e = edits_[edit_of_[i]];
    out->append(e.before);
    if (e.repeat_from != kNone) RenderRange(e.repeat_from, e.repeat_to, out);
    if (!e.drop) out->append(e.replace ? std::string_view(e.replacement) : Text(i));
    out->append(e.after);
  }
}

void AppendAsciiLower(std::string_view s, std::string* out) {
  for (char c : s) out->push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
}

}  // namespace q6::dialect
