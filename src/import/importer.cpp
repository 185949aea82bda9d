// The import: plan, refuse or write table by table.
#include "import/importer.h"

#include <strings.h>

#include <chrono>
#include <cstdint>

#include "import/plan.h"
#include "import/row_shape.h"
#include "import/script_parser.h"
#include "import/script_text.h"
#include "import/table_writer.h"
#include "platform/drivers/driver.h"
#include "platform/schema/schema.h"
#include "runtime/com_error.h"

namespace q6::import {

bool ImportReport::ok() const {
  if (refused || !errors.empty()) return false;
  for (const TableReport& t : tables)
    if (!t.error.empty()) return false;
  return true;
}

ErrorKind ImportReport::failure_kind() const {
  for (const TableReport& t : tables)
    if (IsTransient(t.kind) || t.kind == ErrorKind::kConnectionLost) return t.kind;
  return ErrorKind::kOther;
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr int64_t kProgressEvery = 8192;

// Writes the rows of one table's INSERT ranges, parsing them again.
class WriteSink : public ScriptSink {
 public:
  WriteSink(const PlannedTable& t, TableWriter& w, const std::function<void()>& tick)
      : writer_(w), shape_(t.def), tick_(tick) {}
  void OnTable(TableDef) override {}
  void OnDefault(const std::string&, const std::string&, const std::string&) override {}
  void OnPrimaryKey(const std::string&, std::vector<std::string>) override {}
  void OnIndex(const std::string&, IndexDef) override {}
  void OnTableNote(const std::string&, const std::string&) override {}
  void OnSkipped(const std::string&) override {}
  void OnRow(const std::string&, const std::vector<std::string>& columns,
             const std::vector<Literal>& values, size_t, size_t) override {
    values_ = values;
    std::string error;
    if (!Write(columns, values_, &error)) Throw(E_FAIL, error);
  }
  // False with `*error` for a row that does not fit the table.
  bool Write(const std::vector<std::string>& columns, std::vector<Literal>& values,
             std::string* error) {
    if (!shape_.Convert(columns, values, &row_, error)) return false;
    writer_.Add(shape_.load_columns(), row_);
    tick_();
    return true;
  }

 private:
  TableWriter& writer_;
  RowShape shape_;
  std::vector<Variant> row_;
  std::vector<Literal> values_;
  const std::function<void()>& tick_;
};

void Fill(const Plan& plan, const PlannedTable& t, TableWriter& w,
          const std::function<void()>& tick) {
  WriteSink sink(t, w, tick);
  // The piece read last: consecutive ranges often lie in one piece.
  size_t file = SIZE_MAX;
  uint64_t piece = UINT64_MAX;
  std::string text;
  for (const RowRange& r : t.ranges) {
    if (r.file != file || r.piece_begin != piece) {
      text = plan.scripts[r.file]->Read(r.piece_begin, r.piece_end);
      file = r.file, piece = r.piece_begin;
    }
    if (r.end > text.size()) Throw(E_FAIL, "rows changed between reads");
    try {
      ParseBatch(std::string_view(text).substr(r.begin, r.end - r.begin), sink);
    } catch (const BatchError& e) {
      Throw(E_FAIL, "rows changed between reads: " + e.error.message);
    }
  }
  for (const BcpSource& src : t.bcp) {
    BcpReader reader(src.data_path, src.format);
    std::vector<Literal> lits;
    std::string error;
    while (reader.Next(&lits))
      if (!sink.Write(reader.columns(), lits, &error))
        Throw(E_FAIL, src.data_path + " row " + std::to_string(reader.row_number()) + ": " + error);
  }
}

// The component's own tables: never created or dropped by an import (their
// triggers and holder rows would go), their rows merged into them instead.
// The holder table names processes of the machine that wrote it: never
// carried.
bool IsComponentTable(const std::string& name) {
  for (const char* own : {"FD_Entities", "FD_Fields", "FD_Locks"})
    if (strcasecmp(name.c_str(), own) == 0) return true;
  return false;
}

bool IsHolderTable(const std::string& name) {
  return strcasecmp(name.c_str(), "FD_LockHolders") == 0;
}

}  // namespace

ImportReport Import(Connection& con, const std::vector<std::string>& files,
                    const ImportOptions& options) {
  Plan plan = MakePlan(files, options.dry_run, options.encoding);
  ImportReport report;
  report.dry_run = options.dry_run;
  report.skipped = plan.skipped;
  report.errors = plan.errors;
  Driver* driver = con.State() == kAdStateOpen ? &con.driver() : nullptr;
  const Engine engine = driver ? driver->engine() : Engine::SQLite;
  bool merges = false;
  for (PlannedTable& t : plan.tables) {
    if (IsHolderTable(t.def.name)) {
      report.skipped.push_back(t.def.name +
                               " (lock holders name processes of the machine that wrote them)");
      t.error = "skipped";
      continue;
    }
    TableReport tr{t.def.name, t.rows, false, t.error, t.def.notes, 0};
    if (IsComponentTable(t.def.name) && t.error.empty()) {
      tr.notes.push_back(
          "the component's own table: rows merged into it (created by q6fd init "
          "where missing), its triggers and rows kept");
      merges = true;
    } else {
      TableStatements(t.def, engine, &tr.notes);
      if (driver && t.error.empty() && TableExists(*driver, t.def.name))
        report.existing.push_back(t.def.name);
    }
    report.tables.push_back(std::move(tr));
  }
  if (!report.existing.empty() && !options.replace) {
    report.refused = true;
    return report;
  }
  if (options.dry_run) return report;
  if (!driver) Throw(E_FAIL, "no data source open to import into");
  if (engine == Engine::PostgreSQL) driver->Execute("CREATE EXTENSION IF NOT EXISTS citext");
  if (merges) CreateSchema(con);
  const std::string schema = TargetSchema(*driver);
  size_t i = 0;
  const TableReport* stopped_by = nullptr;
  for (const PlannedTable& t : plan.tables) {
    if (IsHolderTable(t.def.name)) continue;
    TableReport& tr = report.tables[i++];
    if (!t.error.empty()) continue;
    if (stopped_by) {
      tr.error = "not attempted: the import stopped at " + stopped_by->name + " (" +
                 ErrorKindName(stopped_by->kind) + ")";
      continue;
    }
    auto start = Clock::now();
    int64_t done = 0;
    auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    std::function<void()> tick = [&] {
      if (++done % kProgressEvery == 0 && options.progress)
        options.progress(t.def.name, done, t.rows, seconds());
    };
    try {
      const WriteMode mode = IsComponentTable(t.def.name) ? WriteMode::kMerge
                             : options.replace            ? WriteMode::kReplace
                                                          : WriteMode::kCreate;
      TableWriter writer(*driver, t.def, mode, schema);
      Fill(plan, t, writer, tick);
      writer.Commit();
      tr.written = true;
      tr.rows = done;
      for (const std::string& e : report.existing)
        if (e == t.def.name) report.replaced.push_back(e);
    } catch (const ComError& e) {
      tr.error = e.description();
      tr.kind = e.kind();
      if (IsTransient(tr.kind) || tr.kind == ErrorKind::kConnectionLost) stopped_by = &tr;
    }
    tr.seconds = seconds();
    if (options.progress) options.progress(t.def.name, done, done, tr.seconds);
  }
  return report;
}

}  // namespace q6::import
