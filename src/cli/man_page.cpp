// The manual page, written from the command table (see help.h).
#include <ostream>
#include <sstream>

#include "cli/help.h"

namespace q6::cli {

namespace {

// `text` as roff running text: backslashes and hyphens escaped, and a
// line that would start with a control character guarded.
std::string Roff(const std::string& text) {
  std::string out;
  bool line_start = true;
  for (char ch : text) {
    if (line_start && (ch == '.' || ch == '\'')) out += "\\&";
    if (ch == '\\')
      out += "\\e";
    else if (ch == '-')
      out += "\\-";
    else
      out += ch;
    line_start = ch == '\n';
  }
  return out;
}

// A command's further paragraphs: blank lines start a new paragraph.
void Paragraphs(std::ostream& out, const std::string& text) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty())
      out << ".IP\n";
    else
      out << Roff(line) << "\n";
  }
}

}  // namespace

void PrintManPage(std::ostream& out, const std::string& version) {
  out << ".TH Q6FD 1 \"\" \"q6fd " << version << "\" \"User Commands\"\n"
      << ".SH NAME\nq6fd \\- command line of the fund\\-management data objects\n"
      << ".SH SYNOPSIS\n.B q6fd\n[\\fB\\-\\-json\\fR | \\fB\\-\\-csv\\fR] \\fIcommand\\fR "
         "[\\fIarguments\\fR] [\\fIoptions\\fR]\n.br\n.B q6fd help\n[\\fIcommand\\fR]\n.br\n"
         ".B q6fd \\-\\-version\n.br\n.B q6fd \\-V\n"
      << ".SH DESCRIPTION\n"
      << Roff(
             "q6fd sets up data sources, lists and calls the registered classes by name, "
             "reads entity definitions, records and OID counters, runs T-SQL of one's own, imports "
             "table scripts and "
             "bulk exports, and shows, takes and releases locks.")
      << "\n.PP\n"
      << Roff(kDataSourceParagraph) << "\n.SH OPTIONS\n"
      << ".TP\n.B \\-\\-json\n"
      << Roff("One JSON document on standard output; errors as JSON on standard error.")
      << "\n.TP\n.B \\-\\-csv\n"
      << Roff("Tables as comma-separated values (table commands only).")
      << "\n.TP\n.BR \\-\\-help \", \" \\-h\n"
      << Roff("The general help, or with a command its help.")
      << "\n.TP\n.BR \\-\\-version \", \" \\-V\nThe program's version.\n"
      << ".SH COMMANDS\n";
  for (const Command& c : Commands()) {
    out << ".TP\n\\fB" << Roff(c.name) << "\\fR";
    if (!c.args.empty()) out << " \\fI" << Roff(c.args) << "\\fR";
    out << "\n" << Roff(c.summary) << ".\n";
    if (!c.details.empty()) {
      out << ".IP\n";
      Paragraphs(out, c.details);
    }
    if (c.access == Access::kRead)
      out << ".IP\nReads only: a data source that has no database is an error, never "
             "created.\n";
    if (c.table) out << ".IP\nWrites a table: \\fB\\-\\-csv\\fR applies.\n";
    if (!c.options.empty()) {
      out << ".RS\n";
      for (const OptionSpec& o : c.options) {
        out << ".TP\n\\fB" << Roff(o.name) << "\\fR";
        if (!o.value.empty()) out << " \\fI" << Roff(o.value) << "\\fR";
        out << "\n" << Roff(o.help) << "\n";
      }
      out << ".RE\n";
    }
  }
  out << ".SH EXIT STATUS\n";
  for (const ExitCodeLine& e : ExitCodeTable())
    out << ".TP\n.B " << e.code << "\n" << Roff(e.meaning) << "\n";
  out << ".SH FILES\n.TP\n.I q6fd.ini\n"
      << Roff("The data sources by name, read from the current folder.") << "\n";
}

}  // namespace q6::cli
