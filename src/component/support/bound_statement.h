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

// The template for `marked` on `engine`, made on first use and kept for
// the thread; nullptr when the translation does not keep every mark as a
// bound value of its own (a rule read it, or moved it into the text) or
// asks for more than `value_count` values, in which case the caller
// translates the text with its values in place.
const BoundTemplate* BoundTemplateFor(Engine engine, const std::string& marked, size_t value_count);

// The statement of `tmpl` with `values` (value n for ValueMark(n)) bound;
// `built` is the text with the values in place, for the trace ("" when the
// trace is off).
Driver::Batched BindTemplate(const BoundTemplate& tmpl, std::span<const std::string> values,
                             std::string built);

// `marked` on `con`'s engine with `values` bound, as one statement for
// Driver::ExecuteBatch or Driver::Execute. `built()` gives the same text
// with the values in place: what the trace shows, and what is translated
// whole when the marked text has no template.
template <class BuiltText>
Driver::Batched BoundStatement(const Connection& con, const std::string& marked,
                               std::span<const std::string> values, BuiltText&& built) {
  if (const BoundTemplate* tmpl = BoundTemplateFor(con.engine(), marked, values.size()))
    return BindTemplate(*tmpl, values, TraceEnabled() ? built() : std::string());
  return con.Batched(built());
}

}  // namespace q6
