// strBiToSqlByEO: the select list over lFlag values and field shapes. No
// database: the entity is built in memory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "component/frame/data_manager.h"
#include "outside/eso/entity_object.h"
#include "platform/trace/trace.h"

namespace q6 {
namespace {

struct FieldShape {
  const char* name;
  const char* caption;
  const char* source;
  const char* join;
  const char* expr;
  int32_t edit_prop;
};

std::shared_ptr<EntityObject> Entity(std::initializer_list<FieldShape> shapes,
                                     const char* key = "oid") {
  auto eo = NewEntityObject();
  eo->SetOIDSourceField(key);
  for (const FieldShape& s : shapes) {
    auto f = NewEntityField();
    f->SetName(s.name);
    f->SetCaption(s.caption);
    f->SetSourceField(s.source);
    f->SetJoinField(s.join);
    f->SetExpr(s.expr);
    f->SetEditProp(s.edit_prop);
    eo->Fields()->Add(f);
  }
  return eo;
}

// The key with EditProp 2, a plain column, an expression over the source, a
// join column with EditProp 2, a field with no column at all, and an
// expression with a quote in the caption.
std::shared_ptr<EntityObject> Receipt() {
  return Entity({
      {"oid", "编号", "a.oid", "", "", 2},
      {"code", "Code", "a.code", "", "", 0},
      {"qty", "Qty", "a.qty", "", "isnull(@,0)", 0},
      {"cust", "Customer", "a.cust", "b.name", "", 2},
      {"memo", "Memo", "", "", "'x'", 0},
      {"price", "It's", "a.price", "", "@*2", 1},
  });
}

std::string List(ObjectRef eo, int32_t flag) {
  auto dm = std::make_shared<DataManager>();
  int32_t before = flag;
  std::string out = dm->strBiToSqlByEO(eo, flag);
  EXPECT_EQ(flag, before) << "lFlag must come back unchanged";
  return out;
}

struct FlagCase {
  int32_t flag;
  std::string expected;
};

class BiToSqlFlags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(BiToSqlFlags, ReceiptList) {
  EXPECT_EQ(List(Receipt(), GetParam().flag), GetParam().expected);
}

const char kByName[] =
    "a.oid as 'oid',a.code as 'code',a.qty as 'qty',b.name as 'cust',a.price as 'price'";
const char kByCaption[] =
    "a.oid as '编号',a.code as 'Code',a.qty as 'Qty',b.name as 'Customer',a.price as 'It''s'";
const char kExprByName[] =
    "a.oid as 'oid',a.code as 'code',isnull(a.qty,0) as 'qty',a.cust as 'cust',a.price*2 as "
    "'price'";
const char kExprByCaption[] =
    "a.oid as '编号',a.code as 'Code',isnull(a.qty,0) as 'Qty',a.cust as 'Customer',a.price*2 "
    "as 'It''s'";
// Without the EditProp 2 field that is not the key (cust).
const char kUsedByName[] = "a.oid as 'oid',a.code as 'code',a.qty as 'qty',a.price as 'price'";
const char kUsedByCaption[] = "a.oid as '编号',a.code as 'Code',a.qty as 'Qty',a.price as 'It''s'";
const char kUsedExprByName[] =
    "a.oid as 'oid',a.code as 'code',isnull(a.qty,0) as 'qty',a.price*2 as 'price'";
const char kUsedExprByCaption[] =
    "a.oid as '编号',a.code as 'Code',isnull(a.qty,0) as 'Qty',a.price*2 as 'It''s'";

INSTANTIATE_TEST_SUITE_P(
    Flags, BiToSqlFlags,
    ::testing::Values(FlagCase{0, kByName}, FlagCase{1, kByCaption}, FlagCase{10, kExprByName},
                      FlagCase{11, kExprByCaption}, FlagCase{100, kUsedByName},
                      FlagCase{101, kUsedByCaption}, FlagCase{110, kUsedExprByName},
                      FlagCase{111, kUsedExprByCaption},
                      // Halves of lFlag / 100 round to even: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2.
                      FlagCase{50, kExprByName}, FlagCase{51, kUsedExprByCaption},
                      FlagCase{150, kUsedExprByName}, FlagCase{250, kUsedExprByName},
                      FlagCase{1050, kExprByName}, FlagCase{49, kExprByCaption},
                      FlagCase{200, kUsedByName}, FlagCase{1000, kByName},
                      // The derived number at the edge of the 16-bit range, and past it.
                      FlagCase{32749, kUsedExprByCaption}, FlagCase{32750, "*"},
                      FlagCase{40000, "*"}, FlagCase{3276750, "*"}, FlagCase{-32749, kByName},
                      FlagCase{-32750, "*"}, FlagCase{-100, kByName}),
    [](const ::testing::TestParamInfo<FlagCase>& info) {
      int32_t f = info.param.flag;
      return (f < 0 ? "minus" : "") + std::to_string(f < 0 ? -static_cast<int64_t>(f) : f);
    });

TEST(BiToSql, FieldShapes) {
  struct Row {
    const char* what;
    std::shared_ptr<EntityObject> eo;
    int32_t flag;
    std::string expected;
  } rows[] = {
      {"no fields", Entity({}), 0, "*"},
      {"no field has a column", Entity({{"a", "A", "", "", "x+1", 0}, {"b", "B", "", "", "", 0}}),
       10, "*"},
      {"every field left out", Entity({{"a", "A", "t.a", "", "", 2}}), 100, "*"},
      {"join wins over source", Entity({{"a", "A", "t.a", "j.a", "", 0}}), 0, "j.a as 'a'"},
      {"join only", Entity({{"a", "A", "", "j.a", "", 0}}), 0, "j.a as 'a'"},
      {"expr uses the join", Entity({{"a", "A", "t.a", "j.a", "max(@)", 0}}), 10,
       "max(j.a) as 'a'"},
      {"expr without @", Entity({{"a", "A", "t.a", "", "getdate()", 0}}), 10, "getdate() as 'a'"},
      {"expr ignored without the tens digit", Entity({{"a", "A", "t.a", "", "max(@)", 0}}), 1,
       "t.a as 'A'"},
      {"key named in another case is no key", Entity({{"OID", "K", "t.oid", "", "", 2}}), 100, "*"},
      {"key field stays", Entity({{"oid", "K", "t.oid", "", "", 2}}), 100, "t.oid as 'oid'"},
      {"quotes doubled in a name",
       Entity({{"o'k", "A", "t.a", "", "", 0}, {"b", "B", "t.b", "", "", 0}}), 0,
       "t.a as 'o''k',t.b as 'b'"},
      {"empty alias", Entity({{"a", "", "t.a", "", "", 0}}), 1, "t.a as ''"},
  };
  for (Row& r : rows) EXPECT_EQ(List(r.eo, r.flag), r.expected) << r.what;
}

TEST(BiToSql, LateBoundDefaultsToFlagZero) {
  auto dm = std::make_shared<DataManager>();
  Variant eo{ObjectRef(Receipt())};
  EXPECT_EQ(dm->Call("strBiToSqlByEO", {eo}).ToString(), kByName);
  EXPECT_EQ(dm->Call("strBiToSqlByEO", {eo, Variant(int32_t{101})}).ToString(), kUsedByCaption);
}

// The fallback is silent for the caller but leaves the reason in the trace.
class BiToSqlFallback : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             ("q6bitosql-" + std::to_string(::getpid()) + ".jsonl"))
                .string();
    std::filesystem::remove(path_);
    SetTraceFile(path_);
  }
  void TearDown() override {
    SetTraceFile("");
    std::filesystem::remove(path_);
  }
  std::string Trace() const {
    std::ifstream in(path_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string path_;
};

TEST_F(BiToSqlFallback, ErrorsGiveStarAndANote) {
  struct Row {
    const char* what;
    ObjectRef eo;
    int32_t flag;
    const char* note;
  } rows[] = {
      {"overflow", Receipt(), 32750, "Overflow"},
      {"Nothing", ObjectRef(), 0, "0x800A005B"},
      {"not an entity", NewEntityField(), 0, "Type mismatch"},
  };
  for (Row& r : rows) {
    SetTraceFile("");
    std::filesystem::remove(path_);
    SetTraceFile(path_);
    EXPECT_EQ(List(r.eo, r.flag), "*") << r.what;
    std::string trace = Trace();
    EXPECT_NE(trace.find("strBiToSqlByEO"), std::string::npos) << r.what << ": " << trace;
    EXPECT_NE(trace.find(r.note), std::string::npos) << r.what << ": " << trace;
  }
}

TEST_F(BiToSqlFallback, NoNoteForAnEmptyList) {
  EXPECT_EQ(List(Entity({}), 0), "*");
  EXPECT_EQ(Trace(), "");
}

}  // namespace
}  // namespace q6
