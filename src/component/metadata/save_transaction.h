// What shuts other metadata savers out during a save.
//
// Saving an entity checks that no other document type has its caption, then
// writes the entity row and replaces its field rows. Two savers must not
// both pass the check for the same new caption, so the check runs inside the
// transaction, after every other saver of metadata has been shut out. The
// savers share one name for that, which serialises them and nobody else
// (loads, OIDs and record work go on); what holding the name takes is the
// engine's affair (Driver::ExclusionStatements). The wait is bounded by the
// data source's own limit (LockTimeout on PostgreSQL, BusyTimeout on
// SQLite), so a saver stuck behind another one fails instead of waiting for
// ever.
#pragma once

#include "platform/drivers/driver.h"

namespace q6 {

// The resource every outermost SaveEOMetaData holds for its transaction.
inline ExclusiveResource MetadataSaverExclusion() {
  return {ExclusiveResource::Kind::kName, "Q6FDMgr.SaveEOMetaData"};
}

}  // namespace q6
