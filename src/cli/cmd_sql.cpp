// q6fd sql: T-SQL of one's own through the layer, one statement or a
// script, each statement's result written as the table commands write
// theirs.
#include <iostream>
#include <iterator>
#include <ostream>

#include "cli/command.h"
#include "cli/data_open.h"
#include "cli/result_table.h"
#include "cli/sql_script.h"
#include "import/script_text.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "runtime/variant.h"

namespace q6::cli {

namespace {

// Writes each statement's result as it comes, in one document per run:
//   text  each table with its row count, "(N rows affected)" for changes
//   json  {"results": [{"columns": [...], "rows": [...]}, {"rows_affected": N}]},
//         N null for a statement that reports no count (create, begin)
//   csv   each table's header and rows, an empty line between tables
// Close() ends the document; what was written before a failure stays a
// whole document.
class ResultWriter {
 public:
  ResultWriter(std::ostream& out, const Options& opt) : out_(out), opt_(opt) {
    if (opt_.json()) out_ << "{\"results\": [";
  }

  void Rows(const ResultTable& t) {
    if (opt_.json()) {
      out_ << (count_ ? ",\n " : "\n ") << "{";
      t.WriteJsonMembers(out_);
      out_ << "}";
    } else {
      if (count_) out_ << (opt_.format == Format::kCsv ? "\r\n" : "\n");
      if (opt_.format == Format::kCsv) {
        t.Write(out_, opt_);
      } else {
        t.Print(out_, "");
        out_ << "(" << t.size() << (t.size() == 1 ? " row)\n" : " rows)\n");
      }
    }
    ++count_;
  }

  // `n` rows changed; -1 for a statement that reports no count.
  void Affected(int64_t n) {
    if (opt_.json()) {
      out_ << (count_ ? ",\n " : "\n ") << "{\"rows_affected\": ";
      if (n < 0)
        out_ << "null}";
      else
        out_ << n << "}";
      ++count_;
    } else if (opt_.format == Format::kText && n >= 0) {
      if (count_) out_ << "\n";
      out_ << "(" << n << (n == 1 ? " row affected)\n" : " rows affected)\n");
      ++count_;
    }
  }

  void Close() {
    if (opt_.json()) out_ << (count_ ? "\n]}\n" : "]}\n");
    out_.flush();
  }

 private:
  std::ostream& out_;
  const Options& opt_;
  int count_ = 0;
};

// The script -f names ("-": standard input), decoded as import decodes
// scripts (UTF-8, or UTF-16 with a byte-order mark).
std::string ReadScript(const std::string& file) {
  if (file != "-") return import::ReadTextFile(file);
  std::string bytes{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  return import::DecodeScriptBytes(bytes);
}

int Sql(const Invocation& in, std::ostream& out) {
  const bool from_file = in.Has("-f");
  if (from_file == (in.Count() > 1))
    throw UsageError(from_file ? "give a STATEMENT or -f FILE, not both"
                               : "give a STATEMENT or -f FILE (- for standard input)");
  const std::string file = in.Value("-f");
  std::vector<ScriptStatement> statements = SplitScript(from_file ? ReadScript(file) : in.At(1));
  CommandSource source(in.At(0));
  ConnectionLease con = source.Lease();
  ResultWriter writer(out, in.opt);
  for (const ScriptStatement& s : statements) {
    try {
      Variant affected;
      std::shared_ptr<Recordset> rs = con->Execute(s.text, &affected, kExecuteOneStatement);
      if (rs && rs->State() == kAdStateOpen)
        writer.Rows(ResultTable::Of(*rs));
      else
        writer.Affected(affected.ToLong());
    } catch (const ComError& e) {
      writer.Close();
      // Where in the script, when it is one.
      if (!from_file && statements.size() == 1) throw;
      std::string where = (from_file && file != "-" ? file + " " : std::string()) + "line " +
                          std::to_string(s.line) + ": ";
      throw ComError(e.hr(), where + e.description(), e.source(), e.kind(), e.native_code(),
                     e.data());
    }
  }
  writer.Close();
  return 0;
}

}  // namespace

std::vector<Command> SqlCommands() {
  return {{"sql",
           "DSN [STATEMENT]",
           "run T-SQL of one's own: one statement, or a script with -f",
           {{"-f", "FILE", "run the script FILE (- for standard input)"}},
           Sql,
           Access::kWrite,
           "The text is T-SQL, given SQL Server's meaning on either engine as the component's\n"
           "own statements are. A script holds statements separated by ';' in batches\n"
           "separated by lines holding only GO; each statement runs on its own, in order, on\n"
           "one connection, and the first that fails ends the run (its line is named). Each\n"
           "result set is written as a table (--json: {\"results\": [...]} with one member a\n"
           "statement, rows or rows_affected; --csv: the tables, an empty line between).",
           true}};
}

}  // namespace q6::cli
