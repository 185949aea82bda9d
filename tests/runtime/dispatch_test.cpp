// The generic invoker: names, defaults, conversions, by-reference write-back,
// errors, apartments.
#include <gtest/gtest.h>

#include <thread>
#include <utility>

#include "runtime/binder.h"

namespace q6 {
namespace {

// A small class with one member of each shape the component uses.
class Sample : public Dispatchable {
 public:
  const InterfaceInfo& Interface() const override {
    static const InterfaceInfo info{
        "_Sample",
        Guid::Of("{8E0C0001-0000-4000-8000-000000000001}"),
        {
            Method<Sample>("Join", 0x60030000, &Sample::Join,
                           {Req("a"), Opt("sep", ","), OptNone("tail"), OptNone("flag")}),
            Method<Sample>("Bump", 0x60030001, &Sample::Bump, {Req("n"), Opt("by", 1)}),
            Method<Sample>("Peek", 0x60030002, &Sample::Peek, {OptNone("v")}),
            PropGet<Sample>("Name", DISPID_VALUE, &Sample::GetName),
            PropPut<Sample>("Name", DISPID_VALUE, &Sample::PutName, {Req("value")}),
            Method<Sample>("Half", 0x60030003, &Sample::Half, {Req("x")}),
            // More parameters than the invoker keeps on the stack.
            Method<Sample>("Sum10", 0x60030004, &Sample::Sum10,
                           {Req("a"), Req("b"), Req("c"), Req("d"), Req("e"), Req("f"), Req("g"),
                            Req("h"), Req("i"), Opt("j", 1000)}),
            Method<Sample>("Swap", 0x60030005, &Sample::Swap, {Req("v")}),
        }};
    return info;
  }
  std::string Join(std::string& a, std::string& sep, std::string& tail, bool& flag) {
    a += "!";  // by-reference: the caller sees it
    return a + sep + tail + (flag ? "T" : "F");
  }
  int32_t Bump(int32_t& n, int32_t by) {
    n += by;
    return n;
  }
  std::string Peek(Variant& v) { return v.IsMissing() ? "missing" : v.Describe(); }
  Variant Swap(Variant& v) { return std::exchange(v, Variant("swapped")); }
  std::string GetName() { return name_; }
  void PutName(const std::string& v) { name_ = v; }
  int16_t Half(int16_t x) { return static_cast<int16_t>(x / 2); }
  std::string Sum10(int32_t& a, int32_t b, int32_t c, int32_t d, int32_t e, std::string f,
                    int32_t g, int32_t h, int32_t i, int32_t j) {
    a = b + c + d + e + g + h + i + j;
    return f + std::to_string(a);
  }

 private:
  std::string name_ = "start";
};

TEST(Dispatch, DefaultsAndEmptyValuesFillOmittedOptionals) {
  auto s = std::make_shared<Sample>();
  EXPECT_EQ(s->Call("Join", {Variant("x")}).ToString(), "x!,F");
  EXPECT_EQ(s->Call("join", {Variant("x"), Variant("-"), Variant("t"), Variant(true)}).ToString(),
            "x!-tT");
  EXPECT_EQ(s->Call("Peek").ToString(), "missing");
}

TEST(Dispatch, NamedArgumentsMatchWithoutCase) {
  auto s = std::make_shared<Sample>();
  Variant r = s->Invoke("JOIN", MemberKind::Method, {Variant("x")}, {{"TAIL", Variant("z")}});
  EXPECT_EQ(r.ToString(), "x!,zF");
}

TEST(Dispatch, ByReferenceArgumentsAreWrittenBack) {
  auto s = std::make_shared<Sample>();
  Variant n(int32_t{4});
  Variant a("q");
  s->Call("Bump", {Variant::Ref(&n), Variant(int32_t{3})});
  s->Call("Join", {Variant::Ref(&a)});
  EXPECT_EQ(n.ToLong(), 7);
  EXPECT_EQ(a.ToString(), "q!");
  // A plain value is copied: the caller's variable is not touched.
  Variant plain("q");
  s->Call("Join", {plain});
  EXPECT_EQ(plain.ToString(), "q");
  // The same for a parameter that takes any value, which plain values reach
  // without conversion.
  Variant v(int32_t{5});
  EXPECT_EQ(s->Call("Swap", {Variant::Ref(&v)}).ToLong(), 5);
  EXPECT_EQ(v.ToString(), "swapped");
  Variant kept(int32_t{6});
  std::vector<NamedArg> none;
  EXPECT_EQ(InvokeMember(*s, *s->Interface().Find("Swap", MemberKind::Method), Args(&kept, 1), none,
                         MemberKind::Method)
                .ToLong(),
            6);
}

TEST(Dispatch, MembersWithManyParametersGetEveryArgument) {
  auto s = std::make_shared<Sample>();
  Variant a(int32_t{0});
  std::vector<Variant> args{Variant::Ref(&a)};
  for (int v = 1; v <= 8; ++v) args.push_back(v == 5 ? Variant("sum=") : Variant(int32_t{v}));
  EXPECT_EQ(s->Call("Sum10", args).ToString(), "sum=1031");  // j defaults to 1000
  EXPECT_EQ(a.ToLong(), 1031);
  args.push_back(Variant("9"));  // converted to the declared Long
  EXPECT_EQ(s->Call("Sum10", args).ToString(), "sum=40");
  EXPECT_EQ(a.ToLong(), 40);
}

TEST(Dispatch, ArgumentsConvertToDeclaredTypes) {
  auto s = std::make_shared<Sample>();
  Variant n("41");  // text by reference comes back as the declared Long
  s->Call("Bump", {Variant::Ref(&n)});
  EXPECT_EQ(n.type(), VarType::Long);
  EXPECT_EQ(n.ToLong(), 42);
  EXPECT_EQ(s->Call("Half", {Variant(9.5)}).ToLong(), 5);  // 10 / 2 after half-even rounding
}

TEST(Dispatch, PropertiesAndDefaultMember) {
  auto s = std::make_shared<Sample>();
  s->Put("name", Variant("abc"));
  EXPECT_EQ(s->Get("NAME").ToString(), "abc");
  EXPECT_EQ(s->DefaultValue().ToString(), "abc");
  EXPECT_EQ(Variant(ObjectRef(s)).ToString(), "abc");
}

struct BadCall {
  const char* member;
  std::vector<Variant> args;
  std::vector<NamedArg> named;
  HRESULT hr;
};

TEST(Dispatch, BadCallsRaiseDispatchErrors) {
  const BadCall rows[] = {
      {"Nope", {}, {}, DISP_E_UNKNOWNNAME},
      {"Bump", {}, {}, DISP_E_BADPARAMCOUNT},
      {"Bump", {Variant(1), Variant(2), Variant(3)}, {}, DISP_E_BADPARAMCOUNT},
      {"Bump", {Variant("abc")}, {}, DISP_E_TYPEMISMATCH},
      {"Bump", {Variant(1e12)}, {}, DISP_E_OVERFLOW},
      {"Bump", {Variant::Null()}, {}, DISP_E_TYPEMISMATCH},
      {"Bump", {Variant(1)}, {{"nosuch", Variant(1)}}, DISP_E_PARAMNOTFOUND},
      {"Bump", {Variant(1)}, {{"n", Variant(1)}}, DISP_E_BADPARAMCOUNT},
      {"Swap", {Variant::Missing()}, {}, DISP_E_BADPARAMCOUNT},
      {"Swap", {}, {{"v", Variant::Missing()}}, DISP_E_BADPARAMCOUNT},
  };
  auto s = std::make_shared<Sample>();
  for (const BadCall& row : rows) {
    try {
      s->Invoke(row.member, MemberKind::Method, row.args, row.named);
      ADD_FAILURE() << row.member << " did not fail";
    } catch (const ComError& e) {
      EXPECT_EQ(HrToString(e.hr()), HrToString(row.hr)) << row.member << ": " << e.description();
      EXPECT_FALSE(e.description().empty());
    }
  }
}

TEST(Dispatch, CallFromAnotherThreadFailsWithWrongThread) {
  auto s = std::make_shared<Sample>();
  HRESULT seen = S_OK;
  std::thread t([&] {
    try {
      s->Get("Name");
    } catch (const ComError& e) {
      seen = e.hr();
    }
  });
  t.join();
  EXPECT_EQ(seen, RPC_E_WRONG_THREAD);
  EXPECT_EQ(s->Get("Name").ToString(), "start");  // its own thread still works
}

TEST(Dispatch, SignatureShowsPassingTypesAndDefaults) {
  Sample s;
  const MemberInfo* m = s.Interface().Find("Join", MemberKind::Method);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Signature(),
            "Function Join(ByRef a As String, [Optional] ByRef sep As String = \",\", [Optional] "
            "ByRef tail As String, [Optional] ByRef flag As Boolean) As String  [id 0x60030000]");
}

}  // namespace
}  // namespace q6
