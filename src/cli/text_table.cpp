// Display widths and aligned tables.
#include "cli/text_table.h"

#include <algorithm>
#include <ostream>

#include "runtime/value_utf8.h"

namespace q6::cli {

namespace {

char32_t Decode(std::string_view s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i++]);
  if (c < 0x80) return c;
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  char32_t cp = c & (0x3F >> extra);
  for (int k = 0; k < extra && i < s.size(); ++k) cp = (cp << 6) | (s[i++] & 0x3F);
  return cp;
}

bool Wide(char32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
         (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
         (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
         (cp >= 0x20000 && cp <= 0x3FFFD);
}

bool Combining(char32_t cp) {
  return (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x200B && cp <= 0x200F) ||
         (cp >= 0xFE00 && cp <= 0xFE0F);
}

}  // namespace

size_t DisplayWidth(std::string_view s) {
  size_t w = 0;
  for (size_t i = 0; i < s.size();) {
    char32_t cp = Decode(s, i);
    w += Combining(cp) ? 0 : Wide(cp) ? 2 : 1;
  }
  return w;
}

std::string EscapedText(std::string_view s, bool backslashes) {
  std::string out;
  out.reserve(s.size());
  auto hex = [&](unsigned char c) {
    static const char digits[] = "0123456789ABCDEF";
    out += "\\x";
    out += digits[c >> 4];
    out += digits[c & 15];
  };
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\\' && backslashes) {
      out += "\\\\";
    } else if (c == '\n' || c == '\r' || c == '\t') {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      hex(c);
    } else if (c >= 0x80) {
      size_t len = 0;
      bool valid = false;
      value::DecodeAt(s, i, &len, &valid);
      if (!valid) {
        hex(c);
        ++i;
        continue;
      }
      out.append(s.substr(i, len));
      i += len;
      continue;
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  return out;
}

std::string UnescapedText(std::string_view s) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char e = s[i + 1];
    if (e == '\\' || e == 'n' || e == 'r' || e == 't') {
      out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : '\\';
      ++i;
    } else if (e == 'x' && i + 3 < s.size() && nibble(s[i + 2]) >= 0 && nibble(s[i + 3]) >= 0) {
      out += static_cast<char>(nibble(s[i + 2]) * 16 + nibble(s[i + 3]));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

void TextTable::Print(std::ostream& out, const std::string& indent) const {
  std::vector<size_t> width(header_.size());
  for (size_t c = 0; c < header_.size(); ++c) width[c] = DisplayWidth(header_[c]);
  for (auto& r : rows_)
    for (size_t c = 0; c < r.size() && c < width.size(); ++c)
      width[c] = std::max(width[c], DisplayWidth(r[c]));
  auto line = [&](const std::vector<std::string>& cells) {
    std::string s = indent;
    for (size_t c = 0; c < width.size(); ++c) {
      const std::string& cell = c < cells.size() ? cells[c] : std::string();
      s += cell;
      if (c + 1 < width.size()) s += std::string(width[c] - DisplayWidth(cell) + 2, ' ');
    }
    while (!s.empty() && s.back() == ' ') s.pop_back();
    out << s << "\n";
  };
  line(header_);
  std::vector<std::string> rule;
  for (size_t w : width) rule.push_back(std::string(w, '-'));
  line(rule);
  for (auto& r : rows_) line(r);
}

}  // namespace q6::cli
