// The shared helpers on fields: IsQueryField and GetFieldExpr.
#include "component/frame/mdl_public.h"

#include <gtest/gtest.h>

#include "outside/eso/entity_field.h"
#include "runtime/binder.h"

namespace q6 {
namespace {

// A field with just the members the helpers read.
class FakeField : public Dispatchable {
 public:
  FakeField(Variant source, Variant join, int32_t edit_prop, Variant expr = "")
      : source_(std::move(source)),
        join_(std::move(join)),
        expr_(std::move(expr)),
        edit_prop_(edit_prop) {}
  const InterfaceInfo& Interface() const override {
    static const InterfaceInfo info{"FakeField",
                                    Guid::Of("{8E0C0002-0000-4000-8000-000000000001}"),
                                    {PropGet<FakeField>("SourceField", 1, &FakeField::Source),
                                     PropGet<FakeField>("JoinField", 2, &FakeField::Join),
                                     PropGet<FakeField>("Expr", 3, &FakeField::Expr),
                                     PropGet<FakeField>("EditProp", 4, &FakeField::EditProp)}};
    return info;
  }
  Variant Source() { return source_; }
  Variant Join() { return join_; }
  Variant Expr() { return expr_; }
  int32_t EditProp() { return edit_prop_; }

 private:
  Variant source_, join_, expr_;
  int32_t edit_prop_;
};

bool Query(ObjectRef f, int32_t flags) {
  Variant r = IsQueryField(f, flags);
  EXPECT_TRUE(r.IsEmpty() || (r.type() == VarType::Boolean && r.ToBool()));
  return !r.IsEmpty();
}

TEST(IsQueryField, RuleTable) {
  auto plain = std::make_shared<FakeField>("a.code", "", 0);
  auto edit2 = std::make_shared<FakeField>("a.qty", "", 2);
  auto join_only = std::make_shared<FakeField>(Variant::Null(), "b.name", 2);
  auto none = std::make_shared<FakeField>(Variant::Null(), Variant::Null(), 0);
  struct Row {
    ObjectRef field;
    int32_t flags;
    bool listed;
  } rows[] = {
      {plain, 0, true},        {plain, 100, true},  {edit2, 0, true},    {edit2, 100, false},
      {edit2, 101, true},      {edit2, 200, false}, {edit2, 110, false}, {join_only, 0, true},
      {join_only, 100, false}, {none, 0, false},    {none, 101, false},  {ObjectRef(), 0, false},
  };
  for (auto& r : rows) {
    EXPECT_EQ(Query(r.field, r.flags), r.listed) << r.flags;
    // The entity library's own field, read through its typed members, with
    // the same values (its text members hold "" where the fake gives Null).
    auto fake = std::dynamic_pointer_cast<FakeField>(r.field);
    if (!fake) continue;
    auto own = NewEntityField();
    own->SetSourceField(Variant(CheckNullText(fake->Source())));
    own->SetJoinField(Variant(CheckNullText(fake->Join())));
    own->SetEditProp(Variant(fake->EditProp()));
    EXPECT_EQ(Query(own, r.flags), r.listed) << "EntityField, flags " << r.flags;
  }
}

TEST(GetFieldExpr, ReplacesEveryAtWithJoinOrSource) {
  struct Row {
    Variant source, join, expr;
    std::string result, left_in_expression;
  } rows[] = {
      {"a.qty", "", "", "a.qty", ""},
      {"a.qty", "", Variant::Null(), "a.qty", ""},
      {"a.qty", "", "isnull(@,0)", "isnull(a.qty,0)", "isnull(a.qty,0)"},
      {"a.qty", "b.name", "isnull(@,0)", "isnull(b.name,0)", "isnull(b.name,0)"},
      {"a.x", "", "@+@", "a.x+a.x", "a.x+a.x"},
      {"a.x", "", "upper(name)", "upper(name)", "upper(name)"},
  };
  for (auto& r : rows) {
    Variant field(ObjectRef(std::make_shared<FakeField>(r.source, r.join, 0, r.expr)));
    Variant expression = Variant::Null();
    EXPECT_EQ(GetFieldExpr(field, expression), r.result);
    EXPECT_EQ(expression.ToString(), r.left_in_expression);
  }
}

}  // namespace
}  // namespace q6
