// Translations for a connection, and the type answers a kept one was made
// with.
#include "platform/adodb/typed_translation.h"

#include <string>
#include <string_view>
#include <vector>

namespace q6 {
namespace {

// Passes the driver's answers to the translator and notes each one, once.
// On a cached translation the translator asks again every answer the cached
// one was made with (to tell whether it still holds), so the notes are the
// same whether the text was translated now or found.
class NotedTypes final : public dialect::ColumnTypes {
 public:
  explicit NotedTypes(dialect::ColumnTypes* given) : given_(given) {}

  void BeforeStatement() override {
    if (given_) given_->BeforeStatement();
  }

  dialect::ColumnType TypeOf(std::string_view table, std::string_view column) override {
    const dialect::ColumnType t = given_ ? given_->TypeOf(table, column) : dialect::ColumnType{};
    for (const dialect::TypeRead& r : noted_)
      if (r.table == table && r.column == column) return t;
    noted_.push_back({std::string(table), std::string(column), t});
    return t;
  }

  bool ColumnNames(std::string_view table, std::vector<std::string>* names) override {
    names->clear();
    const bool known = given_ && given_->ColumnNames(table, names);
    for (const dialect::TypeRead& r : noted_)
      if (r.column.empty() && r.table == table) return known;
    noted_.push_back({std::string(table), {}, {}, *names});
    return known;
  }

  std::shared_ptr<const dialect::TypeReads> Noted() {
    if (noted_.empty()) return nullptr;
    return std::make_shared<const dialect::TypeReads>(std::move(noted_));
  }

 private:
  dialect::ColumnTypes* given_;
  dialect::TypeReads noted_;
};

}  // namespace

Translation TranslateFor(Driver& driver, std::string_view sql) {
  return TranslateSql(sql, driver.engine(), driver.column_types());
}

KeptTranslation::KeptTranslation(Driver& driver, std::string_view sql) {
  NotedTypes noted(driver.column_types());
  statement_ = TranslateSql(sql, driver.engine(), &noted);
  reads_ = noted.Noted();
}

bool KeptTranslation::ReadsHold(Driver& driver) const {
  dialect::ColumnTypes* types = driver.column_types();
  if (types) types->BeforeStatement();
  return dialect::ReadsStillHold(reads_, types);
}

}  // namespace q6
