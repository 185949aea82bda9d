// Statements that differ only in the contents of their string literals
// translate alike. The rewrite rules look into a literal in a few places
// only (a date, a LIKE pattern, an alias), and EditableSql notes when they
// do. So a statement is translated once per shape, with numbered stand-ins
// for its literals, and each statement of that shape gets the translation
// with its own literals put back: lock checks and record reads carry a new
// identifier in every text, and skip the rewrite this way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/dialect.h"

namespace q6::dialect {

struct LiteralShape {
  std::string text;                        // the statement with stand-ins
  std::vector<std::string_view> literals;  // the literals they replace, quotes included
};

// Fills `out` from `tsql` and returns true when at least one literal was
// replaced by a stand-in ('<kStandInMark><n>', n counting from 0). A literal
// stays when its content decides a rewrite before any rule reads it (a
// date), when it carries a prefix (N'..'), or when its number is in `keep`
// (ascending; the numbers the literals get with `keep` empty), for the
// literals that rules read (an alias, a LIKE pattern). A text that already
// holds the mark byte, or that does not tokenize, has no shape. `tsql` must
// outlive out->literals.
bool ShapeOf(std::string_view tsql, const std::vector<uint32_t>& keep, LiteralShape* out);

// Puts `literals` back into `translated`, a translation of a shape, and
// sets (*placed)[n] to where literal n went in `out` when `placed` is given.
// Returns false, `out` then unspecified, unless every stand-in occurs once
// at most, and, with `all`, each exactly once.
bool FillShape(std::string_view translated, const std::vector<std::string_view>& literals,
               std::string* out, std::vector<TextSpan>* placed = nullptr, bool all = true);

}  // namespace q6::dialect
