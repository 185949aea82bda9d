// Numbering parameter markers before a translation and writing them in the
// engine's form after it. Both passes go over the dialect's own tokens, so
// a `?` inside a literal, a quoted or bracketed name or a comment is never
// taken for a marker.
#include "platform/dialect/parameter_markers.h"

#include <charconv>
#include <vector>

#include "platform/dialect/sql_tokens.h"

namespace q6 {
namespace {

bool IsMarker(const dialect::Token& t, std::string_view sql) {
  return t.kind == dialect::TokenKind::kPunct && sql[t.pos] == '?';
}

}  // namespace

int NumberParameterMarkers(std::string_view tsql, std::string* out) {
  thread_local std::vector<dialect::Token> tokens;
  out->clear();
  if (!dialect::Tokenize(tsql, &tokens)) {
    out->assign(tsql);
    return -1;
  }
  out->reserve(tsql.size() + 8);
  int count = 0;
  size_t copied = 0;
  for (const dialect::Token& t : tokens) {
    if (!IsMarker(t, tsql) || t.len != 1) continue;
    out->append(tsql, copied, t.pos + 1 - copied);
    *out += std::to_string(++count);
    copied = t.pos + 1;
  }
  out->append(tsql, copied);
  return count;
}

std::string PlaceParameterMarkers(std::string_view native,
                                  FunctionRef<std::string(int)> placeholder) {
  thread_local std::vector<dialect::Token> tokens;
  if (!dialect::Tokenize(native, &tokens)) return std::string(native);
  std::string out;
  out.reserve(native.size() + 8);
  size_t copied = 0;
  for (const dialect::Token& t : tokens) {
    if (!IsMarker(t, native) || t.len == 1) continue;
    int n = 0;
    const char* first = native.data() + t.pos + 1;
    std::from_chars(first, native.data() + t.pos + t.len, n);
    out.append(native, copied, t.pos - copied);
    out += placeholder(n);
    copied = t.pos + t.len;
    if (copied < native.size() && dialect::IsWordByte(native[copied])) out += ' ';
  }
  out.append(native, copied);
  return out;
}

}  // namespace q6
