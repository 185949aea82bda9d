// PublicService: the operations that run statements on a data source.
//
// Each call takes a connection from the apartment's ConnectionManager for the
// length of the call; the rows come back in a client-cursor Recordset, which
// needs no connection once filled. Both run one statement only: their text is
// completed with callers' column lists and conditions, which must not be able
// to carry a second statement along.
#include <algorithm>

#include "outside/services/connection_manager.h"
#include "outside/services/public_service.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"

namespace q6 {

namespace {

// Whether `columns` names more than one column, by the rule vFieldValue
// applies to the same text: with every ',' turned into a space and the ends
// trimmed, a space remains. The answer must be the rows exactly when the
// caller takes it as an object, so a single expression with a space in it
// ("isnull(a, 0)") counts as several columns too.
bool SeveralColumns(const std::string& columns) {
  std::string spaced = columns;
  std::replace(spaced.begin(), spaced.end(), ',', ' ');
  const size_t first = spaced.find_first_not_of(' ');
  if (first == std::string::npos) return false;
  const size_t last = spaced.find_last_not_of(' ');
  return spaced.find(' ', first) < last;
}

bool Given(const Variant& v) { return !v.Deref().IsMissing(); }

}  // namespace

Variant PublicService::ExecuteSQL(Variant& sql, Variant& dsn, int32_t& n1, int32_t& n2, int32_t& n3,
                                  int32_t& n4) {
  ConnectionLease con(dsn);
  std::shared_ptr<Recordset> rs = con->Execute(sql.ToString(), nullptr, kExecuteOneStatement);
  return Variant(ObjectRef(rs));
}

Variant PublicService::GetFieldValue(Variant& columns, Variant& vVal, Variant& tail, Variant& dsn,
                                     Variant& strError) {
  try {
    std::string cols = columns.ToString();
    std::string rest = tail.Deref().IsMissing() ? "" : tail.ToString();
    ConnectionLease con(dsn);
    std::shared_ptr<Recordset> rs =
        con->Execute("select " + cols + rest, nullptr, kExecuteOneStatement);
    if (SeveralColumns(cols) && !Given(vVal)) return Variant(ObjectRef(rs));
    if (rs->EOF()) return Given(vVal) ? vVal.Value() : Variant();
    return rs->Fields()->Item(Variant(int32_t{0}))->Value();
  } catch (const ComError& e) {
    strError.Deref() = Variant(e.description());
    throw;
  }
}

}  // namespace q6
