// The help texts, all built from the command table.
#pragma once

#include <iosfwd>

#include "cli/command.h"

namespace q6::cli {

// `q6fd help`: global options, every command with its summary, exit codes.
void PrintGeneralHelp(std::ostream& out);
// `q6fd help CMD` and `q6fd CMD --help`: usage, every option explained,
// further details.
void PrintCommandHelp(const Command& cmd, std::ostream& out);
// The exit codes, one a line.
void PrintExitCodes(std::ostream& out);

}  // namespace q6::cli
