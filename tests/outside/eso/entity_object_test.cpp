// EntityObject beyond its definition members: edit state and Changed flags,
// OID, Clone, cycles and ownership, creation by ProgID.
#include "outside/eso/entity_object.h"

#include <gtest/gtest.h>

#include <functional>
#include <string_view>

#include "eso_test_util.h"
#include "runtime/class_table.h"

namespace q6 {
namespace {

using eso_test::Column;
using eso_test::HrOf;

std::shared_ptr<EntityField> FieldNamed(const char* name, const char* source) {
  auto f = NewEntityField();
  f->SetName(name);
  f->SetSourceField(source);
  return f;
}

// A two-level definition with a record loaded: fields with values, a child
// definition with one field, one child record, an OID.
std::shared_ptr<EntityObject> LoadedEntity() {
  auto eo = NewEntityObject();
  eo->SetID(51);
  eo->SetSourceTable("T_Voucher");
  eo->Fields()->Add(FieldNamed("oid", "sOID"))->SetValue("510000000000001");
  eo->Fields()->Add(FieldNamed("code", "sCode"))->SetValue("V-1");
  auto child = NewEntityObject();
  child->SetID(52);
  child->Fields()->Add(FieldNamed("line", "iLine"));
  eo->ChildEOs()->SetChildEO(child);
  auto record = child->Clone();
  record->Fields()->Item("line")->SetValue(1);
  eo->ChildEOs()->Add(record, "K520000000000001");
  eo->SetOIDValue("510000000000001");
  eo->ParentOID()->SetValue("P");
  eo->SetEditState(1);
  return eo;
}

// Value puts and the Changed flag, step by step on one field.
TEST(EntityField, ChangedFollowsValuePuts) {
  struct Step {
    Variant put;
    bool reset_first;  // put Changed False before the step
    bool changed;
  };
  const Step steps[] = {
      {Variant(), false, false},            // Empty over Empty
      {Variant(int32_t{5}), false, true},   // a new value
      {Variant(int32_t{5}), true, false},   // the same value again
      {Variant("5"), true, true},           // same text, other type
      {Variant("5"), true, false},          //
      {Column(Variant("5")), true, false},  // a column holding the same value
      {Variant::Null(), true, true},        // Null is a value
      {Variant::Null(), true, false},       //
      {Column(Variant(2.5)), true, true},   //
      {Variant(int32_t{6}), false, true},   // stays True without a reset
  };
  auto f = NewEntityField();
  EXPECT_FALSE(f->Changed());
  for (size_t i = 0; i < std::size(steps); ++i) {
    if (steps[i].reset_first) f->Put("Changed", false);
    f->Put("Value", steps[i].put);
    EXPECT_EQ(f->Get("Changed"), Variant(steps[i].changed)) << "step " << i;
  }
  f->Put("Changed", int32_t{-1});
  EXPECT_TRUE(f->Changed());
}

TEST(EntityField, ValueIsTheDefaultMember) {
  auto f = NewEntityField();
  f->InvokeById(DISPID_VALUE, MemberKind::PropertyPut, {Variant(int32_t{42})});
  EXPECT_EQ(f->Value(), Variant(int32_t{42}));
  EXPECT_EQ(Variant(f).ToString(), "42");
  EXPECT_EQ(f->DefaultValue(), Variant(int32_t{42}));
}

TEST(EntityObject, EditStateOneClearsChangedOfEveryField) {
  const struct {
    Variant state;
    bool cleared;
  } rows[] = {{int32_t{1}, true},  {"1", true},         {1.0, true},
              {int32_t{2}, false}, {int32_t{0}, false}, {int32_t{4}, false}};
  for (const auto& row : rows) {
    auto eo = NewEntityObject();
    auto a = eo->Fields()->Add(FieldNamed("a", "sA"));
    auto b = eo->Fields()->Add(FieldNamed("b", "sB"));
    a->SetValue(1);
    b->SetValue(2);
    eo->Put("EditState", row.state);
    EXPECT_EQ(eo->EditState(), row.state.ToLong());
    EXPECT_EQ(a->Changed(), !row.cleared) << row.state.Describe();
    EXPECT_EQ(b->Changed(), !row.cleared) << row.state.Describe();
    EXPECT_EQ(a->Value(), Variant(int32_t{1}));  // values stay
  }
}

// OID and ParentOID both hand out the entity's own OIDObject, whose default
// member gives its text to late-bound callers.
TEST(EntityObject, IdentifiersAreObjectsWithTextDefault) {
  using Held = const std::shared_ptr<OIDObject>& (EntityObject::*)() const;
  const struct {
    const char* member;
    Held held;
  } rows[] = {{"OID", &EntityObject::OID}, {"ParentOID", &EntityObject::ParentOID}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.member);
    auto eo = NewEntityObject();
    EXPECT_EQ(Variant(eo->Get(row.member)).ToString(), "");
    eo->Put(row.member, "510000000000007");  // a plain put sets the text
    EXPECT_EQ(((*eo).*row.held)()->Value(), "510000000000007");
    ObjectRef held = eo->Get(row.member).ToObject();
    EXPECT_EQ(held, ((*eo).*row.held)());
    EXPECT_EQ(held->Get("Value").ToString(), "510000000000007");
    EXPECT_EQ(Variant(held).ToString(), "510000000000007");
    EXPECT_EQ(Variant(held).ChangeType(VarType::String), Variant("510000000000007"));
    held->InvokeById(DISPID_VALUE, MemberKind::PropertyPut, {Variant("x")});
    EXPECT_EQ(eo->Get(row.member).ToObject()->Get("Value"), Variant("x"));  // the same object

    auto other = NewOIDObject();
    other->Put("Value", int32_t{12});
    eo->Invoke(row.member, MemberKind::PropertyPutRef, {Variant(other)});
    EXPECT_EQ(((*eo).*row.held)(), other);
    EXPECT_EQ(((*eo).*row.held)()->Value(), "12");
    eo->Invoke(row.member, MemberKind::PropertyPutRef, {Variant::Nothing()});
    ASSERT_NE(((*eo).*row.held)(), nullptr);
    EXPECT_EQ(((*eo).*row.held)()->Value(), "");
    EXPECT_EQ(HrOf([&] {
                eo->Invoke(row.member, MemberKind::PropertyPutRef, {Variant(NewEntityField())});
              }),
              VbHr(kVbTypeMismatch));
    EXPECT_EQ(HrOf([&] { other->Put("Value", Variant::Null()); }), VbHr(kVbInvalidUseOfNull));
    EXPECT_EQ(other->Value(), "12");
  }
  auto eo = NewEntityObject();
  EXPECT_NE(eo->OID(), eo->ParentOID());
}

TEST(EntityObject, CloneCopiesTheDefinitionWithoutTheRecord) {
  auto eo = LoadedEntity();
  auto copy = As<EntityObject>(eo->Call("Clone", {Variant(int32_t{0})}).ToObject());
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy, eo);
  for (size_t i = 0; i < EntityObject::MemberDefs().size(); ++i) {
    auto m = static_cast<EntityMember>(i);
    EXPECT_EQ(copy->Member(m), eo->Member(m)) << EntityObject::MemberDefs()[i].name;
  }
  // Fields: same definitions, in order, as new objects without values.
  ASSERT_EQ(copy->Fields()->Count(), 2);
  for (int32_t i = 1; i <= 2; ++i) {
    auto src = eo->Fields()->Item(i);
    auto dst = copy->Fields()->Item(i);
    EXPECT_NE(dst, src);
    EXPECT_EQ(dst->Name(), src->Name());
    EXPECT_EQ(dst->SourceField(), src->SourceField());
    EXPECT_TRUE(dst->Value().IsEmpty());
    EXPECT_FALSE(dst->Changed());
  }
  EXPECT_EQ(copy->Fields()->Item("CODE")->SourceField(), "sCode");
  // The child definition is a copy: filling it leaves the original alone.
  auto child = copy->ChildEOs()->ChildEO();
  ASSERT_NE(child, nullptr);
  EXPECT_NE(child, eo->ChildEOs()->ChildEO());
  EXPECT_EQ(child->ID(), 52);
  child->Fields()->Item("line")->SetValue(9);
  EXPECT_TRUE(eo->ChildEOs()->ChildEO()->Fields()->Item("line")->Value().IsEmpty());
  // No record.
  EXPECT_EQ(copy->ChildEOs()->Count(), 0);
  EXPECT_EQ(copy->OID()->Value(), "");
  EXPECT_NE(copy->OID(), eo->OID());
  EXPECT_EQ(copy->ParentOID()->Value(), "");
  EXPECT_NE(copy->ParentOID(), eo->ParentOID());
  EXPECT_EQ(copy->EditState(), 0);
  // The original keeps its record.
  EXPECT_EQ(eo->ChildEOs()->Count(), 1);
  EXPECT_EQ(eo->Fields()->Item("code")->Value(), Variant("V-1"));
}

TEST(EntityObject, CloneWithoutChildDefinitionHasNone) {
  auto eo = NewEntityObject();
  EXPECT_EQ(eo->Clone()->ChildEOs()->ChildEO(), nullptr);
  EXPECT_TRUE(eo->Call("Clone").IsObject());  // the argument is optional
}

// Attaching an entity below itself would make a cycle that is never freed.
TEST(EntityObject, DefinitionStampMovesWithTheDefinitionOnly) {
  struct Row {
    const char* what;
    std::function<void(EntityObject&)> act;
    bool moves;
  } rows[] = {
      {"entity member", [](EntityObject& e) { e.SetSourceTable("T_Other"); }, true},
      {"same value put again", [](EntityObject& e) { e.SetSourceTable("T_Voucher"); }, true},
      {"late-bound member", [](EntityObject& e) { e.Put("QryJoin", Variant("x")); }, true},
      {"field member", [](EntityObject& e) { e.Fields()->Item("code")->SetJoinField("j"); }, true},
      {"field added", [](EntityObject& e) { e.Fields()->Add(FieldNamed("memo", "sMemo")); }, true},
      {"field removed", [](EntityObject& e) { e.Fields()->Remove(std::string_view("code")); },
       true},
      {"fields cleared", [](EntityObject& e) { e.Fields()->Clear(); }, true},
      {"field value", [](EntityObject& e) { e.Fields()->Item("code")->SetValue("V-2"); }, false},
      {"OID", [](EntityObject& e) { e.SetOIDValue(Variant("510000000000002")); }, false},
      {"edit state", [](EntityObject& e) { e.SetEditState(Variant(int32_t{1})); }, false},
  };
  for (const Row& row : rows) {
    auto eo = LoadedEntity();
    const uint64_t before = eo->DefinitionStamp();
    row.act(*eo);
    EXPECT_EQ(eo->DefinitionStamp() != before, row.moves) << row.what;
  }
  // A clone, or any entity made later, never repeats an earlier stamp.
  auto eo = LoadedEntity();
  EXPECT_GT(eo->Clone(0)->DefinitionStamp(), eo->DefinitionStamp());
  EXPECT_GT(LoadedEntity()->DefinitionStamp(), eo->DefinitionStamp());
}

TEST(EntityObject, CyclesAreRefused) {
  auto eo = LoadedEntity();
  auto child = eo->ChildEOs()->ChildEO();
  auto grandchild = NewEntityObject();
  child->ChildEOs()->SetChildEO(grandchild);
  const HRESULT invalid = VbHr(kVbInvalidProcedureCall);
  EXPECT_EQ(HrOf([&] { eo->ChildEOs()->SetChildEO(eo); }), invalid);
  EXPECT_EQ(HrOf([&] { grandchild->ChildEOs()->SetChildEO(eo); }), invalid);
  EXPECT_EQ(HrOf([&] { grandchild->ChildEOs()->Add(child, "K1"); }), invalid);
  EXPECT_EQ(HrOf([&] { eo->ChildEOs()->Item(1)->ChildEOs()->Add(eo, "K"); }), invalid);
  EXPECT_EQ(grandchild->ChildEOs()->ChildEO(), nullptr);
  EXPECT_EQ(grandchild->ChildEOs()->Count(), 0);
  // The same object twice in unrelated places is no cycle.
  auto shared = NewEntityObject();
  eo->ChildEOs()->Add(shared, "KA");
  grandchild->ChildEOs()->SetChildEO(shared);
}

TEST(EntityObject, DroppingTheLastReferenceFreesEverything) {
  const long before = Dispatchable::LiveObjects();
  {
    auto eo = LoadedEntity();
    auto copy = eo->Clone();
    copy->ChildEOs()->Add(copy->ChildEOs()->ChildEO()->Clone(), "K1");
    EXPECT_GT(Dispatchable::LiveObjects(), before);
  }
  EXPECT_EQ(Dispatchable::LiveObjects(), before);
  // A collection may outlive its entity and stay usable.
  std::shared_ptr<EntityChildren> children;
  {
    auto eo = NewEntityObject();
    children = eo->ChildEOs();
  }
  children->SetChildEO(NewEntityObject());
  children->Add(NewEntityObject(), "K");
  EXPECT_EQ(children->Count(), 1);
  children.reset();
  EXPECT_EQ(Dispatchable::LiveObjects(), before);
}

TEST(EntityObject, ClassesAreCreatedByProgID) {
  const struct {
    const char* prog_id;
    bool (*is_class)(const ObjectRef&);
  } rows[] = {
      {"Q6FDEso.EntityObject", [](const ObjectRef& o) { return !!As<EntityObject>(o); }},
      {"q6fdeso.entityfield", [](const ObjectRef& o) { return !!As<EntityField>(o); }},
      {"Q6FDEso.OIDObject", [](const ObjectRef& o) { return !!As<OIDObject>(o); }},
  };
  for (const auto& row : rows) {
    ObjectRef o = CreateObject(row.prog_id);
    ASSERT_NE(o, nullptr) << row.prog_id;
    EXPECT_TRUE(row.is_class(o)) << row.prog_id;
  }
  EXPECT_EQ(HrOf([] { CreateObject("Q6FDEso.EntityFields"); }), REGDB_E_CLASSNOTREG);
  // Late-bound use the way a client script goes.
  ObjectRef eo = CreateObject("Q6FDEso.EntityObject");
  ObjectRef f = CreateObject("Q6FDEso.EntityField");
  f->Put("Name", "code");
  eo->Get("Fields").ToObject()->Call("Add", {Variant(f)});
  ObjectRef item =
      eo->Get("Fields").ToObject()->Get("Item", {Variant("CODE"), Variant(0)}).ToObject();
  EXPECT_EQ(item, f);
}

}  // namespace
}  // namespace q6
