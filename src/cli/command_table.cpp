// The command table and parsing a command line against it.
#include <cctype>

#include "cli/command.h"

namespace q6::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> all = [] {
    std::vector<Command> v;
    for (auto part : {DemoCommands(), ObjectCommands(), RegistryCommands(), DataCommands(),
                      SqlCommands(), LockCommands(), ImportCommands(), ServeCommands()})
      v.insert(v.end(), part.begin(), part.end());
    return v;
  }();
  return all;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& c : Commands())
    if (c.name == name) return &c;
  return nullptr;
}

std::string Command::Usage() const {
  std::string u = name;
  if (!args.empty()) u += " " + args;
  for (const OptionSpec& o : options)
    u += " [" + o.name + (o.value.empty() ? "" : " " + o.value) + "]";
  return u;
}

const OptionSpec* Command::FindOption(const std::string& n) const {
  for (const OptionSpec& o : options)
    if (o.name == n) return &o;
  return nullptr;
}

bool Invocation::Has(const std::string& flag) const {
  for (auto& f : flags)
    if (f.first == flag) return true;
  return false;
}

std::string Invocation::Value(const std::string& flag, const std::string& def) const {
  for (auto& f : flags)
    if (f.first == flag) return f.second;
  return def;
}

namespace {

// The positional argument names of `args`: required ones, then optional
// ones; `rest` when the last takes any number of words.
struct Arity {
  std::vector<std::string> required, optional;
  bool rest = false;
};

Arity ArityOf(const std::string& args) {
  Arity a;
  size_t i = 0;
  while (i < args.size()) {
    size_t end = args.find(' ', i);
    std::string w = args.substr(i, end == std::string::npos ? std::string::npos : end - i);
    i = end == std::string::npos ? args.size() : end + 1;
    if (w.empty()) continue;
    if (w.find("...") != std::string::npos) a.rest = true;
    if (w.front() == '[')
      a.optional.push_back(w);
    else if (w.find("...") == std::string::npos)
      a.required.push_back(w);
  }
  return a;
}

}  // namespace

Invocation Parse(const Command& cmd, const std::vector<std::string>& args, const Options& opt) {
  Invocation in;
  in.opt = opt;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool number = a.size() > 1 && (std::isdigit(static_cast<unsigned char>(a[1])) || a[1] == '.');
    if (a.size() > 1 && a[0] == '-' && !number) {
      std::string name = a, value;
      size_t eq = a.find('=');
      bool inline_value = a.rfind("--", 0) == 0 && eq != std::string::npos;
      if (inline_value) name = a.substr(0, eq), value = a.substr(eq + 1);
      const OptionSpec* o = cmd.FindOption(name);
      if (!o) throw UsageError("unknown option " + name);
      if (o->value.empty() && inline_value) throw UsageError("option " + name + " takes no value");
      if (!o->value.empty() && !inline_value) {
        if (i + 1 >= args.size()) throw UsageError("option " + name + " needs a value " + o->value);
        value = args[++i];
      }
      if (in.Has(name)) throw UsageError("option " + name + " given twice");
      in.flags.emplace_back(name, value);
    } else {
      in.positional.push_back(a);
    }
  }
  Arity ar = ArityOf(cmd.args);
  if (in.Count() < ar.required.size()) throw UsageError("missing " + ar.required[in.Count()]);
  if (!ar.rest && in.Count() > ar.required.size() + ar.optional.size())
    throw UsageError("unexpected argument " + in.At(ar.required.size() + ar.optional.size()));
  return in;
}

int32_t ParseWhole(const std::string& s, const std::string& what) {
  std::optional<int32_t> v = WholeNumber(s);
  if (!v) throw UsageError(what + " must be a whole number, got '" + s + "'");
  return *v;
}

}  // namespace q6::cli
