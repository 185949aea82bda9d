// Statement texts translated for one connection, with that connection's
// declared column types at hand (Driver::column_types()), so that the rules
// that depend on a column's type apply to every caller alike.
//
// Every text the data layer translates for a connection goes through
// TranslateFor. A caller that keeps a translation past one run (a prepared
// Command, MoveTo's plan, a bound template, an insert text) keeps a
// KeptTranslation instead: it remembers the type answers it was made with,
// and Holds() tells before each reuse whether they are still what the
// connection at hand answers (a table made again with other types, a plan
// kept for the thread and used on another database), so that a stale
// translation is made afresh rather than run.
#pragma once

#include <memory>
#include <string_view>

#include "platform/dialect/column_types.h"
#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"

namespace q6 {

// `sql` translated for `driver`'s engine with its column types.
Q6FD_INTERNAL Translation TranslateFor(Driver& driver, std::string_view sql);

class Q6FD_INTERNAL KeptTranslation {
 public:
  KeptTranslation() = default;
  // `sql` translated for `driver`, with the type answers the translation
  // was made with.
  KeptTranslation(Driver& driver, std::string_view sql);

  // Whether every type answer this translation was made with is still what
  // `driver` gives, as other connections have left the schema by now
  // (ColumnTypes::BeforeStatement). True when it read none (no engine work
  // then); otherwise one schema look-up per answer, after at most one check
  // that the schema is current (the engine's, column_types.h).
  bool Holds(Driver& driver) const { return !reads_ || ReadsHold(driver); }

  Translation& statement() { return statement_; }
  const Translation& statement() const { return statement_; }

 private:
  bool ReadsHold(Driver& driver) const;

  Translation statement_;
  std::shared_ptr<const dialect::TypeReads> reads_;  // null: none read
};

}  // namespace q6
