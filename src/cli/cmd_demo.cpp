// q6fd demo: the typical road of a user, on the embedded default database.
#include <ostream>

#include "cli/command.h"

namespace q6::cli {

std::vector<Command> DemoCommands() {
  return {
      {"demo", "demo", "set up the embedded demo database and walk the typical road",
       [](auto&, auto&, std::ostream& out) {
         out << "The demo needs the data access layer, which has not landed yet.\n"
                "Try: q6fd classes\n";
         return 1;
       }},
  };
}

}  // namespace q6::cli
