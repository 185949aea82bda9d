// The words the dialect rewrite rules look for, numbered once.
//
// Parsing gives every word token the number of its word in this vocabulary
// (ASCII letters folded, as T-SQL folds keywords; 0 for any other word), so
// that a rule asking "is token i the word `select`" compares two numbers,
// and a statement can tell at once whether a word occurs in it at all. The
// numbers are fixed at compile time: `WordRef("select")` and
// `WordSet{"asc", "desc"}` cost nothing at run time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string_view>

#include "platform/tsql/functions.h"

namespace q6::dialect {

namespace words {

// clang-format off
// The vocabulary, in lower case: these words and the names of the T-SQL
// functions of the registry that statements call (platform/tsql/functions.h).
// Order is free; a word given to WordRef or WordSet that is missing here
// still works for WordRef (compared as text) and fails to compile for
// WordSet.
inline constexpr std::string_view kRuleWords[] = {
    // Clauses, operators and other keywords.
    "all", "alter", "and", "any", "apply", "array", "as", "asc", "between", "by", "case",
    "collate", "create", "cross", "delete", "desc", "distinct", "else", "end", "escape",
    "except", "exists", "for", "from", "full", "group", "having", "ilike", "in", "inner",
    "insert", "intersect", "into", "is", "join", "left", "like", "limit", "local", "not",
    "null", "offset", "on", "option", "or", "order", "outer", "over", "percent", "pivot",
    "pragma", "returning", "right", "select", "session", "set", "some", "then", "ties",
    "top", "union", "unpivot", "update", "using", "values", "when", "where", "with",
    // Statement forms (statement_rules.h) and names that are keywords of
    // one engine.
    "rollup", "cube", "sets", "maxrecursion", "recursive", "nulls", "rows", "row", "fetch",
    "only", "first", "next", "raise", "notnull", "nothing", "analyse", "analyze", "primary", "unique",
    "asymmetric", "do", "initially", "placing", "symmetric", "variadic", "window",
    // Names.
    "dbo", "max", "n",
    // Table hints.
    "nolock", "updlock", "rowlock", "holdlock", "readpast", "readcommitted",
    "readcommittedlock", "readuncommitted", "repeatableread", "serializable", "tablock",
    "tablockx", "paglock", "xlock", "nowait", "noexpand", "forceseek", "forcescan",
    "keepidentity", "keepdefaults", "ignore_constraints", "ignore_triggers", "snapshot",
    // Aggregates.
    "count", "count_big", "sum", "avg", "min", "stdev", "stdevp", "var", "varp",
    "string_agg", "checksum_agg", "grouping", "grouping_id",
    // Functions the rules rewrite or classify that are not in the registry.
    "abs", "cast", "convert", "getdate", "sysdatetime", "getutcdate", "sysutcdatetime", "iif", "isnull", "len", "length", "ltrim", "rtrim",
    "substr", "trim",
    "try_cast", "try_convert", "char", "nchar", "within"};
// clang-format on

// kRuleWords, then the names of the registry's functions that statements
// call and kRuleWords does not hold ("like" is a keyword already).
constexpr bool IsRuleWord(std::string_view w) {
  for (std::string_view r : kRuleWords)
    if (r == w) return true;
  return false;
}

constexpr size_t CountWords() {
  size_t n = std::size(kRuleWords);
  for (const tsql::Function& f : tsql::kFunctions)
    n += tsql::CalledByName(f) && !IsRuleWord(f.name);
  return n;
}

inline constexpr size_t kCount = CountWords();

constexpr std::array<std::string_view, kCount> BuildVocabulary() {
  std::array<std::string_view, kCount> out{};
  size_t n = 0;
  for (std::string_view w : kRuleWords) out[n++] = w;
  for (const tsql::Function& f : tsql::kFunctions)
    if (tsql::CalledByName(f) && !IsRuleWord(f.name)) out[n++] = f.name;
  return out;
}

inline constexpr std::array<std::string_view, kCount> kVocabulary = BuildVocabulary();
static_assert(kCount < 256, "word numbers are one byte");

inline constexpr size_t kMaxLength = 18;  // "ignore_constraints"
inline constexpr size_t kSlots = 1024;    // open addressing, under a quarter full

inline constexpr uint32_t kHashStart = 2166136261u;
constexpr uint32_t HashStep(uint32_t h, char c) {
  return (h ^ static_cast<unsigned char>(c)) * 16777619u;
}
constexpr uint32_t Hash(std::string_view lower) {
  uint32_t h = kHashStart;
  for (char c : lower) h = HashStep(h, c);
  return h;
}

struct Table {
  std::array<uint8_t, kSlots> slot{};  // word number, 0 for an empty slot
};

constexpr Table BuildTable() {
  Table t;
  for (size_t w = 0; w < kCount; ++w) {
    if (kVocabulary[w].size() > kMaxLength) throw std::logic_error("word longer than kMaxLength");
    size_t s = Hash(kVocabulary[w]) & (kSlots - 1);
    while (t.slot[s] != 0) {
      if (kVocabulary[t.slot[s] - 1] == kVocabulary[w]) throw std::logic_error("word listed twice");
      s = (s + 1) & (kSlots - 1);
    }
    t.slot[s] = static_cast<uint8_t>(w + 1);
  }
  return t;
}

inline constexpr Table kTable = BuildTable();

// Bit f of entry [c][n]: some word starts with letter c, has n letters and
// ends with letter f. Most names fail this test and skip the table.
using Shapes = std::array<std::array<uint32_t, kMaxLength + 1>, 26>;
constexpr Shapes BuildShapes() {
  Shapes out{};
  for (std::string_view w : kVocabulary) {
    if (w.front() < 'a' || w.front() > 'z' || w.back() < 'a' || w.back() > 'z')
      throw std::logic_error("word not starting and ending with a letter");
    out[w.front() - 'a'][w.size()] |= uint32_t{1} << (w.back() - 'a');
  }
  return out;
}
inline constexpr Shapes kShapes = BuildShapes();

// The number of `lower` (already in lower case, `hash` its Hash) in the
// vocabulary, 1-based; 0 when it is not there.
constexpr uint8_t Find(std::string_view lower, uint32_t hash) {
  for (size_t s = hash & (kSlots - 1);; s = (s + 1) & (kSlots - 1)) {
    const uint8_t w = kTable.slot[s];
    if (w == 0 || kVocabulary[w - 1] == lower) return w;
  }
}
constexpr uint8_t Find(std::string_view lower) {
  if (lower.empty() || lower.size() > kMaxLength) return 0;
  return Find(lower, Hash(lower));
}

}  // namespace words

// The vocabulary number of a word token's text, ASCII letters folded; 0 when
// the word is not in the vocabulary.
uint8_t LookUpWord(std::string_view text);
inline uint8_t WordNumber(std::string_view text) {
  if (text.empty() || text.size() > words::kMaxLength) return 0;
  // ASCII letters fold with | 0x20; no other byte becomes a lower-case letter.
  const unsigned first = static_cast<unsigned char>(text.front() | 0x20) - 'a';
  const unsigned last = static_cast<unsigned char>(text.back() | 0x20) - 'a';
  if (first >= 26 || last >= 26 || !(words::kShapes[first][text.size()] >> last & 1u)) return 0;
  return LookUpWord(text);
}

// A word a rule looks for, in lower case, with its vocabulary number.
class WordRef {
 public:
  // A literal: numbered at compile time.
  template <size_t N>
  consteval WordRef(const char (&lower)[N])  // NOLINT: implicit by design
      : text_(lower, N - 1), number_(words::Find(text_)) {}
  // Text known at run time only.
  constexpr WordRef(std::string_view lower)  // NOLINT: implicit by design
      : text_(lower), number_(words::Find(lower)) {}
  // No word (number 0), to be assigned.
  constexpr WordRef() = default;

  constexpr std::string_view text() const { return text_; }
  // 0 when the word is not in the vocabulary.
  constexpr uint8_t number() const { return number_; }

 private:
  std::string_view text_;
  uint8_t number_ = 0;
};

// A word of the vocabulary, in lower case; a word missing from it does not
// compile.
class KnownWord {
 public:
  template <size_t N>
  consteval KnownWord(const char (&lower)[N])  // NOLINT: implicit by design
      : number_(words::Find(std::string_view(lower, N - 1))) {
    if (number_ == 0) throw std::logic_error("word missing from the vocabulary");
  }
  constexpr uint8_t number() const { return number_; }

 private:
  uint8_t number_;
};

// A set of vocabulary words, tested with one bit lookup.
class WordSet {
 public:
  consteval WordSet(std::initializer_list<WordRef> list) {
    for (const WordRef& w : list) Add(w);
  }
  consteval void Add(WordRef w) {
    if (w.number() == 0) throw std::logic_error("WordSet word missing from the vocabulary");
    bits_[w.number() / 64] |= uint64_t{1} << (w.number() % 64);
  }
  // Whether vocabulary number `number` is in the set (never for 0).
  constexpr bool Has(uint8_t number) const { return bits_[number / 64] >> (number % 64) & 1u; }
  // Whether the set shares a word with `words`, a set given as its bits.
  constexpr bool Meets(const std::array<uint64_t, 4>& words) const {
    return ((bits_[0] & words[0]) | (bits_[1] & words[1]) | (bits_[2] & words[2]) |
            (bits_[3] & words[3])) != 0;
  }

 private:
  std::array<uint64_t, 4> bits_{};
};

// The registry's functions that statements call by name and whose result is
// `result`, and the words of `more`.
consteval WordSet FunctionsReturning(tsql::Result result, WordSet more) {
  for (const tsql::Function& f : tsql::kFunctions)
    if (tsql::CalledByName(f) && f.result == result) more.Add(WordRef(f.name));
  return more;
}

}  // namespace q6::dialect
