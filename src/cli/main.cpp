// q6fd: the command line of the component.
#include <iostream>

#include "cli/command.h"
#include "cli/error_kind.h"
#include "cli/help.h"
#include "runtime/com_error.h"

namespace q6::cli {
namespace {

// The error document of --json, on standard error:
// {"error": {"hresult": "0x80040C1E", "description": ..., "source": ...,
//  "kind": "lock_conflict", "native": "40P01", "holder": {...}}}; native
// only when the engine gave a code, holder only for a lock conflict.
void WriteErrorDocument(std::ostream& err, const ComError& e, const char* kind) {
  err << "{\"error\": {\"hresult\": " << JsonString(HrToString(e.hr()))
      << ", \"description\": " << JsonString(e.description())
      << ", \"source\": " << JsonString(e.source()) << ", \"kind\": " << JsonString(kind);
  if (!e.native_code().empty()) err << ", \"native\": " << JsonString(e.native_code());
  if (auto holder = HolderOf(e)) {
    err << ", \"holder\": {\"user\": " << JsonString(holder->user)
        << ", \"workstation\": " << JsonString(holder->workstation)
        << ", \"module\": " << JsonString(holder->module) << ", \"level\": ";
    if (holder->level)
      err << *holder->level;
    else
      err << "null";
    err << ", \"reason\": " << JsonString(holder->reason) << "}";
  }
  err << "}}\n";
}

// A usage error: the message and the command's usage (or the pointer to
// the general help) on standard error.
int UsageFailure(const Options& opt, const Command* cmd, const std::string& msg) {
  if (opt.json()) {
    WriteErrorDocument(std::cerr, ComError(E_INVALIDARG, msg, "q6fd"), kUsageKind);
  } else {
    std::cerr << (cmd ? "q6fd " + cmd->name : "q6fd") << ": " << msg << "\n";
    if (cmd)
      std::cerr << "usage: q6fd " << cmd->Usage() << "\n(q6fd help " << cmd->name
                << " explains each option)\n";
    else
      std::cerr << "(q6fd help lists the commands)\n";
  }
  return kUsageExit;
}

// A failure of kind `kind`: its text, or its error document, on standard
// error; what the command wrote to standard output before it stays there.
int Failure(const Options& opt, const Command* cmd, const ComError& e, const char* kind,
            int exit_code) {
  std::cout.flush();
  if (opt.json())
    WriteErrorDocument(std::cerr, e, kind);
  else if (exit_code == kNotFoundExit)
    std::cerr << (cmd ? "q6fd " + cmd->name : "q6fd") << ": " << e.description() << "\n";
  else
    std::cerr << "q6fd: error " << HrToString(e.hr()) << ": " << e.description() << "\n";
  return exit_code;
}

int Failure(const Options& opt, const Command* cmd, const ComError& e) {
  q6::ErrorKind kind = KindOf(e);
  return Failure(opt, cmd, e, ErrorKindName(kind), ExitCode(kind));
}

int Run(const std::vector<std::string>& args, const Options& opt) {
  if (args.empty()) {
    PrintGeneralHelp(std::cerr);
    return kUsageExit;
  }
  if (args[0] == "--version" || args[0] == "-V") {
    if (args.size() > 1) return UsageFailure(opt, nullptr, "unexpected argument " + args[1]);
    std::cout << (opt.json() ? "{\"version\": \"" Q6FD_VERSION "\"}\n" : "q6fd " Q6FD_VERSION "\n");
    return 0;
  }
  // Not listed in the help: the build writes the man page and the bash
  // completion with these.
  if (args.size() == 1 && args[0] == "--man") {
    PrintManPage(std::cout, Q6FD_VERSION);
    return 0;
  }
  if (args.size() == 2 && args[0] == "--completion" && args[1] == "bash") {
    PrintBashCompletion(std::cout);
    return 0;
  }
  if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    if (args.size() > 2) return UsageFailure(opt, nullptr, "unexpected argument " + args[2]);
    if (args.size() == 1) {
      PrintGeneralHelp(std::cout);
      return 0;
    }
    const Command* c = FindCommand(args[1]);
    if (!c) return UsageFailure(opt, nullptr, "unknown command " + args[1]);
    PrintCommandHelp(*c, std::cout);
    return 0;
  }
  const Command* cmd = FindCommand(args[0]);
  if (!cmd) return UsageFailure(opt, nullptr, "unknown command " + args[0]);
  std::vector<std::string> rest(args.begin() + 1, args.end());
  for (const std::string& a : rest)
    if (a == "--help" || a == "-h") {
      PrintCommandHelp(*cmd, std::cout);
      return 0;
    }
  if (opt.format == Format::kCsv && !cmd->table)
    return UsageFailure(opt, cmd, "--csv applies to table commands only");
  try {
    Invocation in = Parse(*cmd, rest, opt);
    return cmd->run(in, std::cout);
  } catch (const UsageError& e) {
    return UsageFailure(opt, cmd, e.what());
  } catch (const NotFound& e) {
    return Failure(opt, cmd, e, kNotFoundKind, kNotFoundExit);
  } catch (const ComError& e) {
    return Failure(opt, cmd, e);
  } catch (const std::exception& e) {
    return Failure(opt, cmd, ComError(E_FAIL, e.what(), "q6fd"));
  }
}

}  // namespace
}  // namespace q6::cli

int main(int argc, char** argv) {
  using namespace q6::cli;
  Options opt;
  std::vector<std::string> args;
  bool json = false, csv = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--json")
      json = true;
    else if (a == "--csv")
      csv = true;
    else
      args.push_back(a);
  }
  if (json && csv) {
    std::cerr << "q6fd: --json and --csv exclude each other\n";
    return kUsageExit;
  }
  opt.format = json ? Format::kJson : csv ? Format::kCsv : Format::kText;
  if (argc > 0 && std::string(argv[0]).find('/') != std::string::npos) opt.program = argv[0];
  return Run(args, opt);
}
