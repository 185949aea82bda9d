// Literal stand-ins: one scan of the bytes to take the literals out, one
// for the mark byte to put them back.
#include "platform/dialect/literal_shape.h"

#include <array>
#include <cstdint>

#include "platform/dialect/operator_rules.h"
#include "platform/dialect/sql_tokens.h"

namespace q6::dialect {

namespace {

// Bytes where a token that may hold a quote can begin: ' " [ - /. Only
// there does the scan need to look closer; everything else (words, numbers,
// punctuation, blanks) never holds one.
constexpr std::array<bool, 256> SpecialBytes() {
  std::array<bool, 256> t{};
  for (unsigned char c : {'\'', '"', '[', '-', '/'}) t[c] = true;
  return t;
}
constexpr std::array<bool, 256> kSpecial = SpecialBytes();

void AppendNumber(size_t n, std::string* out) {
  char digits[20];
  size_t k = 0;
  do {
    digits[k++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0);
  while (k > 0) out->push_back(digits[--k]);
}

}  // namespace

// One pass over the bytes that finds the string literals exactly as
// Tokenize does: a quote inside a comment, a quoted name or a bracketed
// name opens none, and those are the only tokens that can hold one.
bool ShapeOf(std::string_view tsql, const std::vector<uint32_t>& keep, LiteralShape* out) {
  out->text.clear();
  out->literals.clear();
  const size_t n = tsql.size();
  if (tsql.find(kStandInMark) != std::string_view::npos) return false;
  size_t copied = 0;    // bytes of `tsql` already in out->text
  uint32_t number = 0;  // of the next literal that may get a stand-in
  auto kept = keep.begin();
  for (size_t i = 0; i < n;) {
    if (!kSpecial[static_cast<unsigned char>(tsql[i])]) {
      ++i;
      continue;
    }
    const char c = tsql[i];
    size_t end;
    if (c == '-' || c == '/') {
      if (i + 1 >= n || tsql[i + 1] != (c == '-' ? '-' : '*')) {
        ++i;
        continue;
      }
      if (c == '/') {
        end = BlockCommentEnd(tsql, i);
      } else {
        end = tsql.find('\n', i);
        if (end == std::string_view::npos) end = n;
      }
    } else {
      end = LiteralEnd(tsql, i, c == '[' ? ']' : c);
    }
    if (end == std::string_view::npos) return false;  // the rewriter will not take it either
    if (c == '\'' && (i == 0 || !IsWordByte(tsql[i - 1]))) {  // not N'..', X'..'
      const std::string_view literal = tsql.substr(i, end - i);
      const bool date = IsDateLiteral(literal);
      const bool kept_here = !date && kept != keep.end() && *kept == number;
      if (!date) ++number;
      if (kept_here) ++kept;
      if (!date && !kept_here) {
        if (out->text.empty()) out->text.reserve(n + 16);
        out->text.append(tsql, copied, i - copied);
        out->text += '\'';
        out->text += kStandInMark;
        AppendNumber(out->literals.size(), &out->text);
        out->text += '\'';
        out->literals.push_back(literal);
        copied = end;
      }
    }
    i = end;
  }
  if (out->literals.empty()) return false;
  out->text.append(tsql, copied);
  return true;
}

bool FillShape(std::string_view translated, const std::vector<std::string_view>& literals,
               std::string* out, std::vector<TextSpan>* placed, bool all) {
  thread_local std::vector<uint8_t> seen;
  seen.assign(literals.size(), 0);
  out->clear();
  size_t room = translated.size();
  for (std::string_view l : literals) room += l.size();
  out->reserve(room);
  if (placed) placed->assign(literals.size(), TextSpan{0, 0});
  size_t found = 0;
  size_t copied = 0;  // bytes of `translated` already in `out`
  for (size_t p = translated.find(kStandInMark); p != std::string_view::npos;
       p = translated.find(kStandInMark, p + 1)) {
    // '<mark><digits>'
    size_t end = p + 1;
    size_t n = 0;
    while (end < translated.size() && translated[end] >= '0' && translated[end] <= '9' &&
           n < literals.size())
      n = n * 10 + static_cast<size_t>(translated[end++] - '0');
    if (p == 0 || translated[p - 1] != '\'' || end == p + 1 || end >= translated.size() ||
        translated[end] != '\'' || n >= literals.size() || seen[n])
      return false;
    seen[n] = 1;
    ++found;
    out->append(translated, copied, p - 1 - copied);
    if (placed) (*placed)[n] = TextSpan{out->size(), literals[n].size()};
    out->append(literals[n]);
    copied = end + 1;
  }
  if (all && found != literals.size()) return false;
  out->append(translated, copied);
  return true;
}

}  // namespace q6::dialect
