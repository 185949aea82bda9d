// EntityFields and EntityChildren: keys without case, positions, errors,
// replacement, removal, enumeration order.
#include <gtest/gtest.h>

#include "eso_test_util.h"
#include "outside/eso/entity_object.h"

namespace q6 {
namespace {

using eso_test::Column;
using eso_test::HrOf;

std::shared_ptr<EntityField> Named(const std::string& name) {
  auto f = NewEntityField();
  f->SetName(name);
  return f;
}

// Names of the fields an enumeration yields.
std::vector<std::string> EnumeratedNames(Dispatchable& fields) {
  std::vector<std::string> out;
  for (const Variant& v : fields.Enumerate()) out.push_back(v.ToObject()->Get("Name").ToString());
  return out;
}

struct Lookup {
  Variant index;
  const char* name;  // expected field, or nullptr when `hr` is raised
  HRESULT hr;
};

TEST(EntityFields, ItemByNameOrPosition) {
  auto eo = NewEntityObject();
  auto& fields = *eo->Fields();
  for (const char* n : {"Code", "Name", "Amount"}) fields.Add(Named(n));
  const HRESULT invalid = VbHr(kVbInvalidProcedureCall), range = VbHr(kVbSubscriptOutOfRange);
  const Lookup rows[] = {
      {"code", "Code", S_OK},         {"AMOUNT", "Amount", S_OK},
      {"Name", "Name", S_OK},         {int32_t{1}, "Code", S_OK},
      {3.0, "Amount", S_OK},          {int16_t{2}, "Name", S_OK},
      {Column("name"), "Name", S_OK}, {"nosuch", nullptr, invalid},
      {"", nullptr, invalid},         {"1", nullptr, invalid},
      {int32_t{0}, nullptr, range},   {int32_t{4}, nullptr, range},
      {Variant(), nullptr, invalid},  {Variant::Null(), nullptr, invalid},
  };
  for (const Lookup& row : rows) {
    std::string got;
    HRESULT hr = HrOf([&] {
      // Through the default member, with the flag argument the component passes.
      got = fields.InvokeById(DISPID_VALUE, MemberKind::PropertyGet, {row.index, Variant(0)})
                .ToObject()
                ->Get("Name")
                .ToString();
    });
    EXPECT_EQ(hr, row.hr) << row.index.Describe();
    if (row.name) {
      EXPECT_EQ(got, row.name) << row.index.Describe();
    }
  }
  try {
    fields.Item("nosuch");
    ADD_FAILURE();
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(), "Invalid procedure call or argument");
  }
  EXPECT_EQ(fields.Find("NAME"), fields.Item(2));
  EXPECT_EQ(fields.Find("nosuch"), nullptr);
  EXPECT_EQ(fields.Get("Count"), Variant(int32_t{3}));
}

TEST(EntityFields, KeyIsTheNameAtAddTime) {
  EntityFields fields;
  auto f = fields.Add(Named("old"));
  f->SetName("new");
  EXPECT_EQ(fields.Item("OLD"), f);
  EXPECT_EQ(fields.Find("new"), nullptr);
  EXPECT_EQ(HrOf([&] { fields.Add(Named("Old")); }), VbHr(kVbDuplicateKey));
  EXPECT_EQ(fields.Count(), 1);
  // A clone keeps the keys even though two fields now share a Name.
  fields.Add(Named("new"));
  EntityFields copy;
  copy.CopyDefinitionsFrom(fields);
  EXPECT_EQ(copy.Item("old")->Name(), "new");
  EXPECT_EQ(copy.Item("new")->Name(), "new");
  EXPECT_NE(copy.Item("old"), f);
}

TEST(EntityFields, AddRejectsWhatIsNotAField) {
  EntityFields fields;
  EXPECT_EQ(HrOf([&] { fields.Call("Add", {Variant(NewOIDObject())}); }), VbHr(kVbTypeMismatch));
  EXPECT_EQ(HrOf([&] { fields.Call("Add", {Variant::Nothing()}); }), VbHr(91));
  EXPECT_EQ(fields.Count(), 0);
}

TEST(EntityFields, RemoveRenumbersAndKeepsKeys) {
  EntityFields fields;
  const int kCount = 500;
  for (int i = 0; i < kCount; ++i) fields.Add(Named("F" + std::to_string(i)));
  fields.Call("Remove", {Variant("f100")});
  fields.Call("Remove", {Variant(int32_t{1})});  // F0
  fields.Remove("F499");
  ASSERT_EQ(fields.Count(), kCount - 3);
  EXPECT_EQ(HrOf([&] { fields.Item("F100"); }), VbHr(kVbInvalidProcedureCall));
  EXPECT_EQ(HrOf([&] { fields.Remove(int32_t{kCount}); }), VbHr(kVbSubscriptOutOfRange));
  // Every remaining key finds the field at its new position.
  for (int32_t pos = 1; pos <= fields.Count(); ++pos) {
    auto f = fields.Item(pos);
    EXPECT_EQ(fields.Item(f->Name()), f) << f->Name();
  }
  EXPECT_EQ(fields.Item(1)->Name(), "F1");
  EXPECT_EQ(fields.Item(100)->Name(), "F101");
  fields.Call("Clear");
  EXPECT_EQ(fields.Count(), 0);
  EXPECT_EQ(HrOf([&] { fields.Item("F1"); }), VbHr(kVbInvalidProcedureCall));
  fields.Add(Named("F1"));  // the key is free again
}

TEST(EntityFields, EnumerationFollowsInsertionOrder) {
  EntityFields fields;
  for (const char* n : {"z", "a", "M", "b"}) fields.Add(Named(n));
  fields.Remove("a");
  fields.Add(Named("a"));
  EXPECT_EQ(EnumeratedNames(fields), (std::vector<std::string>{"z", "M", "b", "a"}));
  std::vector<std::string> typed;
  for (const auto& f : fields) typed.push_back(f->Name());
  EXPECT_EQ(typed, EnumeratedNames(fields));
}

std::shared_ptr<EntityObject> Record(const char* oid) {
  auto e = NewEntityObject();
  e->SetOIDValue(oid);
  return e;
}

std::vector<std::string> EnumeratedOIDs(EntityChildren& children) {
  std::vector<std::string> out;
  for (const Variant& v : children.Enumerate()) out.push_back(v.ToObject()->Get("OID").ToString());
  return out;
}

TEST(EntityChildren, AddReplacesAnItemWithTheSameKey) {
  auto eo = NewEntityObject();
  auto& children = *eo->ChildEOs();
  children.Call("Add", {Variant(Record("1")), Variant("K1")});
  children.Call("Add", {Variant(Record("2")), Variant("K2")});
  children.Call("Add", {Variant(Record("3"))});  // no key
  children.Call("Add", {Variant(Record("1b")), Variant("k1")});
  EXPECT_EQ(children.Count(), 3);
  EXPECT_EQ(EnumeratedOIDs(children), (std::vector<std::string>{"1b", "2", "3"}));
  EXPECT_EQ(children.Item("K1")->OID()->Value(), "1b");
  EXPECT_EQ(children.Get("Item", {Variant("k2")}).ToObject()->Get("OID").ToString(), "2");
  EXPECT_EQ(children.Item(3)->OID()->Value(), "3");
  EXPECT_EQ(HrOf([&] { children.Get("Item", {Variant("K3")}); }), VbHr(kVbInvalidProcedureCall));
  EXPECT_EQ(HrOf([&] { children.Get("Item", {Variant(int32_t{4})}); }),
            VbHr(kVbSubscriptOutOfRange));
  EXPECT_EQ(HrOf([&] {
              children.Call("Add", {Variant(NewEntityField()), Variant("K9")});
            }),
            VbHr(kVbTypeMismatch));
  children.Call("Remove", {Variant("K1")});
  EXPECT_EQ(EnumeratedOIDs(children), (std::vector<std::string>{"2", "3"}));
  EXPECT_EQ(children.Item("k2"), children.Item(1));
  children.Call("Clear");
  EXPECT_EQ(children.Get("Count"), Variant(int32_t{0}));
}

TEST(EntityChildren, ChildEOIsSetByReferenceAndMayBeNothing) {
  auto eo = NewEntityObject();
  ObjectRef children = eo->Get("ChildEOs").ToObject();
  EXPECT_TRUE(children->Get("ChildEO").IsNothing());
  auto child = NewEntityObject();
  children->Invoke("ChildEO", MemberKind::PropertyPutRef, {Variant(child)});
  EXPECT_EQ(eo->ChildEOs()->ChildEO(), child);
  EXPECT_EQ(children->Get("ChildEO").ToObject(), child);
  eo->ChildEOs()->Add(Record("1"), "K1");
  children->Invoke("ChildEO", MemberKind::PropertyPutRef, {Variant::Nothing()});
  EXPECT_EQ(eo->ChildEOs()->ChildEO(), nullptr);
  EXPECT_EQ(eo->ChildEOs()->Count(), 1);  // records are separate from the definition
  EXPECT_EQ(HrOf([&] {
              children->Invoke("ChildEO", MemberKind::PropertyPutRef, {Variant(NewOIDObject())});
            }),
            VbHr(kVbTypeMismatch));
}

}  // namespace
}  // namespace q6
