// Parsing filter criteria text.
//
// A small recursive-descent parser over the text; it builds the OR-of-ANDs
// form directly, which is also how the criteria form restricts grouping.
#include "platform/adodb/filter_parse.h"

#include <cctype>
#include <cstdio>

#include "platform/adodb/ado_errors.h"
#include "runtime/value_date.h"
#include "runtime/value_number_text.h"

namespace q6 {
namespace {

constexpr const char* kSource = "ADODB.Recordset";

[[noreturn]] void Bad(const std::string& why) { ThrowAdo(kAdoInvalidArgument, kSource, why); }

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// "8/24/95", "8/24/1995 13:05", "2024-01-31 10:00:00" as a date.
bool ParseFilterDate(std::string_view text, double* days) {
  if (value::ParseDate(text, days)) return true;
  int m = 0, d = 0, y = 0, hh = 0, mm = 0, ss = 0, used = 0;
  std::string s(text);
  int n = std::sscanf(s.c_str(), " %d/%d/%d%n", &m, &d, &y, &used);
  if (n != 3) return false;
  std::string rest = s.substr(static_cast<size_t>(used));
  if (y < 100) y += y < 30 ? 2000 : 1900;
  int tn = std::sscanf(rest.c_str(), " %d:%d:%d", &hh, &mm, &ss);
  char iso[64];
  if (tn >= 2)
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, hh, mm,
                  tn == 3 ? ss : 0);
  else if (rest.find_first_not_of(" \t") == std::string::npos)
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", y, m, d);
  else
    return false;
  return value::ParseDate(iso, days);
}

class Parser {
 public:
  explicit Parser(std::string_view t) : t_(t) {}

  FilterCriteria Criteria() {
    FilterCriteria c = Or();
    Skip();
    if (i_ < t_.size()) Bad("unexpected text at '" + std::string(t_.substr(i_)) + "'");
    return c;
  }

 private:
  void Skip() {
    while (i_ < t_.size() && std::isspace(static_cast<unsigned char>(t_[i_]))) ++i_;
  }
  // Consumes the keyword `kw` (any case) when it stands next as a word.
  bool Keyword(const char* kw) {
    Skip();
    size_t n = std::char_traits<char>::length(kw);
    if (i_ + n > t_.size()) return false;
    for (size_t k = 0; k < n; ++k)
      if (std::toupper(static_cast<unsigned char>(t_[i_ + k])) != kw[k]) return false;
    if (i_ + n < t_.size() && IsNameChar(t_[i_ + n])) return false;
    i_ += n;
    return true;
  }

  FilterCriteria Or() {
    FilterCriteria out = And();
    while (Keyword("OR")) {
      FilterCriteria rhs = And();
      for (auto& conj : rhs.any_of) out.any_of.push_back(std::move(conj));
    }
    return out;
  }

  FilterCriteria And() {
    FilterCriteria out = Group();
    while (Keyword("AND")) {
      FilterCriteria rhs = Group();
      if (out.any_of.size() != 1 || rhs.any_of.size() != 1)
        Bad("a group joined by OR cannot be joined with AND");
      for (auto& c : rhs.any_of[0]) out.any_of[0].push_back(std::move(c));
    }
    return out;
  }

  FilterCriteria Group() {
    Skip();
    if (i_ < t_.size() && t_[i_] == '(') {
      ++i_;
      FilterCriteria inner = Or();
      Skip();
      if (i_ >= t_.size() || t_[i_] != ')') Bad("missing ')'");
      ++i_;
      return inner;
    }
    FilterCriteria out;
    out.any_of.push_back({Clause()});
    return out;
  }

  FilterClause Clause() {
    FilterClause c;
    c.column = Column();
    c.op = Operator();
    c.value = Value();
    return c;
  }

  std::string Column() {
    Skip();
    if (i_ < t_.size() && t_[i_] == '[') {
      size_t close = t_.find(']', i_);
      if (close == std::string_view::npos) Bad("missing ']'");
      std::string name(t_.substr(i_ + 1, close - i_ - 1));
      i_ = close + 1;
      return name;
    }
    size_t start = i_;
    while (i_ < t_.size() && IsNameChar(t_[i_])) ++i_;
    if (i_ == start) Bad("a column name is expected at position " + std::to_string(start + 1));
    return std::string(t_.substr(start, i_ - start));
  }

  FilterOp Operator() {
    Skip();
    if (Keyword("LIKE")) return FilterOp::kLike;
    auto at = [&](size_t k) { return i_ + k < t_.size() ? t_[i_ + k] : '\0'; };
    char a = at(0), b = at(1);
    if (a == '<' && b == '>') return i_ += 2, FilterOp::kNe;
    if (a == '<' && b == '=') return i_ += 2, FilterOp::kLe;
    if (a == '>' && b == '=') return i_ += 2, FilterOp::kGe;
    if (a == '<') return ++i_, FilterOp::kLt;
    if (a == '>') return ++i_, FilterOp::kGt;
    if (a == '=') return ++i_, FilterOp::kEq;
    Bad("an operator (=, <>, <, >, <=, >=, LIKE) is expected at position " +
        std::to_string(i_ + 1));
  }

  std::string Quoted() {  // at the opening quote
    std::string out;
    ++i_;
    for (;;) {
      if (i_ >= t_.size()) Bad("unterminated text value");
      char c = t_[i_++];
      if (c == '\'') {
        if (i_ < t_.size() && t_[i_] == '\'') {
          out += '\'';
          ++i_;
          continue;
        }
        return out;
      }
      out += c;
    }
  }

  Variant Value() {
    Skip();
    if (i_ >= t_.size()) Bad("a value is expected at the end");
    char c = t_[i_];
    if (c == '\'') return Variant(Quoted());
    if (c == '#') {
      size_t close = t_.find('#', i_ + 1);
      if (close == std::string_view::npos) Bad("unterminated date value");
      std::string_view inner = t_.substr(i_ + 1, close - i_ - 1);
      i_ = close + 1;
      if (inner.size() >= 2 && inner.front() == '\'' && inner.back() == '\'')
        return Variant(std::string(inner));  // #'x'# keeps the quotes
      double days = 0;
      if (!ParseFilterDate(inner, &days)) Bad("not a date: #" + std::string(inner) + "#");
      return Variant(DateValue{days});
    }
    size_t start = i_;
    while (i_ < t_.size() && (std::isalnum(static_cast<unsigned char>(t_[i_])) || t_[i_] == '.' ||
                              t_[i_] == '$' || t_[i_] == '-' || t_[i_] == '+'))
      ++i_;
    std::string word(t_.substr(start, i_ - start));
    if (word.empty()) Bad("a value is expected at position " + std::to_string(start + 1));
    std::string digits;
    for (char ch : word)
      if (ch != '$') digits += ch;
    double d = 0;
    if (value::ParseDouble(digits, &d) != value::ParseStatus::kOk) {
      if (EqualsNoCase(word, "null")) Bad("the value cannot be Null");
      Bad("not a value: " + word);
    }
    return Variant(d);
  }

  std::string_view t_;
  size_t i_ = 0;
};

}  // namespace

FilterCriteria ParseFilter(std::string_view text) { return Parser(text).Criteria(); }

}  // namespace q6
