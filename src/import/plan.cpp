// Reading every file once to learn the tables and check every row.
#include "import/plan.h"

#include <strings.h>

#include <filesystem>
#include <memory>
#include <set>

#include "import/row_shape.h"
#include "import/script_parser.h"
#include "import/script_text.h"
#include "runtime/com_error.h"

namespace q6::import {

PlannedTable* Plan::Find(const std::string& name) {
  for (PlannedTable& t : tables)
    if (strcasecmp(t.def.name.c_str(), name.c_str()) == 0) return &t;
  return nullptr;
}

namespace {

void Fail(PlannedTable* t, const std::string& why) {
  if (t && t->error.empty()) t->error = why;
}

// Collects one script's statements into the plan.
class PlanSink : public ScriptSink {
 public:
  PlanSink(Plan& plan, size_t file, std::string path) : plan_(plan), file_(file), path_(path) {}
  void StartBatch(const ScriptPiece& b) {
    batch_ = &b;
    touched_.clear();
  }
  const std::vector<std::string>& touched() const { return touched_; }

  void OnTable(TableDef def) override {
    Touch(def.name);
    if (PlannedTable* old = plan_.Find(def.name)) {
      Fail(old, "created twice (" + Where() + ")");
      return;
    }
    PlannedTable t;
    t.source = path_;
    for (const ColumnDef& c : def.columns) {
      std::string note = MapType(c, Engine::SQLite).note;
      if (!note.empty() && MapType(c, Engine::SQLite).kind == ValueKind::kNone)
        def.Note("column " + c.name + ": " + note);
    }
    t.def = std::move(def);
    plan_.tables.push_back(std::move(t));
  }
  void OnDefault(const std::string& table, const std::string& column,
                 const std::string& expr) override {
    ColumnDef* c = nullptr;
    if (PlannedTable* t = Table(table)) {
      c = t->def.Find(column);
      if (!c) Fail(t, "default for unknown column " + column + " (" + Where() + ")");
    }
    if (c) c->default_expr = expr;
  }
  void OnPrimaryKey(const std::string& table, std::vector<std::string> columns) override {
    if (PlannedTable* t = Table(table)) t->def.primary_key = std::move(columns);
  }
  void OnIndex(const std::string& table, IndexDef index) override {
    if (PlannedTable* t = Table(table)) t->def.indexes.push_back(std::move(index));
  }
  void OnTableNote(const std::string& table, const std::string& note) override {
    if (PlannedTable* t = Table(table)) t->def.Note(note);
  }
  void OnRow(const std::string& table, const std::vector<std::string>& columns,
             const std::vector<Literal>& values, size_t stmt_begin, size_t stmt_end) override {
    PlannedTable* t = Table(table);
    if (!t || !t->error.empty()) return;
    if (!shape_ || shape_table_ != t) {
      shape_ = std::make_unique<RowShape>(t->def);
      shape_table_ = t;
    }
    std::string error;
    if (!shape_->Check(columns, values, &error))
      return Fail(t, "row " + std::to_string(t->rows + 1) + ": " + error + " (" + Where() + ")");
    ++t->rows;
    // Consecutive statements of one table in a piece make one range of text.
    std::vector<RowRange>& rs = t->ranges;
    bool same_piece =
        !rs.empty() && rs.back().file == file_ && rs.back().piece_begin == batch_->raw_begin;
    if (same_piece && rs.back().end == stmt_end) return;  // another row of the same statement
    if (same_piece && rs.back().end == stmt_begin)
      rs.back().end = stmt_end;
    else
      rs.push_back({file_, batch_->raw_begin, batch_->raw_end, stmt_begin, stmt_end});
  }
  void OnSkipped(const std::string& what) override {
    plan_.skipped.push_back(what + " (" + Where() + ")");
  }

  std::string Where() const {
    return path_ + " batch " + std::to_string(batch_->batch) + ", line " +
           std::to_string(batch_->first_line);
  }

 private:
  void Touch(const std::string& table) { touched_.push_back(table); }
  PlannedTable* Table(const std::string& name) {
    Touch(name);
    PlannedTable* t = plan_.Find(name);
    if (!t && unknown_.insert(name).second)
      plan_.errors.push_back("table " + name + " is used before CREATE TABLE (" + Where() + ")");
    return t;
  }
  Plan& plan_;
  size_t file_;
  std::string path_;
  const ScriptPiece* batch_ = nullptr;
  std::vector<std::string> touched_;
  std::set<std::string> unknown_;  // tables reported as used before CREATE TABLE
  std::unique_ptr<RowShape> shape_;
  const PlannedTable* shape_table_ = nullptr;
};

// Whether `t` takes anything from script `file`.
bool UsesScript(const PlannedTable& t, const std::string& path, size_t file) {
  if (t.source == path) return true;
  for (const RowRange& r : t.ranges)
    if (r.file == file) return true;
  return false;
}

void PlanScript(Plan& plan, const std::string& path, const std::string& encoding) {
  size_t file = plan.scripts.size();
  try {
    plan.scripts.push_back(std::make_unique<ScriptFile>(path, encoding));
  } catch (const ComError& e) {
    plan.errors.push_back(e.description());
    return;
  }
  ScriptFile& script = *plan.scripts.back();
  PlanSink sink(plan, file, path);
  ScriptPiece b;
  for (;;) {
    try {
      if (!script.Next(&b)) break;
    } catch (const ComError& e) {
      // Bytes that are not valid in the script's encoding refuse the whole
      // script, pieces read before them included.
      plan.errors.push_back(e.description());
      for (PlannedTable& t : plan.tables)
        if (UsesScript(t, path, file)) Fail(&t, e.description());
      return;
    }
    sink.StartBatch(b);
    try {
      ParseBatch(b.text, sink);
    } catch (const BatchError& e) {
      std::string where = path + " batch " + std::to_string(b.batch) + ", line " +
                          std::to_string(b.first_line + e.error.line - 1);
      plan.errors.push_back("syntax error at " + where + ": " + e.error.message);
      std::vector<std::string> hit = sink.touched();
      if (!e.table.empty()) hit.push_back(e.table);
      for (const std::string& t : TablesNamedFrom(b.text, 0)) hit.push_back(t);
      for (const std::string& name : hit)
        Fail(plan.Find(name), "the batch at " + where + " has a syntax error");
    }
  }
}

void PlanBcp(Plan& plan, const std::string& path, bool check_rows) {
  std::filesystem::path p(path);
  std::string table = p.stem().string();
  std::filesystem::path fmt = p;
  fmt.replace_extension(".fmt");
  PlannedTable* t = plan.Find(table);
  if (!t) {
    plan.errors.push_back(path + ": no script given creates table " + table);
    return;
  }
  BcpSource src{path, {}};
  try {
    src.format = ParseFormatFile(ReadFileBytes(fmt.string()));
  } catch (const ComError& e) {
    return Fail(t, fmt.string() + ": " + e.description());
  }
  if (!check_rows) {
    t->bcp.push_back(std::move(src));
    return;
  }
  RowShape shape(t->def);
  std::vector<Literal> lits;
  std::string error;
  try {
    BcpReader reader(path, src.format);
    while (reader.Next(&lits)) {
      if (!shape.Check(reader.columns(), lits, &error))
        return Fail(t, path + " row " + std::to_string(reader.row_number()) + ": " + error);
      ++t->rows;
    }
  } catch (const ComError& e) {
    return Fail(t, path + ": " + e.description());
  }
  t->bcp.push_back(std::move(src));
}

}  // namespace

Plan MakePlan(const std::vector<std::string>& files, bool check_bcp_rows,
              const std::string& encoding) {
  Plan plan;
  // Scripts first: they create the tables the bcp files fill.
  for (const std::string& f : files)
    if (std::filesystem::path(f).extension() == ".sql") PlanScript(plan, f, encoding);
  for (const std::string& f : files)
    if (std::filesystem::path(f).extension() != ".sql") PlanBcp(plan, f, check_bcp_rows);
  return plan;
}

}  // namespace q6::import
