// Shared pieces of the record-reading tests: entity definitions built in
// memory, the business tables they read, and an engine fixture that fills
// them.
//
// The receipt entity reads fd_receipt (key oid); its child, the receipt line,
// reads fd_receipt_line (key line_oid, parent column parent_oid); the line's
// child, the line detail, reads fd_line_detail (key detail_oid, parent column
// line_oid). Every field's Name equals its SourceField, so the recordsets'
// columns (aliased by Name) carry the key column's name, as the recordset
// filters of MoveToByRS need.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "component/frame/data_manager.h"
#include "outside/eso/entity_object.h"
#include "platform/trace/trace.h"
#include "support/statement_capture.h"
#include "support/test_db.h"

namespace q6::records_test {

inline std::shared_ptr<EntityField> MakeField(const std::string& name, const std::string& source,
                                              const std::string& join = "",
                                              const std::string& expr = "") {
  auto f = NewEntityField();
  f->SetName(Variant(name));
  f->SetCaption(Variant("C_" + name));
  f->SetSourceField(Variant(source));
  f->SetJoinField(Variant(join));
  f->SetExpr(Variant(expr));
  return f;
}

inline std::shared_ptr<EntityObject> MakeEntity(int32_t bi_type, const std::string& table,
                                                const std::string& key,
                                                const std::string& parent_field = "") {
  auto eo = NewEntityObject();
  eo->SetID(Variant(bi_type));
  eo->SetBIType(Variant(bi_type));
  eo->SetName(Variant(table));
  eo->SetSourceTable(Variant(table));
  eo->SetOIDSourceField(Variant(key));
  eo->SetParentField(Variant(parent_field));
  return eo;
}

// The select list strBiToSqlByEO gives for the receipt with lFlag 0, and with
// lFlag 10 (code's Expr applied).
inline const char* kReceiptList =
    "oid as 'oid',code as 'code',book_name as 'book_name',amount as 'amount'";
inline const char* kReceiptList10 =
    "oid as 'oid',upper(code) as 'code',book_name as 'book_name',amount as 'amount'";
inline const char* kLineList = "line_oid as 'line_oid',parent_oid as 'parent_oid',qty as 'qty'";
inline const char* kDetailList = "detail_oid as 'detail_oid',line_oid as 'line_oid',note as 'note'";

// Receipt of `bi_type` (DeriveBIType `derive`): oid, code (Expr upper(@)),
// book_name, amount, and memo with no column (never filled).
inline std::shared_ptr<EntityObject> Receipt(int32_t bi_type, int16_t derive = 0) {
  auto eo = MakeEntity(bi_type, "fd_receipt", "oid");
  eo->SetDeriveBIType(Variant(derive));
  eo->Fields()->Add(MakeField("oid", "oid"));
  eo->Fields()->Add(MakeField("code", "code", "", "upper(@)"));
  eo->Fields()->Add(MakeField("book_name", "book_name"));
  eo->Fields()->Add(MakeField("amount", "amount"));
  eo->Fields()->Add(MakeField("memo", ""));
  return eo;
}

inline std::shared_ptr<EntityObject> Line() {
  auto eo = MakeEntity(52, "fd_receipt_line", "line_oid", "parent_oid");
  eo->Fields()->Add(MakeField("line_oid", "line_oid"));
  eo->Fields()->Add(MakeField("parent_oid", "parent_oid"));
  eo->Fields()->Add(MakeField("qty", "qty"));
  return eo;
}

inline std::shared_ptr<EntityObject> Detail() {
  auto eo = MakeEntity(53, "fd_line_detail", "detail_oid", "line_oid");
  eo->Fields()->Add(MakeField("detail_oid", "detail_oid"));
  eo->Fields()->Add(MakeField("line_oid", "line_oid"));
  eo->Fields()->Add(MakeField("note", "note"));
  return eo;
}

// Receipt 51 with lines, and with details below the lines when `grandchildren`.
inline std::shared_ptr<EntityObject> ReceiptWithLines(bool grandchildren = false) {
  auto eo = Receipt(51);
  auto line = Line();
  if (grandchildren) line->ChildEOs()->SetChildEO(Detail());
  eo->ChildEOs()->SetChildEO(line);
  return eo;
}

// The OIDs of the rows of `rs` in its current view, from the first.
inline std::vector<std::string> Keys(Recordset& rs, const std::string& column) {
  std::vector<std::string> out;
  if (rs.RecordCount() == 0) return out;
  for (rs.MoveFirst(); !rs.EOF(); rs.MoveNext()) out.push_back(rs.Field(column).ToString());
  return out;
}

// The keys of an entity's child records, in order.
inline std::vector<std::string> ChildKeys(const EntityObject& eo) {
  std::vector<std::string> out;
  for (const auto& c : *eo.ChildEOs()) out.push_back(c->OID()->Value());
  return out;
}

// Engine fixture with the business tables and a DataManager.
class RecordsTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    Exec(
        "create table fd_receipt (oid varchar(20) primary key, code varchar(20), "
        "book_name varchar(40), amount integer)");
    Exec(
        "create table fd_receipt_line (line_oid varchar(20) primary key, "
        "parent_oid varchar(20), qty integer)");
    Exec(
        "create table fd_line_detail (detail_oid varchar(20) primary key, "
        "line_oid varchar(20), note varchar(40))");
    con_ = OpenConnection();
    con = con_;
  }

  void AddReceipt(const std::string& oid, const std::string& code, int amount,
                  const std::string& book_name = "") {
    Exec("insert into fd_receipt values ('" + oid + "', '" + code + "', " +
         (book_name.empty() ? "NULL" : "'" + book_name + "'") + ", " + std::to_string(amount) +
         ")");
  }
  void AddLine(const std::string& oid, const std::string& parent, int qty) {
    Exec("insert into fd_receipt_line values ('" + oid + "', '" + parent + "', " +
         std::to_string(qty) + ")");
  }
  void AddDetail(const std::string& oid, const std::string& line, const std::string& note) {
    Exec("insert into fd_line_detail values ('" + oid + "', '" + line + "', '" + note + "')");
  }

  // Three receipts of type 51 (keys ...1, ...2, ...3, codes r1..r3, amounts
  // 10, 20, 30), with records of types 05 and 52 around them in the table.
  void AddThreeReceipts() {
    AddReceipt("050000000000001", "x5", 5);
    AddReceipt("510000000000001", "r1", 10);
    AddReceipt("510000000000002", "r2", 20);
    AddReceipt("510000000000003", "r3", 30);
    AddReceipt("520000000000001", "x52", 52);
  }

  // Writes the notes of swallowed errors to a file of this test while alive.
  std::string NotesFile() {
    notes_ = folder() + "/notes.jsonl";
    SetTraceFile(notes_);
    return notes_;
  }
  std::string Notes() {
    SetTraceFile("");
    std::ifstream in(notes_);
    std::string all, line;
    while (std::getline(in, line))
      if (line.find("\"note\"") != std::string::npos) all += line + "\n";
    return all;
  }

  std::shared_ptr<DataManager> dm = std::make_shared<DataManager>();
  ObjectRef con;

 private:
  std::shared_ptr<Connection> con_;
  std::string notes_;
};

}  // namespace q6::records_test
