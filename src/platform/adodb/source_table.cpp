// A tiny scanner for "select * from <table> ..." statements.
#include "platform/adodb/source_table.h"

#include <cctype>

namespace q6 {
namespace {

class Scan {
 public:
  explicit Scan(std::string_view s) : s_(s) {}
  void Blanks() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool Word(const char* w) {
    Blanks();
    size_t n = std::char_traits<char>::length(w);
    if (i_ + n > s_.size()) return false;
    for (size_t k = 0; k < n; ++k)
      if (std::tolower(static_cast<unsigned char>(s_[i_ + k])) != w[k]) return false;
    if (i_ + n < s_.size() && IsName(s_[i_ + n])) return false;
    i_ += n;
    return true;
  }
  bool Char(char c) {
    Blanks();
    if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
    return false;
  }
  // A table name, possibly schema-qualified and bracketed or quoted.
  std::string Name() {
    Blanks();
    std::string out;
    for (;;) {
      if (i_ < s_.size() && (s_[i_] == '[' || s_[i_] == '"')) {
        char close = s_[i_] == '[' ? ']' : '"';
        size_t end = s_.find(close, i_ + 1);
        if (end == std::string_view::npos) return "";
        out.append(s_.substr(i_ + 1, end - i_ - 1));
        i_ = end + 1;
      } else {
        size_t start = i_;
        while (i_ < s_.size() && IsName(s_[i_])) ++i_;
        if (i_ == start) return "";
        out.append(s_.substr(start, i_ - start));
      }
      if (i_ < s_.size() && s_[i_] == '.') {
        out += '.';
        ++i_;
        continue;
      }
      return out;
    }
  }
  bool AtEnd() {
    Blanks();
    while (i_ < s_.size() && s_[i_] == ';') ++i_, Blanks();
    return i_ == s_.size();
  }
  static bool IsName(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
  }

 private:
  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

std::string SingleTableOf(std::string_view sql) {
  Scan s(sql);
  if (!s.Word("select") || !s.Char('*') || !s.Word("from")) return "";
  std::string table = s.Name();
  if (table.empty()) return "";
  if (s.AtEnd() || s.Word("where") || s.Word("order")) return table;
  return "";
}

bool IsTableName(std::string_view source) {
  Scan s(source);
  std::string name = s.Name();
  return !name.empty() && s.AtEnd() && name.find(' ') == std::string::npos;
}

}  // namespace q6
