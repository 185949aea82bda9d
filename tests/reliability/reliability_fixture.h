// What the reliability tests share: a data source that forked children can
// use, the sample document types in it, whole-table snapshots to prove that
// nothing changed, and the knobs of the long runs.
//
// SharedSource(): on SQLite a database file of its own that the parent has
// closed before any child is forked (a child must not inherit an open SQLite
// handle on the file it uses); on PostgreSQL the test's schema. The parent
// must not call the component with it before forking (see workers.h).
//
// Knobs (environment):
//   Q6_STRESS_SECONDS  how long the whole-road stress run lasts (default 5)
//   Q6_SOAK=1          the long variants: more rounds, the server restart,
//                      waits that run out SQLite's busy timeout several times
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "component/frame/data_manager.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"
#include "platform/drivers/driver.h"
#include "platform/schema/schema.h"
#include "runtime/com_error.h"
#include "sample/sample_data.h"
#include "support/test_db.h"

namespace q6::test {

inline bool SoakRun() {
  const char* v = std::getenv("Q6_SOAK");
  return v && *v && std::string(v) != "0";
}

inline int StressSeconds() {
  const char* v = std::getenv("Q6_STRESS_SECONDS");
  int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : 5;
}

// The rows of `sql`, each as its columns' texts joined by '|' (Null as
// "<null>"), in the order the statement gives.
inline std::vector<std::string> RowTexts(Connection& con, const std::string& sql) {
  std::shared_ptr<Recordset> rs = con.Execute(sql);
  std::vector<std::string> rows;
  for (; !rs->EOF(); rs->MoveNext()) {
    std::string row;
    const int32_t n = rs->Fields()->Count();
    for (int32_t c = 0; c < n; ++c) {
      Variant v = rs->Fields()->Item(Variant(c))->Value();
      row += (c ? "|" : "") + (v.IsNull() ? std::string("<null>") : v.ToString());
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// The first column of the first row of `sql` as a whole number.
inline int64_t CountOf(Connection& con, const std::string& sql) {
  std::shared_ptr<Recordset> rs = con.Execute(sql);
  return rs->Fields()->Item(Variant(int32_t{0}))->Value().ToLong();
}

class ReliabilityTest : public EngineTest {
 protected:
  // See the top of this file. Created on first use, with the metadata and
  // lock tables.
  const std::string& SharedSource() {
    if (shared_.empty()) {
      if (engine() == Engine::SQLite) {
        shared_ = "Driver=sqlite;Database=" + folder() + "/shared.db";
        InitDataSource(shared_);
      } else {
        shared_ = dsn();
      }
    }
    return shared_;
  }

  // Makes `source` the shared source (before first use of SharedSource()).
  void UseSharedSource(const std::string& source) { shared_ = source; }

  // A new connection of the parent's own to the shared source. Close it (let
  // it go) before forking on SQLite.
  std::unique_ptr<Connection> OpenShared() {
    auto con = std::make_unique<Connection>();
    con->Open(SharedSource());
    return con;
  }

  // The sample document types with `documents` receipts and payments each.
  void SeedSampleData(int documents) {
    auto con = OpenShared();
    sample::SeedOptions options;
    options.documents = documents;
    sample::SeedSample(*con, options);
  }

  // Every row of the metadata and lock tables, in key order.
  std::vector<std::string> MetadataSnapshot() {
    auto con = OpenShared();
    std::vector<std::string> rows = RowTexts(*con, "select * from FD_Entities order by iID");
    for (auto& r : RowTexts(*con, "select * from FD_Fields order by iID")) rows.push_back(r);
    for (auto& r : RowTexts(*con, "select * from FD_Locks order by locks_id, user_name"))
      rows.push_back(r);
    return rows;
  }

  // MetadataSnapshot() and every row of the sample record tables.
  std::vector<std::string> DataSnapshot() {
    std::vector<std::string> rows = MetadataSnapshot();
    auto con = OpenShared();
    for (const char* table : {"fd_receipt", "fd_receipt_line", "fd_payment", "fd_payment_line"})
      for (auto& r : RowTexts(*con, std::string("select * from ") + table + " order by oid"))
        rows.push_back(table + std::string(": ") + r);
    return rows;
  }

  // SQLite's own check of the file: "ok" when sound. "ok" on PostgreSQL.
  std::string IntegrityCheck() {
    if (engine() != Engine::SQLite) return "ok";
    auto con = OpenShared();
    return RowTexts(*con, "PRAGMA integrity_check").at(0);
  }

 private:
  std::string shared_;
};

// Loads document type `bitype` with its child through the component.
inline std::shared_ptr<EntityObject> LoadType(DataManager& dm, const std::string& source,
                                              int32_t bitype) {
  Variant dsn(source);
  bool only_eo = false, get_child = true;
  int32_t only_used = 0;
  return As<EntityObject>(dm.LoadEOMetaData(dsn, bitype, only_eo, only_used, get_child));
}

// SaveEOMetaData with the entity's child, as a client calls it.
inline bool SaveMetadata(DataManager& dm, const std::string& source,
                         const std::shared_ptr<EntityObject>& eo) {
  Variant dsn(source);
  ObjectRef ref = eo;
  bool only_eo = false, set_child = true;
  return dm.SaveEOMetaData(dsn, ref, only_eo, set_child);
}

// "hr description" of a failure, for the reports children write.
inline std::string FailureText(const std::exception& e) {
  if (const auto* ce = dynamic_cast<const ComError*>(&e))
    return HrToString(ce->hr()) + " " + ce->description();
  return std::string("exception ") + e.what();
}

}  // namespace q6::test
