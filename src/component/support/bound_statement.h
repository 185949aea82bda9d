// Statements that carry a caller's values, translated once and run with
// those values bound.
//
// A hot path (taking a lock, releasing it) builds the same statement around
// new values at every call. Translating each new text and letting the
// driver find its literals again costs more than the engine's own work, so
// the caller builds the text once with a mark where each value goes
// (ValueMark(n), a quoted literal of its own), and BoundStatement
// translates that marked text once per thread, engine and text, remembers
// which placeholder of the result each mark became, and binds the values
// there at every call. The engine then keeps one prepared statement for
// every call of that form. The statement trace still shows the text as
// built with the values in place.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "platform/adodb/connection.h"
#include "platform/drivers/driver.h"
#include "platform/trace/trace.h"

namespace q6 {

// The quoted literal standing for value `n` in a marked text. It holds a
// control byte that no translation rule reads, so it stays a literal.
std::string ValueMark(size_t n);

// A translated marked text: the native text with placeholders and, per
// placeholder, the value it takes (a caller's value, or a constant of the
// text). Immutable once made.
class BoundTemplate;

// The template for `marked` on `driver`'s engine, translated with its
// column types, made on first use and kept for the thread (made again when
// those types no longer hold on the connection at hand); nullptr when the translation does not keep
// every mark as a bound value of its own (a rule read it, or moved it into the text) or asks for
// more than `value_count` values, in which case the caller translates the text with its values in
// place.
const BoundTemplate* BoundTemplateFor(Driver& driver, const std::string& marked,
                                      size_t value_count);

// The statement of `tmpl` with `values` (value n for ValueMark(n)) bound;
// `built` is the text with the values in place, for the trace ("" when the
// trace is off).
Driver::Batched BindTemplate(const BoundTemplate& tmpl, std::span<const std::string> values,
                             std::string built);

// A statement form a hot path names by a small key instead of its text:
// `kind`, the address of an object of the caller's own (one per kind of
// statement), and `shape`, a number that together with the kind determines
// the marked text exactly (a level, which values are empty, a row count).
struct BoundForm {
  const void* kind = nullptr;
  uint64_t shape = 0;
};

// The template kept for `form` on `driver`'s engine in this thread;
// `*found` says whether the form was met before and its template still
// holds on `driver` (the template may be nullptr then, as for
// BoundTemplateFor).
const BoundTemplate* FindBoundForm(Driver& driver, BoundForm form, bool* found);
// Makes the template of `marked` (the text of `form`) and keeps it for the
// form; returns what BoundTemplateFor would.
const BoundTemplate* KeepBoundForm(Driver& driver, BoundForm form, const std::string& marked);
// The values a call of `tmpl` must give at least.
size_t BoundSlots(const BoundTemplate& tmpl);

// `marked` on `con`'s engine with `values` bound, as one statement for
// Driver::ExecuteBatch or Driver::Execute. `built()` gives the same text
// with the values in place: what the trace shows, and what is translated
// whole when the marked text has no template.
template <class BuiltText>
Driver::Batched BoundStatement(const Connection& con, const std::string& marked,
                               std::span<const std::string> values, BuiltText&& built) {
  if (const BoundTemplate* tmpl = BoundTemplateFor(con.driver(), marked, values.size()))
    return BindTemplate(*tmpl, values, TraceEnabled() ? built() : std::string());
  return con.Batched(built());
}

// The same for a statement named by `form`: `marked()` builds its marked
// text only the first time the form is met in this thread, so a call of a
// known form builds no text at all (but the trace's, when it is on).
template <class MarkedText, class BuiltText>
Driver::Batched BoundStatement(const Connection& con, BoundForm form, MarkedText&& marked,
                               std::span<const std::string> values, BuiltText&& built) {
  bool found = false;
  const BoundTemplate* tmpl = FindBoundForm(con.driver(), form, &found);
  if (!found) tmpl = KeepBoundForm(con.driver(), form, marked());
  if (tmpl && BoundSlots(*tmpl) <= values.size())
    return BindTemplate(*tmpl, values, TraceEnabled() ? built() : std::string());
  return con.Batched(built());
}

}  // namespace q6
