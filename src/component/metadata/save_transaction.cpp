// MetadataSaveTransaction: BeginTrans plus, where BeginTrans alone would let
// two savers read side by side, an advisory lock all savers share.
#include "component/metadata/save_transaction.h"

namespace q6 {

std::vector<std::string> MetadataSaverExclusion(Engine engine) {
  if (engine != Engine::PostgreSQL) return {};
  return {"select pg_advisory_xact_lock(hashtext('Q6FDMgr.SaveEOMetaData'))"};
}

}  // namespace q6
