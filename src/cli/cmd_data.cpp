// q6fd init and the administration commands of lock tables and counters.
#include "cli/command.h"

namespace q6::cli {

std::vector<Command> DataCommands() { return {}; }

}  // namespace q6::cli
