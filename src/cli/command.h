// The command table of q6fd: each command is a name, a one-line summary and
// a function taking the remaining arguments. `q6fd help` prints the table.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/trace/trace.h"

namespace q6::cli {

struct Options {
  bool json = false;  // --json: output for programs
};

using CommandFn =
    std::function<int(const std::vector<std::string>& args, const Options& opt, std::ostream& out)>;

struct Command {
  std::string name;
  std::string usage;    // "call <ProgID>.<Method> [args...]"
  std::string summary;  // one line
  CommandFn run;
};

// Every command, in the order help lists them.
const std::vector<Command>& Commands();

// Commands contributed by each source file.
std::vector<Command> ObjectCommands();    // classes, call
std::vector<Command> RegistryCommands();  // register, unregister
std::vector<Command> DataCommands();      // init and the administration commands
std::vector<Command> DemoCommands();      // demo

// JSON string literals, as the statement trace writes them.
using ::q6::JsonString;

}  // namespace q6::cli
