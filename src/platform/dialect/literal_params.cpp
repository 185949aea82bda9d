// Literal parameterisation: one pass over the tokens of a native statement.
//
// The scan keeps, per parenthesis level, whether it is inside a condition
// (after WHERE, ON, HAVING or SET, until the next clause keyword), where it
// takes a literal only when the operator before it is a comparison, or
// inside a row of a VALUES list, where it takes a literal that is a whole
// item (the column it goes to types it, as it types the literal). Everything
// it is unsure about (a parameter already in the text, a comment between an
// operator and its literal, a prefixed string such as E'..', a number glued
// to a name) leaves the literal, or the whole statement, as it was: a
// statement that is not taken still runs, only without a shared plan.
#include "platform/dialect/literal_params.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <unordered_map>

#include "platform/dialect/literal_shape.h"
#include "platform/dialect/sql_tokens.h"
#include "platform/dialect/translation_cache.h"

namespace q6 {
namespace {

using dialect::Token;
using dialect::TokenKind;

bool WordIs(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if ((text[i] | 0x20) != lower[i]) return false;
  return true;
}

bool OneOf(std::string_view word, std::initializer_list<std::string_view> list) {
  for (std::string_view w : list)
    if (WordIs(word, w)) return true;
  return false;
}

bool Significant(const Token& t) {
  return t.kind != TokenKind::kSpace && t.kind != TokenKind::kComment;
}

// Whether the tokens right before `i` (spaces allowed, no comment) form a
// comparison operator.
bool AfterComparison(std::string_view sql, const std::vector<Token>& toks, size_t i) {
  size_t j = i;
  while (j > 0 && toks[j - 1].kind == TokenKind::kSpace) --j;
  if (j == 0 || toks[j - 1].kind != TokenKind::kPunct) return false;
  // The operator: up to two adjacent punctuation characters ending there.
  const auto adjacent = [&](size_t k) {
    return k > 0 && toks[k - 1].kind == TokenKind::kPunct && toks[k - 1].pos + 1 == toks[k].pos;
  };
  size_t first = j - 1;
  if (adjacent(first)) --first;
  // The compatibility schema's comparisons (^=, ^<>, ^<=, ..) are ^ and one.
  if (adjacent(first) && sql[toks[first - 1].pos] == '^') --first;
  if (adjacent(first)) return false;  // a longer operator (->>, <=>)
  std::string_view op = sql.substr(toks[first].pos, j - first);
  if (op.size() > 1 && op[0] == '^') op.remove_prefix(1);
  for (std::string_view c : {"=", "<", ">", "<=", ">=", "<>", "!=", "=="})
    if (op == c) return true;
  return false;
}

// The parameter for a literal token, or false to leave it in the text.
bool LiteralOf(std::string_view text, TokenKind kind, LiteralParam* p) {
  p->value.clear();
  if (kind == TokenKind::kString) {
    p->kind = LiteralParam::kText;
    dialect::AppendUnquoted(text, &p->value);
    return true;
  }
  if (text.find_first_of(".eE") != std::string_view::npos) {
    // One the driver cannot read back as a double (1e400) stays.
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    p->kind = LiteralParam::kReal;
  } else {
    int64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    p->kind = LiteralParam::kInteger;
  }
  p->value.assign(text);
  return true;
}

bool IsWordByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

// Whether the literal at `i` is a whole item of a parenthesised list: a (
// or , before it and a , or ) after it, spaces allowed, no comment.
bool WholeItem(std::string_view sql, const std::vector<Token>& toks, size_t i) {
  size_t before = i, after = i + 1;
  while (before > 0 && toks[before - 1].kind == TokenKind::kSpace) --before;
  while (after < toks.size() && toks[after].kind == TokenKind::kSpace) ++after;
  if (before == 0 || after >= toks.size()) return false;
  const Token& b = toks[before - 1];
  const Token& a = toks[after];
  return b.kind == TokenKind::kPunct && a.kind == TokenKind::kPunct &&
         (sql[b.pos] == '(' || sql[b.pos] == ',') && (sql[a.pos] == ',' || sql[a.pos] == ')');
}

// Whether the string at `i` is the text that left( or substr( cuts: their
// first argument, a comma after it (spaces allowed, no comment). That
// argument is text on both engines (PostgreSQL has one left, and resolves
// substr of an untyped value to its text form, as it does the literal in
// place), so a bound value means the same. Lock checks carry the record's
// identifier there.
bool TextCutArgument(std::string_view sql, const std::vector<Token>& toks, size_t i) {
  auto skip = [&](size_t k, int step) {
    while (k < toks.size() && toks[k].kind == TokenKind::kSpace) k += step;
    return k;
  };
  const size_t open = skip(i - 1, -1);
  const size_t name = open < toks.size() ? skip(open - 1, -1) : toks.size();
  const size_t comma = skip(i + 1, 1);
  return name < toks.size() && comma < toks.size() && sql[toks[open].pos] == '(' &&
         toks[open].kind == TokenKind::kPunct && toks[name].kind == TokenKind::kWord &&
         OneOf(toks[name].Text(sql), {"left", "substr"}) && toks[comma].kind == TokenKind::kPunct &&
         sql[toks[comma].pos] == ',';
}

}  // namespace

bool ParameterizeLiteralsUncached(std::string_view native, Engine engine, ParameterizedSql* out) {
  thread_local std::vector<Token> toks;
  if (!dialect::Tokenize(native, &toks)) return false;
  out->text.clear();
  out->params.clear();

  size_t end = toks.size();  // tokens [0, end) make the statement
  bool first_word = true;
  // Per parenthesis level: what a literal there may be.
  enum Place : uint8_t { kOther, kCondition, kAfterValues, kValuesRow };
  thread_local std::vector<Place> place;
  place.assign(1, kOther);
  size_t copied = 0;  // bytes of `native` already in out->text
  for (size_t i = 0; i < end; ++i) {
    const Token& t = toks[i];
    const std::string_view text = t.Text(native);
    if (!Significant(t)) continue;
    if (first_word) {
      if (t.kind != TokenKind::kWord ||
          !OneOf(text, {"select", "insert", "update", "delete", "with"}))
        return false;
      first_word = false;
    }
    const bool next_adjacent = i + 1 < toks.size() && toks[i + 1].pos == t.pos + t.len;
    switch (t.kind) {
      case TokenKind::kPunct: {
        const char c = text[0];
        if (c == '?' || c == '$') return false;
        if (c == ':') {
          // PostgreSQL's :: cast; any other colon may name a parameter.
          const bool cast =
              engine == Engine::PostgreSQL && ((next_adjacent && native[t.pos + 1] == ':') ||
                                               (t.pos > 0 && native[t.pos - 1] == ':'));
          if (!cast) return false;
        } else if (c == '(') {
          const Place outer = place.back();
          place.push_back(outer == kAfterValues ? kValuesRow
                          : outer == kCondition ? kCondition
                                                : kOther);
        } else if (c == ')') {
          if (place.size() > 1) place.pop_back();
        } else if (c == ';') {
          for (size_t k = i + 1; k < toks.size(); ++k)
            if (Significant(toks[k])) return false;  // a second statement
          end = i;
        }
        break;
      }
      case TokenKind::kWord:
        if (text[0] == '@') return false;
        if (next_adjacent && toks[i + 1].kind == TokenKind::kString) {
          if (engine == Engine::PostgreSQL) return false;  // E'..', U&'..', B'..'
          ++i;                                             // X'..' stays as it is
        } else if (OneOf(text, {"where", "on", "having", "set"})) {
          place.back() = kCondition;
        } else if (WordIs(text, "values")) {
          place.back() = kAfterValues;
        } else if (OneOf(text, {"select", "from", "order", "group", "limit", "offset", "union",
                                "returning", "into"})) {
          place.back() = kOther;
        }
        break;
      case TokenKind::kString:
      case TokenKind::kNumber: {
        if (place.back() == kValuesRow) {
          if (!WholeItem(native, toks, i)) break;
        } else if (place.back() != kCondition ||
                   (!AfterComparison(native, toks, i) &&
                    !(t.kind == TokenKind::kString && TextCutArgument(native, toks, i)))) {
          break;
        }
        if (next_adjacent && toks[i + 1].kind == TokenKind::kWord) break;  // 0x1F
        LiteralParam p;
        if (!LiteralOf(text, t.kind, &p)) break;
        out->text.append(native, copied, t.pos - copied);
        out->params.push_back(std::move(p));
        out->text += engine == Engine::SQLite ? '?' : '$';
        out->text += std::to_string(out->params.size());
        if (t.pos + t.len < native.size() && IsWordByte(native[t.pos + t.len])) out->text += ' ';
        copied = t.pos + t.len;
        break;
      }
      default:
        break;
    }
  }
  if (first_word) return false;  // nothing but blanks and comments
  const size_t stop = end < toks.size() ? toks[end].pos : native.size();
  out->text.append(native, copied, stop - copied);
  return true;
}

namespace {

// What the scan gives for a shape's translation: its stand-ins, where taken,
// are parameters whose value is the stand-in's content.
struct Template {
  bool taken = false;
  ParameterizedSql sql;
};

// Per thread, as the statements a thread's connections keep; emptied when
// full, as the translation caches are.
const Template& TemplateOf(const std::string& shape, Engine engine) {
  constexpr size_t kTemplates = 256;
  thread_local std::unordered_map<std::string, Template, dialect::TextHash, std::equal_to<>>
      kept[2];
  auto& map = kept[engine == Engine::SQLite ? 0 : 1];
  if (auto it = map.find(shape); it != map.end()) return it->second;
  if (map.size() >= kTemplates) map.clear();
  Template t;
  t.taken = ParameterizeLiteralsUncached(shape, engine, &t.sql);
  return map.emplace(shape, std::move(t)).first->second;
}

}  // namespace

bool ParameterizeLiterals(const Translation& sql, Engine engine, ParameterizedSql* out) {
  const std::string_view native = sql.native;
  const ShapedFrom* shaped = sql.shaped.get();
  if (!shaped || shaped->engine != engine) return ParameterizeLiteralsUncached(native, engine, out);
  // The text is the shape's translation with these literals put back: the
  // scan's choices depend on where literals are, never on what they hold.
  const Template& t = TemplateOf(shaped->shape, engine);
  if (!t.taken) return false;
  thread_local std::vector<std::string_view> literals;
  literals.clear();
  for (const TextSpan& s : shaped->literals) {
    if (s.pos + s.len > native.size()) return ParameterizeLiteralsUncached(native, engine, out);
    literals.push_back(native.substr(s.pos, s.len));
  }
  if (!dialect::FillShape(t.sql.text, literals, &out->text, nullptr, false)) {
    return ParameterizeLiteralsUncached(native, engine, out);
  }
  out->params.resize(t.sql.params.size());
  for (size_t i = 0; i < t.sql.params.size(); ++i) {
    const LiteralParam& p = t.sql.params[i];
    LiteralParam& o = out->params[i];
    o.kind = p.kind;
    if (p.kind != LiteralParam::kText || p.value.empty() || p.value[0] != dialect::kStandInMark) {
      o.value = p.value;
      continue;
    }
    // '<mark><digits>' and nothing else: stand-ins the rules glued into
    // one literal ('..''..') are scanned in the text itself.
    size_t n = 0;
    bool digits = p.value.size() > 1;
    for (size_t k = 1; k < p.value.size() && digits; ++k) {
      digits = p.value[k] >= '0' && p.value[k] <= '9';
      n = n * 10 + static_cast<size_t>(p.value[k] - '0');
    }
    if (!digits || n >= literals.size()) return ParameterizeLiteralsUncached(native, engine, out);
    o.value.clear();
    dialect::AppendUnquoted(literals[n], &o.value);
  }
  return true;
}

}  // namespace q6
