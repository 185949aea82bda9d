// q6fd serve: the web console (src/console) on the data sources given.
#include <ostream>
#include <stdexcept>

#include "cli/command.h"
#include "console/server.h"

namespace q6::cli {

namespace {

int Serve(const Invocation& in, std::ostream& out) {
  console::ServeOptions opt;
  opt.dsns = in.positional;
  opt.read_only = in.Has("--read-only");
  if (in.Has("--listen")) {
    try {
      console::ParseListen(in.Value("--listen"), opt);
    } catch (const std::invalid_argument& e) {
      throw UsageError(e.what());
    }
  }
  return console::Serve(opt, out);
}

}  // namespace

std::vector<Command> ServeCommands() {
  return {{"serve",
           "DSN [DSN...]",
           "the web console: document types, records, locks, the statement trace",
           {{"--listen", "ADDR:PORT",
             "where to listen (default 127.0.0.1:8765; port 0 takes a free one)"},
            {"--read-only", "", "show no forms and refuse every change"}},
           Serve,
           Access::kRead,
           "Prints the console's address and a login URL with a random token; the token is\n"
           "needed once (then a cookie). Every change (releasing locks) is a POST from the\n"
           "console's own forms with an anti-forgery token, after a confirmation page.\n"
           "Listens on this machine only unless --listen names another address. Serves\n"
           "until interrupted (Ctrl-C, SIGTERM)."}};
}

}  // namespace q6::cli
