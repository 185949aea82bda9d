// Updatable recordsets on both engines: AddNew/Update inserts, field puts on
// fetched rows update by key (or by every value without a key), LockType 4
// keeps rows until UpdateBatch, which is all or nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/adodb/ado_errors.h"
#include "support/statement_capture.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::EngineTest;

class UpdateTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    con_ = OpenConnection();
  }
  std::shared_ptr<Recordset> OpenRs(const std::string& sql, int32_t lock) {
    auto rs = std::make_shared<Recordset>();
    rs->Open(Variant(sql), Variant(con_), 3, lock);
    return rs;
  }
  void Put(Recordset& rs, const char* col, Variant v) {
    rs.Fields()->Item(Variant(col))->PutValue(v);
  }
  std::shared_ptr<Connection> con_;
};

TEST_P(UpdateTest, AddNewOnAnEmptySelectInsertsWithQuotesAndBooleans) {
  auto rs = OpenRs("select * from FD_Locks where 1>1", kAdLockOptimistic);
  EXPECT_TRUE(rs->EOF());
  const char* ids[] = {"it's", "a''b", "x\"y;--"};
  for (const char* id : ids) {
    rs->AddNew();
    Put(*rs, "locks_id", Variant(id));
    Put(*rs, "USER_NAME", Variant("u"));
    Put(*rs, "class_flag", Variant(true));
    rs->Update();
    EXPECT_EQ(rs->Field("locks_id").ToString(), id) << "the new row stays current";
  }
  auto back = con_->Execute("select locks_id, class_flag, digest from FD_Locks order by locks_id");
  std::vector<std::string> got;
  for (; !back->EOF(); back->MoveNext()) {
    got.push_back(back->Field("locks_id").ToString());
    EXPECT_EQ(back->Field("class_flag").ToString(), "1") << "Booleans are stored as 1/0";
    EXPECT_TRUE(back->Field("digest").IsNull()) << "columns not put are left to the table";
  }
  EXPECT_THAT(got, ::testing::UnorderedElementsAre("it's", "a''b", "x\"y;--"));
}

TEST_P(UpdateTest, PutsOnFetchedRowsUpdateByPrimaryKey) {
  Exec("insert into FD_Entities (iID, sName, iWidth) values (1, 'one', 1.5)");
  Exec("insert into FD_Entities (iID, sName, iWidth) values (2, 'two', 2.5)");
  auto rs = OpenRs("select * from FD_Entities where iID > 0 order by iID", kAdLockOptimistic);
  Put(*rs, "sName", Variant("O'ne"));
  rs->MoveNext();  // moving off an edited row sends it
  Put(*rs, "iWidth", Variant::Null());
  Put(*rs, "iID", Variant(int32_t{20}));  // the key itself can change
  rs->Update();
  EXPECT_EQ(Scalar("select sName from FD_Entities where iID = 1").ToString(), "O'ne");
  EXPECT_TRUE(Scalar("select iWidth from FD_Entities where iID = 20").IsNull());
  EXPECT_EQ(Scalar("select count(*) from FD_Entities").ToLong(), 2);
}

TEST_P(UpdateTest, TableWithoutKeyIsUpdatedByItsOriginalValues) {
  Exec("insert into FD_Locks values ('L1', 'u', 'w', 'm', '7', 'd1')");
  Exec("insert into FD_Locks values ('L2', 'u', 'w', 'm', '7', null)");
  auto rs = OpenRs("select * from fd_locks where locks_id = 'L2'", kAdLockOptimistic);
  Put(*rs, "digest", Variant("why"));
  rs->Update();
  EXPECT_EQ(Scalar("select digest from FD_Locks where locks_id = 'L2'").ToString(), "why");
  EXPECT_EQ(Scalar("select digest from FD_Locks where locks_id = 'L1'").ToString(), "d1");
  // Someone else deletes the row: the next update finds nothing.
  Exec("delete from FD_Locks where locks_id = 'L2'");
  Put(*rs, "digest", Variant("again"));
  try {
    rs->Update();
    FAIL() << "updating a vanished row must fail";
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), kAdoRowNotFound);
  }
}

TEST_P(UpdateTest, BatchModeKeepsRowsUntilUpdateBatch) {
  auto rs = OpenRs("select * from FD_Fields where 1>1", kAdLockBatchOptimistic);
  for (int i = 1; i <= 3; ++i) {
    rs->AddNew();
    Put(*rs, "iID", Variant(int32_t{i}));
    Put(*rs, "sName", Variant("f" + std::to_string(i)));
    Put(*rs, "dblleft", Variant(i * 0.5));
    rs->Update();
  }
  auto other = OpenConnection();
  EXPECT_EQ(other->Execute("select count(*) as n from FD_Fields")->Field("n").ToLong(), 0);
  rs->UpdateBatch();
  EXPECT_EQ(other->Execute("select count(*) as n from FD_Fields")->Field("n").ToLong(), 3);
  EXPECT_EQ(Scalar("select dblleft from FD_Fields where iID = 3").ToDouble(), 1.5);
}

TEST_P(UpdateTest, BatchOfFetchedAndNewRowsWithChangingColumnsWritesEachRowItsOwn) {
  Exec("insert into FD_Fields (iID, sName) values (1, 'old')");
  auto rs = OpenRs("select * from FD_Fields order by iID", kAdLockBatchOptimistic);
  Put(*rs, "sName", Variant("fetched"));
  // New rows whose put columns change from one row to the next and back.
  const std::vector<std::pair<int32_t, const char*>> rows = {
      {2, "two"}, {3, nullptr}, {4, "four"}, {5, "five"}, {6, nullptr}};
  for (const auto& [id, name] : rows) {
    rs->AddNew();
    Put(*rs, "iID", Variant(id));
    if (name) Put(*rs, "sName", Variant(name));
  }
  rs->MoveFirst();
  EXPECT_EQ(rs->Field("sName").ToString(), "fetched");
  rs->MoveLast();
  EXPECT_EQ(rs->Field("iID").ToLong(), 6) << "the added rows read back from the recordset";
  rs->UpdateBatch();
  auto back = con_->Execute("select iID, sName from FD_Fields order by iID");
  std::vector<std::string> got;
  for (; !back->EOF(); back->MoveNext())
    got.push_back(back->Field("iID").ToString() + "=" +
                  (back->Field("sName").IsNull() ? "NULL" : back->Field("sName").ToString()));
  EXPECT_THAT(got,
              ::testing::ElementsAre("1=fetched", "2=two", "3=NULL", "4=four", "5=five", "6=NULL"));
}

TEST_P(UpdateTest, FailedBatchWritesNothingAndKeepsTheEdits) {
  Exec("insert into FD_Fields (iID, sName) values (2, 'taken')");
  auto rs = OpenRs("select * from FD_Fields where 1>1", kAdLockBatchOptimistic);
  for (int id : {1, 2}) {  // the second insert violates the primary key
    rs->AddNew();
    Put(*rs, "iID", Variant(int32_t{id}));
  }
  EXPECT_THROW(rs->UpdateBatch(), ComError);
  EXPECT_EQ(Scalar("select count(*) from FD_Fields").ToLong(), 1);
  EXPECT_FALSE(con_->InTransaction());
  Put(*rs, "iID", Variant(int32_t{3}));  // fix the second row, send again
  rs->UpdateBatch();
  EXPECT_EQ(Scalar("select count(*) from FD_Fields").ToLong(), 3);
}

// More rows than go in one exchange: a failure in a later exchange takes
// back the earlier ones, and every row is written with its own values.
TEST_P(UpdateTest, LongBatchIsAllOrNothingAndEachRowKeepsItsValues) {
  constexpr int32_t kRows = 600;
  auto rs = OpenRs("select * from FD_Fields where 1>1", kAdLockBatchOptimistic);
  for (int32_t id = 1; id <= kRows; ++id) {
    rs->AddNew();
    Put(*rs, "iID", Variant(id == 450 ? int32_t{7} : id));  // 450 repeats the key of row 7
    Put(*rs, "sName", Variant("n" + std::to_string(id)));
    Put(*rs, "dblleft", id % 3 ? Variant(id * 0.5) : Variant::Null());
  }
  EXPECT_THROW(rs->UpdateBatch(), ComError);
  EXPECT_EQ(Scalar("select count(*) from FD_Fields").ToLong(), 0);
  rs->PutFilter(Variant("sName = 'n450'"));
  Put(*rs, "iID", Variant(int32_t{450}));
  rs->PutFilter(Variant(int32_t{0}));
  rs->UpdateBatch();
  EXPECT_EQ(Scalar("select count(*) from FD_Fields").ToLong(), kRows);
  EXPECT_EQ(Scalar("select count(*) from FD_Fields where sName = 'n' + cast(iID as varchar(10)) "
                   "and (dblleft = iID * 0.5 or (dblleft is null and iID % 3 = 0))")
                .ToLong(),
            kRows);
}

// The same batch shape on two tables, one after the other: each row lands in
// its own table, and the trace accounts for every row.
TEST_P(UpdateTest, BatchesOfTheSameShapeOnTwoTablesEachWriteTheirOwnRows) {
  constexpr int32_t kRows = 70;
  for (const char* table : {"FD_Locks", "FD_LockHolders"}) {
    auto rs = OpenRs(std::string("select * from ") + table + " where 1>1", kAdLockBatchOptimistic);
    for (int32_t i = 1; i <= kRows; ++i) {
      rs->AddNew();
      Put(*rs, "locks_id", Variant(std::string(table) + std::to_string(i)));
      Put(*rs, "user_name", Variant("u"));
    }
    test::StatementCapture capture;
    rs->UpdateBatch();
    size_t inserts = 0, rows = 0;
    for (const std::string& sql : capture.Sql()) {
      if (sql.rfind("INSERT INTO ", 0) != 0) continue;
      ++inserts;
      ++rows;  // one group of values, and one more after each "), ("
      for (size_t at = sql.find("), ("); at != std::string::npos; at = sql.find("), (", at + 1))
        ++rows;
    }
    EXPECT_EQ(rows, kRows) << "every row is in one statement's VALUES";
    if (quirks().batch_inserts_many_rows_a_statement)
      EXPECT_LT(inserts, static_cast<size_t>(kRows));
    else
      EXPECT_EQ(inserts, static_cast<size_t>(kRows));
    EXPECT_EQ(Scalar(std::string("select count(*) from ") + table + " where locks_id like '" +
                     table + "%'")
                  .ToLong(),
              kRows);
  }
}

// A row whose values cannot all be made is not added: the recordset and a
// later batch hold only the rows around it, each with its own values.
TEST_P(UpdateTest, AddNewWhoseValueRaisesAddsNoRow) {
  auto rs = OpenRs("select * from FD_Locks where 1>1", kAdLockBatchOptimistic);
  const std::vector<size_t> columns = {rs->Fields()->ColumnOf(Variant("locks_id")),
                                       rs->Fields()->ColumnOf(Variant("user_name"))};
  rs->AddNew(columns, [](size_t i) { return Variant(i == 0 ? "kept" : "u"); });
  EXPECT_THROW(rs->AddNew(columns,
                          [](size_t i) -> Variant {
                            if (i == 1) throw ComError(E_FAIL, "no value");
                            return Variant("dropped");
                          }),
               ComError);
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Field("locks_id").ToString(), "kept");
  rs->AddNew(columns, [](size_t i) { return Variant(i == 0 ? "next" : "v"); });
  rs->UpdateBatch();
  EXPECT_EQ(Scalar("select count(*) from FD_Locks").ToLong(), 2);
  EXPECT_EQ(Scalar("select user_name from FD_Locks where locks_id = 'next'").ToString(), "v");
}

TEST_P(UpdateTest, BatchInsideTheCallersTransactionIsRolledBackWithIt) {
  auto rs = OpenRs("select * from FD_Fields where 1>1", kAdLockBatchOptimistic);
  rs->AddNew();
  Put(*rs, "iID", Variant(int32_t{7}));
  con_->BeginTrans();
  rs->UpdateBatch();
  EXPECT_TRUE(con_->InTransaction());
  con_->RollbackTrans();
  EXPECT_EQ(Scalar("select count(*) from FD_Fields").ToLong(), 0);
}

// AddNew with a field list: one name, or arrays of names and ordinals with as
// many values. Without a batch the row is in the table at once; with one it
// waits for UpdateBatch like any other new row.
TEST_P(UpdateTest, AddNewWithFieldListSendsAtOnceUnlessBatched) {
  auto names = [](std::vector<Variant> v) { return Variant(VariantArray::Of(std::move(v))); };
  auto count = [&] {
    return con_->Execute("select count(*) from FD_Locks")
        ->Fields()
        ->Item(Variant(int32_t{0}))
        ->Value()
        .ToLong();
  };
  auto rs = OpenRs("select * from FD_Locks where 1>1", kAdLockOptimistic);
  rs->Invoke("AddNew", MemberKind::Method, {Variant("locks_id"), Variant("a")});
  EXPECT_EQ(count(), 1);
  rs->Invoke(
      "AddNew", MemberKind::Method,
      {names({Variant("LOCKS_ID"), Variant("user_name")}), names({Variant("b"), Variant("u")})});
  EXPECT_EQ(count(), 2);
  EXPECT_EQ(rs->Field("user_name").ToString(), "u") << "the new row is current";

  auto batch = OpenRs("select * from FD_Locks where 1>1", kAdLockBatchOptimistic);
  auto id_column = static_cast<int32_t>(batch->Fields()->ColumnOf(Variant("locks_id")));
  batch->Invoke("AddNew", MemberKind::Method, {names({Variant(id_column)}), names({Variant("c")})});
  EXPECT_EQ(count(), 2);
  batch->UpdateBatch();
  EXPECT_EQ(count(), 3);

  const std::vector<std::vector<Variant>> refused = {
      {names({Variant("locks_id"), Variant("user_name")}), names({Variant("d")})},
      {names({Variant("locks_id")}), Variant("d")},
  };
  for (const auto& args : refused) {
    try {
      rs->Invoke("AddNew", MemberKind::Method, args);
      ADD_FAILURE() << "counts that differ are refused";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), VbHr(kAdoInvalidArgument));
    }
  }
  EXPECT_THROW(rs->Invoke("AddNew", MemberKind::Method, {Variant("nope"), Variant(1)}), ComError);
  EXPECT_EQ(count(), 3);
}

TEST_P(UpdateTest, ReadOnlyAndJoinedRecordsetsRefuseWrites) {
  Exec("insert into FD_Fields (iID, sName) values (1, 'a')");
  const HRESULT k3251 = VbHr(kAdoNotUpdatable);
  auto ro = con_->Execute("select * from FD_Fields");
  EXPECT_THROW(ro->AddNew(), ComError);
  try {
    ro->Fields()->Item(Variant("sName"))->PutValue(Variant("x"));
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), k3251);
  }
  auto joined = OpenRs("select f.iID from FD_Fields f, FD_Entities e", kAdLockOptimistic);
  EXPECT_THROW(joined->AddNew(), ComError);
}

Q6_INSTANTIATE_ENGINE_TEST(UpdateTest);

}  // namespace
}  // namespace q6
