// The help texts, all built from the command table.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/command.h"

namespace q6::cli {

// `q6fd help`: global options, every command with its summary, exit codes.
void PrintGeneralHelp(std::ostream& out);
// `q6fd help CMD` and `q6fd CMD --help`: usage, every option explained,
// further details.
void PrintCommandHelp(const Command& cmd, std::ostream& out);
// The exit codes, one a line.
void PrintExitCodes(std::ostream& out);

// What a DSN argument may be and where results and failures go, one
// paragraph (help and man page wrap it as they need).
extern const char* const kDataSourceParagraph;

// One exit code and what it means.
struct ExitCodeLine {
  int code;
  std::string meaning;
};
// Every exit code the program returns, in order.
const std::vector<ExitCodeLine>& ExitCodeTable();

// The manual page q6fd.1 in roff (`q6fd --man`) and the bash completion
// script (`q6fd --completion bash`); the build writes both from these, so
// they list exactly the commands and options of the table.
void PrintManPage(std::ostream& out, const std::string& version);
void PrintBashCompletion(std::ostream& out);

}  // namespace q6::cli
