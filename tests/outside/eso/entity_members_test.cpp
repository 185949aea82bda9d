// Definition members of EntityObject and EntityField: every member round
// trips by name and through its typed accessor, with the automation
// conversions and their errors.
#include <gtest/gtest.h>

#include <set>

#include "eso_test_util.h"
#include "outside/eso/entity_object.h"

namespace q6 {
namespace {

using eso_test::Column;
using eso_test::HrOf;

// One member: what is put by name, what comes back (value and type), and the
// same value read through the typed accessor.
template <class C>
struct MemberRow {
  const char* name;
  Variant put;
  Variant expected;
  Variant (*typed)(const C&);
};

#define ROW(C, member, put, expected)                                      \
  MemberRow<C> {                                                           \
#member, put, expected, [](const C& o) { return Variant(o.member()); } \
  }
#define EO_ROW(member, put, expected) ROW(EntityObject, member, put, expected)
#define EF_ROW(member, put, expected) ROW(EntityField, member, put, expected)

const MemberRow<EntityObject> kEntityRows[] = {
    EO_ROW(ID, "51", int32_t{51}),
    EO_ROW(Name, "Voucher", "Voucher"),
    EO_ROW(Caption, "凭证", "凭证"),
    EO_ROW(BIType, 51.0, int32_t{51}),
    EO_ROW(OIDSourceField, "oid", "oid"),
    EO_ROW(SourceTable, "T_Voucher", "T_Voucher"),
    EO_ROW(ParentField, "poid", "poid"),
    EO_ROW(TaskID, int32_t{7}, "7"),
    EO_ROW(HelpContextID, "h1", "h1"),
    EO_ROW(Description, "d", "d"),
    EO_ROW(Sheet, int16_t{2}, int32_t{2}),
    EO_ROW(Rows, 3.5, int32_t{4}),
    EO_ROW(Cols, 2.5, int32_t{2}),
    EO_ROW(IsUsed, int32_t{1}, true),
    EO_ROW(PzSign, "记", "记"),
    EO_ROW(VchType, int32_t{-32768}, int16_t{-32768}),
    EO_ROW(DeriveBIType, "52", int16_t{52}),
    EO_ROW(Width, int32_t{800}, 800.0),
    EO_ROW(Height, "600.5", 600.5),
    EO_ROW(IsAutoAlarm, "True", true),
    EO_ROW(AlarmDays, uint8_t{30}, int16_t{30}),
    EO_ROW(UseExpr, -1.0, true),
    EO_ROW(QryJoin, " left join T_X on 1=1", " left join T_X on 1=1"),
    EO_ROW(SubjectCode, "1001", "1001"),
    EO_ROW(CheckOver, int32_t{0}, false),
};

const MemberRow<EntityField> kFieldRows[] = {
    EF_ROW(ID, int32_t{9}, int32_t{9}),
    EF_ROW(Name, "code", "code"),
    EF_ROW(Caption, "编号", "编号"),
    EF_ROW(EntityID, "51", int32_t{51}),
    EF_ROW(FieldOption, int16_t{3}, int32_t{3}),
    EF_ROW(HelpContextID, int32_t{0}, "0"),
    EF_ROW(Persistent, int32_t{1}, true),
    EF_ROW(ReferenceType, int32_t{255}, uint8_t{255}),
    EF_ROW(RefFldSqc, int32_t{-1}, int32_t{-1}),
    EF_ROW(QryFldSqc, 4.5, int32_t{4}),
    EF_ROW(IsUsed, false, false),
    EF_ROW(TaskID, 12.5, "12.5"),
    EF_ROW(EditProp, int32_t{2}, int32_t{2}),
    EF_ROW(DataType, "8", int32_t{8}),
    EF_ROW(Length, 50.0, uint8_t{50}),
    EF_ROW(Decimals, "2", uint8_t{2}),
    EF_ROW(AllowNull, true, true),
    EF_ROW(DefaultVal, "N/A", "N/A"),
    EF_ROW(SourceField, "sCode", "sCode"),
    EF_ROW(Row, int32_t{1}, int32_t{1}),
    EF_ROW(StartCol, int32_t{2}, int32_t{2}),
    EF_ROW(EndCol, int32_t{3}, int32_t{3}),
    EF_ROW(InputCol, int32_t{4}, int32_t{4}),
    EF_ROW(Left, int32_t{10}, 10.0),
    EF_ROW(Width, 1.25, 1.25),
    EF_ROW(InputLeft, "2.5", 2.5),
    EF_ROW(InputWidth, int16_t{3}, 3.0),
    EF_ROW(Top, 4.0, 4.0),
    EF_ROW(Height, 5.5, 5.5),
    EF_ROW(Min, Variant::Null(), Variant::Null()),
    EF_ROW(Max, int32_t{100}, int32_t{100}),
    EF_ROW(Expr, "isnull(@,0)", "isnull(@,0)"),
    EF_ROW(JoinField, "a.sCode", "a.sCode"),
    EF_ROW(NeedCheck, int32_t{1}, true),
};

// The typed getter of DefaultValue is DefaultVal(); its row goes by the
// automation name.
const char* AutomationName(const char* row_name) {
  return std::string(row_name) == "DefaultVal" ? "DefaultValue" : row_name;
}

template <class C, size_t N>
void CheckRoundTrips(const MemberRow<C> (&rows)[N]) {
  for (const auto& row : rows) {
    auto obj = std::make_shared<C>();
    const char* name = AutomationName(row.name);
    obj->Put(name, row.put);
    Variant by_name = obj->Get(name);
    EXPECT_EQ(by_name.type(), row.expected.type()) << name;
    EXPECT_EQ(by_name, row.expected) << name << ": " << by_name.Describe();
    EXPECT_EQ(row.typed(*obj), row.expected) << name;
    // Member names match without regard to case.
    EXPECT_EQ(obj->Get(ToLower(name)), row.expected) << name;
  }
}

// Every stored put in the member table has a row, and no row is missing one.
template <class C, size_t N>
void CheckRowsCoverMembers(const MemberRow<C> (&rows)[N], std::set<std::string> extra_puts) {
  std::set<std::string> puts, row_names;
  for (const MemberInfo& m : C::Info().members)
    if (m.kind == MemberKind::PropertyPut && !extra_puts.count(m.name)) puts.insert(m.name);
  for (const auto& row : rows) row_names.insert(AutomationName(row.name));
  EXPECT_EQ(puts, row_names);
  EXPECT_EQ(C::MemberDefs().size(), N);
}

TEST(EntityMembers, EveryEntityMemberRoundTrips) {
  CheckRoundTrips(kEntityRows);
  CheckRowsCoverMembers(kEntityRows, {"OID", "ParentOID", "EditState"});
}

TEST(EntityMembers, EveryFieldMemberRoundTrips) {
  CheckRoundTrips(kFieldRows);
  CheckRowsCoverMembers(kFieldRows, {"Value", "Changed"});
}

TEST(EntityMembers, NewObjectsStartWithTypedEmptyValues) {
  auto eo = NewEntityObject();
  auto f = NewEntityField();
  EXPECT_EQ(eo->Get("ID"), Variant(int32_t{0}));
  EXPECT_EQ(eo->Get("Name"), Variant(""));
  EXPECT_EQ(eo->Get("VchType"), Variant(int16_t{0}));
  EXPECT_EQ(eo->Get("UseExpr"), Variant(false));
  EXPECT_EQ(f->Get("Length"), Variant(uint8_t{0}));
  EXPECT_TRUE(f->Get("DefaultValue").IsEmpty());
  EXPECT_TRUE(f->Get("Value").IsEmpty());
}

struct BadPut {
  const char* member;
  Variant value;
  HRESULT hr;
};

template <class C>
void CheckBadPuts(const std::vector<BadPut>& rows) {
  for (const BadPut& row : rows) {
    auto obj = std::make_shared<C>();
    Variant before = obj->Get(row.member);
    EXPECT_EQ(HrOf([&] { obj->Put(row.member, row.value); }), row.hr)
        << row.member << " <- " << row.value.Describe();
    EXPECT_EQ(obj->Get(row.member), before) << row.member << " changed by a failed put";
  }
}

TEST(EntityMembers, ConversionErrorsOfPutsByName) {
  const HRESULT null94 = VbHr(kVbInvalidUseOfNull), overflow = VbHr(kVbOverflow),
                mismatch = VbHr(kVbTypeMismatch);
  CheckBadPuts<EntityObject>({
      {"ID", Variant::Null(), null94},
      {"Name", Variant::Null(), null94},
      {"IsUsed", Variant::Null(), null94},
      {"VchType", int32_t{40000}, overflow},
      {"AlarmDays", -32769.0, overflow},
      {"BIType", "abc", mismatch},
      {"Width", "wide", mismatch},
      {"EditState", Variant::Null(), null94},
      {"ParentOID", Variant::Null(), null94},
      {"ID", Column(Variant::Null()), null94},
      {"ID", Variant::Nothing(), VbHr(91)},
  });
  CheckBadPuts<EntityField>({
      {"Length", int32_t{300}, overflow},
      {"Decimals", int32_t{256}, overflow},
      {"ReferenceType", int32_t{-1}, overflow},
      {"EntityID", Variant::Null(), null94},
      {"Persistent", Variant::Null(), null94},
      {"Length", Column(int32_t{300}), overflow},
      {"Changed", Variant::Null(), null94},
  });
}

TEST(EntityMembers, TypedSettersRaiseTheSameErrors) {
  auto eo = NewEntityObject();
  auto f = NewEntityField();
  EXPECT_EQ(HrOf([&] { eo->SetID(Variant::Null()); }), VbHr(kVbInvalidUseOfNull));
  EXPECT_EQ(HrOf([&] { f->SetLength(300); }), VbHr(kVbOverflow));
  EXPECT_EQ(HrOf([&] { eo->SetMember(EntityMember::DeriveBIType, 70000); }), VbHr(kVbOverflow));
  f->SetLength(255);
  EXPECT_EQ(f->Length(), 255);
  eo->SetSourceTable("T_A");
  EXPECT_EQ(eo->SourceTable(), "T_A");
}

// The "as stored" members and Value take a column's current value, Null
// included; typed members convert it.
TEST(EntityMembers, ObjectsGiveTheirCurrentValue) {
  const char* variant_members[] = {"Value", "DefaultValue", "Min", "Max"};
  const Variant values[] = {Variant(int32_t{5}), Variant::Null(), Variant("x"), Variant(2.5)};
  for (const char* member : variant_members) {
    for (const Variant& v : values) {
      auto f = NewEntityField();
      f->Put(member, Column(v));
      Variant got = f->Get(member);
      EXPECT_FALSE(got.IsObject()) << member;
      EXPECT_EQ(got, v) << member << " <- column " << v.Describe();
    }
  }
  auto f = NewEntityField();
  f->Put("EntityID", Column(int16_t{7}));
  EXPECT_EQ(f->EntityID(), 7);
  f->SetDefaultValue(Column(Variant::Null()));
  EXPECT_TRUE(f->DefaultVal().IsNull());
}

TEST(EntityMembers, PutsShowTheMemberTypeInTheirSignature) {
  const MemberInfo* put = EntityField::Info().Find("Length", MemberKind::PropertyPut);
  ASSERT_NE(put, nullptr);
  std::string sig = put->Signature();
  EXPECT_EQ(sig.substr(0, sig.find("  [")), "Property Let Length(ByVal value As Byte)");
  const MemberInfo* get = EntityObject::Info().Find("VchType", MemberKind::PropertyGet);
  ASSERT_NE(get, nullptr);
  EXPECT_EQ(get->result.vt, VarType::Integer);
}

}  // namespace
}  // namespace q6
