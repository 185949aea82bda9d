// The command table of q6fd: every command with its arguments and options,
// each explained. Parsing, `q6fd help CMD`, `CMD --help` and usage errors all
// read this one table, so a command is described in one place:
//
//   Command{"oid", "DSN BITYPE", "the type's OID counter (GetNewOID)",
//           {{"--allocate", "", "take the next OID instead of showing the last issued"}},
//           Oid, Access::kRead}
//
// A command file contributes a function returning its commands; Commands()
// lists them in help order. Command functions get the parsed Invocation and
// the standard output; they raise UsageError for a bad value, NotFound when
// what they look for is not there and ComError for failures (main turns
// each into a message on standard error and an exit code by kind:
// error_kind.h). Standard output holds only results.
#pragma once

#include <charconv>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/trace/trace.h"
#include "runtime/com_error.h"

namespace q6::cli {

// How the result is written: text for people, one JSON document, or CSV
// (table commands only).
enum class Format { kText, kJson, kCsv };

struct Options {
  Format format = Format::kText;
  // The program as hints name it: as it was started when that was by a
  // path ("build/bin/q6fd"), else "q6fd" (found on the PATH).
  std::string program = "q6fd";
  bool json() const { return format == Format::kJson; }
};

// One option of a command: "--limit" with value name "N", or a switch when
// `value` is empty.
struct OptionSpec {
  std::string name;
  std::string value;
  std::string help;
};

// What a command does to the data source it names: a read command never
// creates or changes a database file.
enum class Access { kNone, kRead, kWrite };

// A command line parsed against a command's table entry.
class Invocation {
 public:
  Options opt;
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> flags;  // name, value ("" for switches)

  size_t Count() const { return positional.size(); }
  // REQUIRES: i < Count() (the table's argument count guarantees it).
  const std::string& At(size_t i) const { return positional.at(i); }
  std::string At(size_t i, const std::string& def) const { return i < Count() ? At(i) : def; }
  bool Has(const std::string& flag) const;
  // The value of `flag`, or `def` when it was not given.
  std::string Value(const std::string& flag, const std::string& def = "") const;
};

// A value the table cannot check (a number that is not one, a missing
// choice); main prints the message and the command's usage on standard
// error and exits 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What the command looks for is not there (no such record, no such
// document type); main writes the message on standard error (an error
// document under --json) and exits 6 (kind not_found).
struct NotFound : ComError {
  explicit NotFound(const std::string& message) : ComError(E_FAIL, message, "q6fd") {}
};

using CommandFn = std::function<int(const Invocation& in, std::ostream& out)>;

struct Command {
  std::string name;
  // Positional arguments as usage shows them: "DSN BITYPE", "[ProgID]",
  // "<ProgID>.<Method> [ARG...]". Names in brackets are optional, "..." takes
  // any number.
  std::string args;
  std::string summary;  // one line
  std::vector<OptionSpec> options;
  CommandFn run;
  Access access = Access::kNone;
  std::string details;  // further paragraphs for `q6fd help CMD`; may be ""
  bool table = false;   // writes a table: --csv applies

  // "records DSN BITYPE [--first] [--last] ..." as usage lines show it.
  std::string Usage() const;
  const OptionSpec* FindOption(const std::string& name) const;
};

// Every command, in the order help lists them.
const std::vector<Command>& Commands();
const Command* FindCommand(const std::string& name);

// Parses `args` (the words after the command name, global options removed)
// against `cmd`: unknown options, options without their value, missing and
// extra arguments raise UsageError naming the word.
Invocation Parse(const Command& cmd, const std::vector<std::string>& args, const Options& opt);

// `s` as a whole number, or nullopt when it is not one (whole text, no
// blanks, within 32 bits).
inline std::optional<int32_t> WholeNumber(std::string_view s) {
  int32_t v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return v;
}

// A whole number argument; UsageError naming `what` otherwise.
int32_t ParseWhole(const std::string& s, const std::string& what);

// Commands contributed by each source file.
std::vector<Command> ObjectCommands();    // classes, call
std::vector<Command> RegistryCommands();  // register, unregister
std::vector<Command> DataCommands();      // init and the data commands
std::vector<Command> LockCommands();      // locks, lock, unlock
std::vector<Command> DemoCommands();      // demo
std::vector<Command> ImportCommands();    // import
std::vector<Command> SqlCommands();       // sql
std::vector<Command> ServeCommands();     // serve

// JSON string literals, as the statement trace writes them.
using ::q6::JsonString;

}  // namespace q6::cli
