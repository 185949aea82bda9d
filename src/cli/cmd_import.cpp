// q6fd import: carrying tables over from generated SQL Server scripts and
// bcp exports (src/import does the work; this file is the command and its
// summary).
#include <cstdio>
#include <optional>
#include <ostream>

#include "cli/command.h"
#include "cli/data_open.h"
#include "cli/progress.h"
#include "import/importer.h"
#include "platform/adodb/connection.h"

namespace q6::cli {
namespace {

// One progress line, redrawn in place on a terminal.
void ShowProgress(const std::string& table, int64_t done, int64_t total, double seconds) {
  double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  std::string of = total > 0 ? "/" + std::to_string(total) : "";
  std::fprintf(stderr, "\r\033[K  %-24s %lld%s rows  %.0f rows/s", table.c_str(),
               static_cast<long long>(done), of.c_str(), rate);
  if (done >= total && (total > 0 || done == 0)) std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
}

std::string JsonList(const std::vector<std::string>& items) {
  std::string s = "[";
  for (size_t i = 0; i < items.size(); ++i) s += (i ? ", " : "") + JsonString(items[i]);
  return s + "]";
}

void PrintJson(const import::ImportReport& r, std::ostream& out) {
  out << "{\"dry_run\": " << (r.dry_run ? "true" : "false")
      << ", \"refused\": " << (r.refused ? "true" : "false") << ", \"tables\": [";
  for (size_t i = 0; i < r.tables.size(); ++i) {
    const auto& t = r.tables[i];
    out << (i ? ", " : "") << "{\"name\": " << JsonString(t.name) << ", \"rows\": " << t.rows
        << ", \"written\": " << (t.written ? "true" : "false")
        << ", \"error\": " << JsonString(t.error) << ", \"notes\": " << JsonList(t.notes) << "}";
  }
  out << "], \"skipped\": " << JsonList(r.skipped) << ", \"errors\": " << JsonList(r.errors)
      << ", \"existing\": " << JsonList(r.existing) << "}\n";
}

void PrintText(const std::string& dsn, const import::ImportReport& r, std::ostream& out) {
  if (r.refused) {
    out << "nothing imported: " << dsn << " already has";
    for (size_t i = 0; i < r.existing.size(); ++i) out << (i ? ", " : " ") << r.existing[i];
    out << " (--replace drops and imports them again)\n";
    return;
  }
  int64_t rows = 0;
  int written = 0;
  out << (r.dry_run ? "dry run, nothing written: " : "") << "import into " << dsn << "\n";
  for (const auto& t : r.tables) {
    char line[160];
    std::string state = !t.error.empty() ? "not imported"
                        : r.dry_run      ? "would be imported"
                                         : "imported";
    std::snprintf(line, sizeof line, "  %-28s %10lld rows  %s", t.name.c_str(),
                  static_cast<long long>(t.rows), state.c_str());
    out << line;
    if (t.written && t.seconds > 0)
      out << " (" << static_cast<long long>(static_cast<double>(t.rows) / t.seconds) << " rows/s)";
    out << "\n";
    if (!t.error.empty()) out << "      why: " << t.error << "\n";
    for (const auto& n : t.notes) out << "      " << n << "\n";
    if (t.written || (r.dry_run && t.error.empty())) rows += t.rows, ++written;
  }
  for (const auto& s : r.skipped) out << "  not carried: " << s << "\n";
  for (const auto& e : r.errors) out << "  error: " << e << "\n";
  out << written << " table(s), " << rows << " row(s)" << (r.dry_run ? " to import" : " imported")
      << (r.replaced.empty() ? "" : "; replaced: ");
  for (size_t i = 0; i < r.replaced.size(); ++i) out << (i ? ", " : "") << r.replaced[i];
  out << "\n";
}

int Run(const Invocation& in, std::ostream& out) {
  std::vector<std::string> files(in.positional.begin() + 1, in.positional.end());
  if (files.empty()) throw UsageError("give at least one FILE to import");
  const std::string& dsn = in.At(0);
  import::ImportOptions io;
  io.dry_run = in.Has("--dry-run");
  io.replace = in.Has("--replace");
  io.encoding = in.Value("--encoding");
  if (!in.opt.json() && ProgressLine::Wanted()) io.progress = ShowProgress;
  import::ImportReport r;
  if (io.dry_run) {
    // A dry run needs no database: without one there is only nothing to
    // compare with.
    std::optional<CommandSource> source;
    try {
      source.emplace(dsn, Creates::kNothing);
    } catch (const ComError&) {
    }
    if (source) {
      r = import::Import(*source->Lease(), files, io);
    } else {
      Connection none;
      r = import::Import(none, files, io);
    }
  } else {
    CommandSource source(dsn, Creates::kDatabase);
    r = import::Import(*source.Lease(), files, io);
  }
  if (in.opt.json())
    PrintJson(r, out);
  else
    PrintText(dsn, r, out);
  if (!r.ok()) {
    size_t failed = r.errors.size();
    for (const auto& t : r.tables) failed += t.error.empty() ? 0 : 1;
    // A wait that ran out or a lost connection keeps its kind, so the exit
    // status says "try again" (or "cannot reach") as other commands' do.
    throw ComError(E_FAIL,
                   r.refused ? "nothing imported: " + dsn + " already has tables of the import"
                             : std::to_string(failed) + " error(s): not everything was imported",
                   "q6fd", r.failure_kind(), "");
  }
  return 0;
}

}  // namespace

std::vector<Command> ImportCommands() {
  return {{"import",
           "DSN FILE...",
           "create and fill tables from SQL Server scripts (.sql) and bcp exports",
           {{"--dry-run", "", "read and check every file, report, write nothing"},
            {"--replace", "", "drop tables that exist already and import them again"},
            {"--encoding", "NAME",
             "the encoding of scripts without a byte-order mark: GBK, BIG5, CP1252 ... "
             "(default UTF-8)"}},
           Run,
           Access::kWrite,
           "A FILE ending in .sql is a generated script (UTF-8, UTF-16 with a byte-order "
           "mark, or the encoding --encoding names; GO between batches); a byte not valid in "
           "it refuses the script, naming its line. Any other FILE is a bcp character export "
           "loaded into "
           "the table named by its file name, with its format file beside it (NAME.fmt). "
           "Each table is loaded into a staging table and swapped in by one short "
           "transaction: it arrives whole or not at all, and readers of a replaced table never "
           "wait for the load. FD_Entities, FD_Fields and FD_Locks are merged into the "
           "component's own tables; FD_LockHolders is never carried. A dry run needs no "
           "database. When anything was refused or not imported, the report is followed by an "
           "error on standard error and exit status 1, or 4 when a table met a database "
           "held by another client for longer than the data source waits (try again)."}};
}

}  // namespace q6::cli
