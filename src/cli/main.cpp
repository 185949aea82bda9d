// q6fd: the command line of the component.
#include <iostream>

#include "cli/command.h"
#include "runtime/com_error.h"

namespace q6::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> all = [] {
    std::vector<Command> v;
    for (auto part : {DemoCommands(), ObjectCommands(), RegistryCommands(), DataCommands()})
      v.insert(v.end(), part.begin(), part.end());
    return v;
  }();
  return all;
}

namespace {

void PrintHelp(std::ostream& out) {
  out << "usage: q6fd [--json] <command> [args...]\n\ncommands:\n";
  for (const Command& c : Commands()) {
    std::string u = c.usage;
    if (u.size() < 44) u.resize(44, ' ');
    out << "  " << u << " " << c.summary << "\n";
  }
}

}  // namespace
}  // namespace q6::cli

int main(int argc, char** argv) {
  using namespace q6::cli;
  Options opt;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--json")
      opt.json = true;
    else
      args.push_back(a);
  }
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    PrintHelp(std::cout);
    return args.empty() ? 2 : 0;
  }
  for (const Command& c : Commands()) {
    if (c.name != args[0]) continue;
    try {
      return c.run(std::vector<std::string>(args.begin() + 1, args.end()), opt, std::cout);
    } catch (const q6::ComError& e) {
      if (opt.json)
        std::cout << "{\"error\": {\"hresult\": " << JsonString(q6::HrToString(e.hr()))
                  << ", \"description\": " << JsonString(e.description()) << "}}\n";
      else
        std::cerr << "q6fd: error " << q6::HrToString(e.hr()) << ": " << e.description() << "\n";
      return 1;
    } catch (const std::exception& e) {
      std::cerr << "q6fd: " << e.what() << "\n";
      return 1;
    }
  }
  std::cerr << "q6fd: unknown command '" << args[0] << "' (try q6fd help)\n";
  return 2;
}
