// The exclusion of lockers on each engine.
#include "component/locks/lock_transaction.h"

namespace q6 {

std::vector<std::string> LockerExclusion(Engine engine) {
  if (engine == Engine::PostgreSQL) return {"LOCK TABLE FD_Locks IN SHARE ROW EXCLUSIVE MODE"};
  return {};
}

}  // namespace q6
