// Parameter markers: the `?` a statement with bound values holds in place of
// each value, carried through the dialect rewrite to the engine.
//
// A caller marks each value with a bare `?`. Before the text is translated,
// NumberParameterMarkers numbers them in order (?1, ?2, ...). A numbered
// marker is one token to the rewriter (sql_tokens.h), which treats it as it
// treats a bare `?`; a rule that repeats part of a statement (right(s, ?)
// on SQLite) repeats the number with it, and a rule that moves a value
// (PostgreSQL's comparisons) moves the number, so every copy still names
// its value. After the translation, PlaceParameterMarkers writes each
// numbered marker in the engine's form (Driver::Placeholder).
#pragma once

#include <string>
#include <string_view>

#include "runtime/function_ref.h"

namespace q6 {

// Writes `tsql` into `out` with each bare `?` outside string literals,
// quoted and bracketed names and comments numbered in order, and returns
// how many there are. Markers the text numbers already are left as they
// are and not counted. Returns -1, with `out` holding `tsql` unchanged,
// when the text cannot be taken apart (an unclosed literal or comment), so
// that the engine reports what is wrong with it.
int NumberParameterMarkers(std::string_view tsql, std::string* out);

// `native` (translated) with each numbered marker ?n outside literals,
// quoted names and comments written as placeholder(n), a blank added when a
// name follows it directly. Text that cannot be taken apart comes back
// unchanged.
std::string PlaceParameterMarkers(std::string_view native,
                                  FunctionRef<std::string(int)> placeholder);

}  // namespace q6
