// Registering the T-SQL functions and collations of a connection as its
// statements name them.
#include "platform/drivers/sqlite/sqlite_extensions.h"

#include <sqlite3.h>

#include <string>
#include <unordered_map>

#include "platform/drivers/sqlite/sqlite_date_store.h"
#include "platform/drivers/sqlite/sqlite_exact.h"
#include "platform/drivers/sqlite/sqlite_functions.h"
#include "platform/tsql/functions.h"

namespace q6::sqlite {
namespace {

constexpr size_t kFunctionCount = std::size(tsql::kFunctions);
// The collations, numbered after the functions.
constexpr size_t kDecimalCollation = kFunctionCount, kDateCollation = kFunctionCount + 1;
constexpr size_t kEntries = kFunctionCount + 2;
constexpr char kPrefix[] = "tsql_";
constexpr size_t kPrefixSize = sizeof kPrefix - 1;

// Engine name -> the registry's functions of that name and the collation of
// it (a name may be both), for the names registered on demand.
struct Named {
  std::vector<size_t> entries;
};
const std::unordered_map<std::string, Named>& Names() {
  static const auto* names = [] {
    auto* m = new std::unordered_map<std::string, Named>;
    for (size_t i = 0; i < kFunctionCount; ++i)
      if (tsql::kFunctions[i].call != tsql::Call::kBuiltin)
        (*m)[tsql::EngineName(tsql::kFunctions[i])].entries.push_back(i);
    (*m)["tsql_decimal"].entries.push_back(kDecimalCollation);
    (*m)["tsql_date"].entries.push_back(kDateCollation);
    return m;
  }();
  return *names;
}

bool NameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

TsqlExtensions::TsqlExtensions(sqlite3* db) : db_(db), registered_(kEntries, false) {}

TsqlExtensions* TsqlExtensions::Of(sqlite3_context* ctx) {
  return static_cast<TsqlExtensions*>(sqlite3_user_data(ctx));
}

int TsqlExtensions::Register(size_t entry) {
  if (registered_[entry]) return SQLITE_OK;
  int rc = SQLITE_OK;
  if (entry == kDecimalCollation) {
    rc = sqlite3_create_collation_v2(db_, "tsql_decimal", SQLITE_UTF8, nullptr, CompareDecimalTexts,
                                     nullptr);
  } else if (entry == kDateCollation) {
    rc = sqlite3_create_collation_v2(db_, "tsql_date", SQLITE_UTF8, nullptr, CompareDateTexts,
                                     nullptr);
  } else {
    rc = RegisterFunction(db_, tsql::kFunctions[entry], this);
  }
  if (rc == SQLITE_OK) registered_[entry] = true;
  return rc;
}

int TsqlExtensions::RegisterAll() {
  for (size_t i = 0; i < kEntries; ++i) {
    if (i < kFunctionCount && tsql::kFunctions[i].call == tsql::Call::kBuiltin) continue;
    if (const int rc = Register(i); rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

int TsqlExtensions::RegisterNamedIn(std::string_view text) {
  const auto& names = Names();
  std::string name;
  for (size_t at = text.find(kPrefix); at != std::string_view::npos;
       at = text.find(kPrefix, at + kPrefixSize)) {
    if (at > 0 && NameChar(text[at - 1])) continue;  // inside a longer word
    size_t end = at + kPrefixSize;
    while (end < text.size() && NameChar(text[end])) ++end;
    name.assign(text.substr(at, end - at));
    const auto it = names.find(name);
    if (it == names.end()) continue;
    for (const size_t entry : it->second.entries)
      if (const int rc = Register(entry); rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

bool TsqlExtensions::RegisterRefused() {
  const std::string_view message = sqlite3_errmsg(db_);
  for (std::string_view refusal :
       {"no such function: ", "unknown function: ", "no such collation sequence: "}) {
    const size_t at = message.find(refusal);
    if (at == std::string_view::npos) continue;
    size_t begin = at + refusal.size(), end = begin;
    while (end < message.size() && NameChar(message[end])) ++end;
    std::string name(message.substr(begin, end - begin));
    for (char& c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const auto it = Names().find(name);
    if (it == Names().end()) return false;
    bool registered = false;
    for (const size_t entry : it->second.entries) {
      const bool before = registered_[entry];
      registered = (Register(entry) == SQLITE_OK && !before) || registered;
    }
    return registered;
  }
  return false;
}

int TsqlExtensions::Prepare(const char* text, int bytes, unsigned flags, sqlite3_stmt** stmt,
                            const char** tail) {
  int rc = sqlite3_prepare_v3(db_, text, bytes, flags, stmt, tail);
  // Each try registers one more name (of the schema's) or ends.
  while (rc != SQLITE_OK && RegisterRefused())
    rc = sqlite3_prepare_v3(db_, text, bytes, flags, stmt, tail);
  return rc;
}

}  // namespace q6::sqlite
