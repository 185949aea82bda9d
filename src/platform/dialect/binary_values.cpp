// 0x literals and binary column types.
#include "platform/dialect/binary_values.h"

#include <string>
#include <string_view>

namespace q6::dialect {
namespace {

bool IsHexWord(std::string_view t) {
  if (t.empty() || (t[0] != 'x' && t[0] != 'X')) return false;
  for (char c : t.substr(1))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  return true;
}

}  // namespace

void RewriteBinaryLiterals(EditableSql* s, Engine engine) {
  if (!s->HasKind(TokenKind::kNumber)) return;
  for (size_t i = 0; i + 1 < s->size(); ++i) {
    if (s->Kind(i) != TokenKind::kNumber || s->Text(i) != "0" ||
        s->Kind(i + 1) != TokenKind::kWord || !IsHexWord(s->Text(i + 1)))
      continue;
    std::string hex(s->Text(i + 1).substr(1));
    if (hex.size() % 2 == 1) hex.insert(0, "0");  // 0xF is one byte, 0x0F
    // The literal goes on the word, and what a rule wrote behind the number
    // (a closing parenthesis) behind it.
    TokenEdit& num = s->Edit(i);
    num.drop = true;
    std::string closing = std::move(num.after);
    num.after.clear();
    TokenEdit& word = s->Edit(i + 1);
    word.replace = true;
    word.replacement = engine == Engine::SQLite ? "X'" + hex + "'" : "'\\x" + hex + "'::bytea";
    word.after.insert(0, closing);
  }
}

bool RewriteBinaryType(EditableSql* s, size_t type, Engine engine) {
  if (!s->IsWord(type, "binary") && !s->IsWord(type, "varbinary") && !s->IsWord(type, "image"))
    return false;
  size_t end = type;
  if (s->IsPunct(s->NextSig(type), '(')) end = s->Match(s->NextSig(type));
  for (size_t j = type + 1; j <= end; ++j) s->Edit(j).drop = true;
  Replace(s, type, engine == Engine::SQLite ? "BLOB" : "bytea");
  return true;
}

}  // namespace q6::dialect
