// What the metadata save tests share: entity objects with every member set,
// typed calls of SaveEOMetaData, reading rows back with plain SQL, and a
// message box that records instead of showing.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "component/frame/data_manager.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/msgbox/message_box.h"
#include "support/test_db.h"

namespace q6::test {

// An entity with a distinct, non-empty value in every member, marked new
// (EditState 2).
inline std::shared_ptr<EntityObject> FullEntity(int32_t id, const std::string& caption) {
  auto eo = NewEntityObject();
  eo->SetID(Variant(id));
  eo->SetName(Variant("ent" + std::to_string(id)));
  eo->SetCaption(Variant(caption));
  eo->SetBIType(Variant(id));
  eo->SetOIDSourceField(Variant("oid"));
  eo->SetSourceTable(Variant("fd_t" + std::to_string(id)));
  eo->SetParentField(Variant("parent_oid"));
  eo->SetTaskID(Variant("T1"));
  eo->SetHelpContextID(Variant("H1"));
  eo->SetDescription(Variant("描述"));
  eo->SetSheet(Variant(int32_t{2}));
  eo->SetRows(Variant(int32_t{10}));
  eo->SetCols(Variant(int32_t{6}));
  eo->SetIsUsed(Variant(true));
  eo->SetPzSign(Variant("记"));
  eo->SetVchType(Variant(int32_t{3}));
  eo->SetDeriveBIType(Variant(int32_t{7}));
  eo->SetWidth(Variant(800.5));
  eo->SetHeight(Variant(600.25));
  eo->SetIsAutoAlarm(Variant(true));
  eo->SetAlarmDays(Variant(int32_t{5}));
  eo->SetUseExpr(Variant(true));
  eo->SetQryJoin(Variant("left join x on x.a=a.b"));
  eo->SetSubjectCode(Variant("1001"));
  eo->SetCheckOver(Variant(true));
  eo->SetEditState(Variant(int32_t{2}));
  return eo;
}

// A used field with a distinct, non-empty value in every member.
inline std::shared_ptr<EntityField> FullField(int32_t id, int32_t entity_id,
                                              const std::string& name) {
  auto f = NewEntityField();
  f->SetID(Variant(id));
  f->SetName(Variant(name));
  f->SetCaption(Variant("字段" + name));
  f->SetEntityID(Variant(entity_id));
  f->SetFieldOption(Variant(int32_t{3}));
  f->SetHelpContextID(Variant("FH"));
  f->SetPersistent(Variant(true));
  f->SetReferenceType(Variant(int32_t{2}));
  f->SetRefFldSqc(Variant(int32_t{4}));
  f->SetQryFldSqc(Variant(int32_t{5}));
  f->SetIsUsed(Variant(true));
  f->SetTaskID(Variant("FT"));
  f->SetEditProp(Variant(int32_t{1}));
  f->SetDataType(Variant(int32_t{6}));
  f->SetLength(Variant(int32_t{20}));
  f->SetDecimals(Variant(int32_t{2}));
  f->SetAllowNull(Variant(true));
  f->SetDefaultValue(Variant("dv"));
  f->SetSourceField(Variant("a." + name));
  f->SetRow(Variant(int32_t{3}));
  f->SetStartCol(Variant(int32_t{1}));
  f->SetEndCol(Variant(int32_t{4}));
  f->SetInputCol(Variant(int32_t{2}));
  f->SetLeft(Variant(10.5));
  f->SetWidth(Variant(80.0));
  f->SetInputLeft(Variant(95.0));
  f->SetInputWidth(Variant(120.0));
  f->SetTop(Variant(240.5));
  f->SetHeight(Variant(18.0));
  f->SetMin(Variant(1.5));
  f->SetMax(Variant(int32_t{99}));
  f->SetExpr(Variant("isnull(@,0)"));
  f->SetJoinField(Variant("b." + name));
  f->SetNeedCheck(Variant(true));
  return f;
}

// Records every message box instead of showing it, for one scope.
class MessageBoxRecorder {
 public:
  struct Shown {
    std::string text, title;
    int style;
  };
  MessageBoxRecorder() {
    SetMessageBoxHandler([this](const std::string& text, const std::string& title, int style) {
      shown_.push_back({text, title, style});
      return kMbAnswerOk;
    });
  }
  ~MessageBoxRecorder() { SetMessageBoxHandler(nullptr); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  const std::vector<Shown>& shown() const { return shown_; }

 private:
  std::vector<Shown> shown_;
};

// Expects a value read back from a column: Null, a text, or a number
// (compared as Double, whatever type the engine returns it in).
inline void ExpectCell(const Variant& actual, const Variant& expected, const std::string& what) {
  if (expected.IsNull()) {
    EXPECT_TRUE(actual.IsNull()) << what << " is " << actual.Describe();
    return;
  }
  ASSERT_FALSE(actual.IsNull()) << what << " is Null";
  if (expected.type() == VarType::String)
    EXPECT_EQ(actual.ToString(), expected.string()) << what;
  else
    EXPECT_DOUBLE_EQ(actual.ToDouble(), expected.ToDouble()) << what;
}

class SaveTest : public EngineTest {
 protected:
  bool Save(const std::shared_ptr<EntityObject>& eo, bool only_eo = false, bool set_child = true) {
    return SaveTo(dsn(), eo, only_eo, set_child);
  }
  bool SaveTo(const std::string& data_source, const std::shared_ptr<EntityObject>& eo,
              bool only_eo = false, bool set_child = true) {
    Variant d(data_source);
    ObjectRef ref = eo;
    return dm_->SaveEOMetaData(d, ref, only_eo, set_child);
  }

  // The row `sql` selects, read on a connection of the test's own.
  std::shared_ptr<Recordset> Row(const std::string& sql) {
    if (!reader_) reader_ = OpenConnection();
    return reader_->Execute(sql);
  }
  std::shared_ptr<Recordset> EntityRow(int32_t id) {
    return Row("select * from FD_Entities where iID = " + std::to_string(id));
  }
  std::shared_ptr<Recordset> FieldRow(int32_t id) {
    return Row("select * from FD_Fields where iID = " + std::to_string(id));
  }
  int32_t Count(const std::string& sql) { return Scalar(sql).ToLong(); }

  // Every row of both tables as text, in key order: "nothing changed" is
  // this text staying the same.
  std::string Snapshot() {
    std::string out;
    for (const char* sql :
         {"select * from FD_Entities order by iID", "select * from FD_Fields order by iID"}) {
      auto rs = Row(sql);
      for (; !rs->EOF(); rs->MoveNext()) {
        for (const Variant& f : rs->Fields()->Enumerate())
          out += As<Field>(ObjectOf(f))->Value().Describe() + "|";
        out += "\n";
      }
      out += "--\n";
    }
    return out;
  }

  void TearDown() override {
    reader_.reset();
    EngineTest::TearDown();
  }

  std::shared_ptr<DataManager> dm_ = std::make_shared<DataManager>();
  std::shared_ptr<Connection> reader_;
};

}  // namespace q6::test
