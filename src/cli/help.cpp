// Help texts.
#include "cli/help.h"

#include <ostream>
#include <string_view>

#include "cli/text_table.h"
#include "platform/drivers/driver.h"

namespace q6::cli {

namespace {

void Column(std::ostream& out, const std::string& left, const std::string& right, size_t width) {
  std::string l = "  " + left;
  if (DisplayWidth(l) + 2 > width) {
    out << l << "\n" << std::string(width, ' ') << right << "\n";
    return;
  }
  out << l << std::string(width - DisplayWidth(l), ' ') << right << "\n";
}

}  // namespace

const char* const kDataSourceParagraph =
    "DSN is a data-source name from q6fd.ini, \"DSN=name\", a connection string "
    "(\"Driver=sqlite;Database=x.db\"), a SQLite file path (any path with a '/' or ending in "
    ".db, .db3, .sqlite or .sqlite3) or a URI (postgresql://user@host:5432/db). Commands that "
    "only read never create a database: q6fd init DSN creates one. Results go to standard "
    "output; failures and \"not found\" go to standard error (an error document with "
    "--json) with the exit code of their kind.";

const std::vector<ExitCodeLine>& ExitCodeTable() {
  static const std::vector<ExitCodeLine> codes = {
      {0, "ok"},
      {1, "error (other, constraint)"},
      {2, "usage: unknown command or option, missing or extra argument"},
      {3, "the lock is held by another user (lock_conflict)"},
      {4,
       "the database is busy or a wait timed out: try again (busy, lock_timeout, deadlock, "
       "serialization)"},
      {5, "cannot connect: the data source cannot be reached or opened (connection_lost)"},
      {6, "not found: no such record or document type (not_found)"}};
  return codes;
}

void PrintExitCodes(std::ostream& out) {
  out << "exit codes (with --json, the kind in parentheses is the error document's \"kind\"):\n";
  for (const ExitCodeLine& e : ExitCodeTable()) out << "  " << e.code << "  " << e.meaning << "\n";
}

void PrintGeneralHelp(std::ostream& out) {
  out << "usage: q6fd [--json | --csv] <command> [arguments] [options]\n"
         "       q6fd help <command>      what a command does and each of its options\n"
         "       q6fd --version | -V\n\n"
         "global options:\n";
  Column(out, "--json", "one JSON document on standard output; errors as JSON on standard error",
         24);
  Column(out, "--csv", "tables as comma-separated values (table commands)", 24);
  Column(out, "--help, -h", "this text, or with a command its help", 24);
  Column(out, "--version, -V", "the program's version", 24);
  out << "\ncommands:\n";
  for (const Command& c : Commands()) {
    std::string left = c.name + (c.args.empty() ? "" : " " + c.args);
    Column(out, left, c.summary, 40);
  }
  out << "\n";
  // The paragraph, wrapped at 80 columns.
  std::string line;
  for (std::string_view rest = kDataSourceParagraph; !rest.empty();) {
    size_t sp = rest.find(' ');
    std::string_view word = rest.substr(0, sp);
    rest = sp == std::string_view::npos ? std::string_view() : rest.substr(sp + 1);
    if (!line.empty() && line.size() + 1 + word.size() > 80) out << line << "\n", line.clear();
    line += (line.empty() ? "" : " ") + std::string(word);
  }
  out << line << "\n\n";
  PrintExitCodes(out);
}

void PrintCommandHelp(const Command& cmd, std::ostream& out) {
  out << "usage: q6fd " << cmd.Usage() << "\n\n" << cmd.summary << "\n";
  if (!cmd.details.empty()) out << "\n" << cmd.details << "\n";
  if (!cmd.options.empty()) {
    out << "\noptions:\n";
    for (const OptionSpec& o : cmd.options)
      Column(out, o.name + (o.value.empty() ? "" : " " + o.value), o.help, 26);
  }
  out << "\nglobal options: --json";
  if (cmd.table) out << ", --csv";
  out << " (q6fd help)\n";
  if (cmd.access == Access::kRead)
    out << "Reads only: a data source that has no database is an error, never created.\n";
  out << "\n";
  PrintExitCodes(out);
}

}  // namespace q6::cli
