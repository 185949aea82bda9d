// q6fd classes / q6fd call: the type information and late-bound calls.
#include <charconv>
#include <ostream>

#include "cli/command.h"
#include "cli/result_table.h"
#include "runtime/class_table.h"

namespace q6::cli {

namespace {

// A command-line word as a value: null, empty, true/false, whole numbers
// (Long), other numbers (Double), 'quoted text' or bare text (String).
Variant ParseLiteral(const std::string& s) {
  if (EqualsNoCase(s, "null")) return Variant::Null();
  if (EqualsNoCase(s, "empty")) return Variant();
  if (EqualsNoCase(s, "true")) return Variant(true);
  if (EqualsNoCase(s, "false")) return Variant(false);
  if (s.size() >= 2 && s.front() == '\'' && s.back() == '\'') return s.substr(1, s.size() - 2);
  int32_t l = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), l);
  if (r.ec == std::errc() && r.ptr == s.data() + s.size()) return Variant(l);
  double d = 0;
  if (!s.empty() && ParseNumber(s, &d) &&
      s.find_first_not_of("+-.0123456789eE") == std::string::npos)
    return Variant(d);
  return Variant(s);
}

std::string Show(const Variant& v) {
  const Variant& d = v.Deref();
  if (d.IsObject()) {
    if (!d.object()) return "Nothing";
    std::string s = "<" + d.object()->Interface().name + ">";
    try {
      s += " " + d.object()->DefaultValue().ToString();
    } catch (const ComError&) {
    }
    return s;
  }
  if (d.IsNull()) return "Null";
  if (d.IsEmpty()) return "Empty";
  return d.ToString();
}

int RunClasses(const Invocation& in, std::ostream& out) {
  const auto& args = in.positional;
  const Options& opt = in.opt;
  auto classes = ClassTable::Linked().All();
  if (!args.empty())
    std::erase_if(classes, [&](const ClassInfo* c) { return !EqualsNoCase(args[0], c->prog_id); });
  if (!args.empty() && classes.empty())
    throw NotFound("no class " + args[0] + " (q6fd classes lists them)");
  if (opt.json()) out << "[";
  bool first_class = true;
  for (const ClassInfo* c : classes) {
    const InterfaceInfo& itf = c->interface_info();
    if (opt.json()) {
      out << (first_class ? "" : ",") << "\n {\"progid\": " << JsonString(c->prog_id)
          << ", \"clsid\": " << JsonString(c->clsid.ToString())
          << ", \"interface\": " << JsonString(itf.name) << ", \"members\": [";
      bool first = true;
      for (const MemberInfo& m : itf.members) {
        out << (first ? "" : ", ") << JsonString(m.Signature());
        first = false;
      }
      out << "]}";
    } else {
      out << c->prog_id << "  " << c->clsid.ToString() << "  (" << c->threading_model << ")\n";
      out << "  interface " << itf.name << "  " << itf.iid.ToString() << "\n";
      for (auto& [name, iid] : c->aliases)
        out << "  interface " << name << "  " << iid.ToString() << "  (alias of " << itf.name
            << ")\n";
      for (const MemberInfo& m : itf.members) out << "    " << m.Signature() << "\n";
    }
    first_class = false;
  }
  if (opt.json()) out << "\n]\n";
  return 0;
}

int RunCall(const Invocation& in, std::ostream& out) {
  const auto& args = in.positional;
  const Options& opt = in.opt;
  const std::string& target = args[0];
  size_t dot = target.rfind('.');
  if (dot == std::string::npos || dot == 0)
    throw UsageError("expected <ProgID>.<Method>, got " + target);
  ObjectRef obj = CreateObject(target.substr(0, dot));
  std::vector<Variant> positional;
  std::vector<NamedArg> named;
  for (size_t i = 1; i < args.size(); ++i) {
    size_t eq = args[i].find(":=");
    if (eq != std::string::npos)
      named.push_back({args[i].substr(0, eq), ParseLiteral(args[i].substr(eq + 2))});
    else
      positional.push_back(ParseLiteral(args[i]));
  }
  // Keep every argument in a slot of its own so by-reference results show.
  std::vector<Variant> slots = positional;
  std::vector<Variant> refs;
  for (auto& s : slots) refs.push_back(Variant::Ref(&s));
  Variant result = obj->Invoke(target.substr(dot + 1), MemberKind::Method, refs, named);
  if (opt.json()) {
    // Values as JSON values; objects as their description.
    auto json = [&out](const Variant& v) {
      if (v.Deref().IsObject())
        out << JsonString(Show(v));
      else
        WriteJsonValue(out, v);
    };
    out << "{\"result\": ";
    json(result);
    out << ", \"arguments\": [";
    for (size_t i = 0; i < slots.size(); ++i) {
      out << (i ? ", " : "");
      json(slots[i]);
    }
    out << "]}\n";
  } else {
    out << Show(result) << "\n";
    for (size_t i = 0; i < slots.size(); ++i)
      if (!(slots[i] == positional[i]))
        out << "  argument " << i + 1 << " -> " << Show(slots[i]) << "\n";
  }
  return 0;
}

}  // namespace

std::vector<Command> ObjectCommands() {
  return {
      {"classes", "[ProgID]", "list classes, interfaces and member signatures", {}, RunClasses},
      {"call",
       "<ProgID>.<Method> [ARG...]",
       "call a method by name (name:=value for named)",
       {},
       RunCall,
       Access::kNone,
       "Each ARG is null, empty, true, false, a number, 'quoted text' or bare text;\n"
       "name:=value passes an argument by name. Arguments the method writes back are shown."},
  };
}

}  // namespace q6::cli
