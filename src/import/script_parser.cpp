// Parsing the fixed layout of generated scripts.
#include "import/script_parser.h"

#include <strings.h>

#include <cctype>

namespace q6::import {
namespace {

constexpr const char* kStorageNote =
    "storage clauses dropped (ON [filegroup], TEXTIMAGE_ON, WITH (...)): the engine places data "
    "itself";

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class Parser {
 public:
  Parser(std::string_view text, ScriptSink& sink) : lx_(text), sink_(sink) {}

  void Run() {
    try {
      while (lx_.peek().kind != Token::kEnd) {
        if (lx_.TakeSymbol(';')) continue;
        if (!Statement()) return;
      }
    } catch (const SyntaxError& e) {
      throw BatchError{e, table_};
    }
  }

 private:
  // One statement; false when the rest of the batch is skipped.
  bool Statement() {
    table_.clear();
    stmt_begin_ = lx_.peek().offset;
    if (lx_.TakeWord("SET")) {
      if (lx_.TakeWord("IDENTITY_INSERT"))
        ObjectName();
      else
        lx_.ExpectName();
      lx_.Take();
      return true;
    }
    if (lx_.TakeWord("USE")) return lx_.ExpectName(), true;
    if (lx_.TakeWord("PRINT")) return lx_.Take(), true;
    if (lx_.IsWord("BEGIN") || lx_.IsWord("COMMIT") || lx_.IsWord("ROLLBACK")) {
      lx_.Take();
      if (!lx_.TakeWord("TRANSACTION")) lx_.TakeWord("TRAN");
      return true;
    }
    if (lx_.TakeWord("INSERT")) return Insert(), true;
    if (lx_.TakeWord("CREATE")) return Create();
    if (lx_.TakeWord("ALTER")) {
      if (lx_.TakeWord("TABLE")) return AlterTable(), true;
      return SkipBatch("ALTER " + lx_.peek().text);
    }
    for (const char* w : {"EXEC", "EXECUTE", "IF", "GRANT", "DENY", "REVOKE", "DECLARE"})
      if (lx_.IsWord(w)) return SkipBatch(Lower(w) + " batch");
    lx_.Fail("a statement");
  }

  bool SkipBatch(const std::string& what) {
    sink_.OnSkipped(what);
    return false;
  }

  // [schema].[name] -> name.
  std::string ObjectName(std::string* schema = nullptr) {
    std::string name = lx_.ExpectName();
    while (lx_.TakeSymbol('.')) {
      if (schema) *schema = name;
      name = lx_.ExpectName();
    }
    return name;
  }

  std::vector<std::string> ColumnList() {
    std::vector<std::string> cols;
    lx_.ExpectSymbol('(');
    do {
      cols.push_back(lx_.ExpectName());
      if (!lx_.TakeWord("ASC")) lx_.TakeWord("DESC");
    } while (lx_.TakeSymbol(','));
    lx_.ExpectSymbol(')');
    return cols;
  }

  bool Create() {
    bool unique = lx_.TakeWord("UNIQUE");
    if (!lx_.TakeWord("CLUSTERED")) lx_.TakeWord("NONCLUSTERED");
    if (lx_.TakeWord("INDEX")) return CreateIndex(unique), true;
    if (lx_.TakeWord("TABLE")) return CreateTable(), true;
    if (lx_.TakeWord("OR")) lx_.ExpectWord("ALTER");
    std::string kind = Lower(lx_.peek().text);
    if (kind == "proc") kind = "procedure";
    lx_.Take();
    std::string what = kind;
    if (lx_.peek().kind == Token::kName || lx_.peek().kind == Token::kWord) {
      std::string schema;
      std::string name = ObjectName(&schema);
      what += " " + (schema.empty() ? "" : schema + ".") + name;
    }
    return SkipBatch(what);
  }

  // ON [PRIMARY], TEXTIMAGE_ON [x], FILESTREAM_ON [x], WITH (...) after a
  // table or a constraint; noted on `t` while it is being defined, else on
  // the statement's table.
  void StorageClauses(TableDef* t = nullptr) {
    auto note = [&](const std::string& n) { t ? t->Note(n) : sink_.OnTableNote(table_, n); };
    for (;;) {
      if (lx_.TakeWord("ON") || lx_.TakeWord("TEXTIMAGE_ON") || lx_.TakeWord("FILESTREAM_ON")) {
        lx_.ExpectName();
        if (lx_.IsSymbol('(')) lx_.TakeGroup();  // a partition scheme's column
        note(kStorageNote);
      } else if (lx_.TakeWord("WITH")) {
        lx_.TakeGroup();
        note(kStorageNote);
      } else {
        return;
      }
    }
  }

  void CreateIndex(bool unique) {
    IndexDef ix;
    ix.unique = unique;
    ix.name = lx_.ExpectName();
    lx_.ExpectWord("ON");
    table_ = ObjectName();
    ix.columns = ColumnList();
    if (lx_.TakeWord("INCLUDE")) {
      lx_.TakeGroup();
      sink_.OnTableNote(table_, "INCLUDE columns of index " + ix.name + " dropped");
    }
    if (lx_.TakeWord("WHERE")) lx_.Fail("an index without a filter");
    StorageClauses();
    sink_.OnIndex(table_, std::move(ix));
  }

  void CreateTable() {
    TableDef t;
    std::string schema;
    t.name = table_ = ObjectName(&schema);
    if (!schema.empty() && Lower(schema) != "dbo")
      t.Note("schema " + schema + " dropped: tables live in the data source's schema");
    lx_.ExpectSymbol('(');
    do {
      if (lx_.IsSymbol(')')) break;
      if (lx_.IsWord("CONSTRAINT") || lx_.IsWord("PRIMARY") || lx_.IsWord("UNIQUE") ||
          lx_.IsWord("FOREIGN") || lx_.IsWord("CHECK"))
        TableConstraint(&t);
      else
        t.columns.push_back(Column(&t));
    } while (lx_.TakeSymbol(','));
    lx_.ExpectSymbol(')');
    StorageClauses(&t);
    sink_.OnTable(std::move(t));
  }

  ColumnDef Column(TableDef* t) {
    ColumnDef c;
    c.name = lx_.ExpectName();
    if (lx_.TakeWord("AS")) {
      c.computed = true;
      if (lx_.IsSymbol('('))
        lx_.TakeGroup();
      else
        lx_.Take();
      lx_.TakeWord("PERSISTED");
    } else {
      c.type = Lower(ObjectName(&c.type_owner));
      c.type_owner = Lower(c.type_owner);
      if (lx_.TakeSymbol('(')) {
        do c.args.push_back(Lower(lx_.Take().text));
        while (lx_.TakeSymbol(','));
        lx_.ExpectSymbol(')');
      }
    }
    for (;;) {
      if (lx_.TakeWord("COLLATE")) {
        std::string coll = lx_.ExpectName();
        c.case_sensitive = coll.find("_CS") != std::string::npos;
      } else if (lx_.TakeWord("IDENTITY")) {
        c.identity = true;
        if (lx_.TakeSymbol('(')) {
          c.seed = std::stoll(Signed());
          lx_.ExpectSymbol(',');
          c.increment = std::stoll(Signed());
          lx_.ExpectSymbol(')');
        }
      } else if (lx_.TakeWord("NOT")) {
        if (lx_.TakeWord("FOR"))
          lx_.ExpectWord("REPLICATION");
        else
          lx_.ExpectWord("NULL"), c.nullable = false;
      } else if (lx_.TakeWord("NULL") || lx_.TakeWord("ROWGUIDCOL") || lx_.TakeWord("SPARSE") ||
                 lx_.TakeWord("PERSISTED")) {
      } else if (lx_.TakeWord("CONSTRAINT")) {
        lx_.ExpectName();
      } else if (lx_.TakeWord("DEFAULT")) {
        c.default_expr = DefaultExpr();
      } else if (lx_.IsWord("PRIMARY") || lx_.IsWord("UNIQUE")) {
        bool pk = lx_.TakeWord("PRIMARY");
        if (pk)
          lx_.ExpectWord("KEY");
        else
          lx_.ExpectWord("UNIQUE");
        if (!lx_.TakeWord("CLUSTERED")) lx_.TakeWord("NONCLUSTERED");
        StorageClauses(t);
        if (pk)
          t->primary_key = {c.name};
        else
          t->indexes.push_back({"", true, {c.name}});
      } else {
        return c;
      }
    }
  }

  std::string Signed() {
    std::string s = lx_.TakeSymbol('-') ? "-" : "";
    if (lx_.peek().kind != Token::kNumber) lx_.Fail("a number");
    return s + lx_.Take().text;
  }

  std::string DefaultExpr() {
    if (lx_.IsSymbol('(')) return std::string(lx_.TakeGroup());
    return lx_.Take().text;
  }

  // CONSTRAINT [n] PRIMARY KEY | UNIQUE | FOREIGN KEY | CHECK | DEFAULT.
  void TableConstraint(TableDef* t) {
    std::string name;
    if (lx_.TakeWord("CONSTRAINT")) name = lx_.ExpectName();
    if (lx_.TakeWord("PRIMARY")) {
      lx_.ExpectWord("KEY");
      if (!lx_.TakeWord("CLUSTERED")) lx_.TakeWord("NONCLUSTERED");
      t->primary_key = ColumnList();
      StorageClauses(t);
    } else if (lx_.TakeWord("UNIQUE")) {
      if (!lx_.TakeWord("CLUSTERED")) lx_.TakeWord("NONCLUSTERED");
      t->indexes.push_back({name, true, ColumnList()});
      StorageClauses(t);
    } else if (lx_.TakeWord("FOREIGN")) {
      lx_.ExpectWord("KEY");
      ColumnList();
      lx_.ExpectWord("REFERENCES");
      ObjectName();
      if (lx_.IsSymbol('(')) ColumnList();
      while (lx_.TakeWord("ON")) {
        lx_.Take();  // DELETE / UPDATE
        if (lx_.TakeWord("NO") || lx_.TakeWord("SET"))
          lx_.Take();
        else
          lx_.ExpectWord("CASCADE");
      }
      if (lx_.TakeWord("NOT")) lx_.ExpectWord("FOR"), lx_.ExpectWord("REPLICATION");
      t->Note("foreign key " + name + " dropped (tables are loaded one at a time)");
    } else if (lx_.TakeWord("CHECK")) {
      if (lx_.TakeWord("NOT")) lx_.ExpectWord("FOR"), lx_.ExpectWord("REPLICATION");
      if (!lx_.IsSymbol('(')) lx_.Fail("'('");
      std::string expr(lx_.TakeGroup());
      t->Note("check constraint " + name + " " + expr + " dropped (T-SQL expression)");
    } else {
      lx_.Fail("PRIMARY KEY, UNIQUE, FOREIGN KEY or CHECK");
    }
  }

  void AlterTable() {
    table_ = ObjectName();
    if (lx_.TakeWord("SET")) return (void)lx_.TakeGroup();
    if (lx_.TakeWord("WITH")) {
      if (!lx_.TakeWord("CHECK")) lx_.ExpectWord("NOCHECK");
    }
    if (lx_.TakeWord("ENABLE") || lx_.TakeWord("DISABLE")) {
      lx_.ExpectWord("TRIGGER");
      lx_.ExpectName();
      return;
    }
    if (lx_.TakeWord("CHECK") || lx_.TakeWord("NOCHECK")) {
      lx_.ExpectWord("CONSTRAINT");
      lx_.ExpectName();
      return;
    }
    lx_.ExpectWord("ADD");
    std::string name;
    if (lx_.TakeWord("CONSTRAINT")) name = lx_.ExpectName();
    if (lx_.TakeWord("DEFAULT")) {
      std::string expr = DefaultExpr();
      lx_.ExpectWord("FOR");
      sink_.OnDefault(table_, lx_.ExpectName(), expr);
      return;
    }
    TableDef scratch;
    scratch.name = table_;
    if (lx_.IsWord("PRIMARY") || lx_.IsWord("UNIQUE") || lx_.IsWord("FOREIGN") ||
        lx_.IsWord("CHECK")) {
      // The CREATE TABLE constraint syntax, on a scratch table.
      TableConstraint(&scratch);
      if (!scratch.primary_key.empty()) sink_.OnPrimaryKey(table_, scratch.primary_key);
      for (IndexDef& ix : scratch.indexes) {
        ix.name = name;
        sink_.OnIndex(table_, ix);
      }
      for (const std::string& n : scratch.notes) sink_.OnTableNote(table_, n);
      return;
    }
    lx_.Fail("DEFAULT or a constraint");
  }

  void Insert() {
    lx_.TakeWord("INTO");
    table_ = ObjectName();
    std::vector<std::string> cols;
    if (lx_.IsSymbol('(')) cols = ColumnList();
    lx_.ExpectWord("VALUES");
    std::vector<std::vector<Literal>> rows;
    do {
      lx_.ExpectSymbol('(');
      rows.emplace_back();
      do rows.back().push_back(Value());
      while (lx_.TakeSymbol(','));
      lx_.ExpectSymbol(')');
    } while (lx_.TakeSymbol(','));
    size_t end = lx_.peek().offset;
    for (const auto& r : rows) sink_.OnRow(table_, cols, r, stmt_begin_, end);
  }

  void SkipType() {
    ObjectName();
    if (lx_.IsSymbol('(')) lx_.TakeGroup();
  }

  Literal Value() {
    if (lx_.TakeWord("NULL")) return {};
    if (lx_.TakeWord("CAST")) {
      lx_.ExpectSymbol('(');
      Literal v = Value();
      lx_.ExpectWord("AS");
      SkipType();
      lx_.ExpectSymbol(')');
      return v;
    }
    if (lx_.TakeWord("CONVERT")) {
      lx_.ExpectSymbol('(');
      SkipType();
      lx_.ExpectSymbol(',');
      Literal v = Value();
      if (lx_.TakeSymbol(',')) Signed();
      lx_.ExpectSymbol(')');
      return v;
    }
    if (lx_.IsSymbol('-') || lx_.IsSymbol('+')) {
      std::string sign = lx_.Take().text == "-" ? "-" : "";
      if (lx_.peek().kind != Token::kNumber) lx_.Fail("a number");
      return {Literal::kNumber, sign + lx_.Take().text};
    }
    switch (lx_.peek().kind) {
      case Token::kString:
        return {Literal::kString, lx_.Take().text};
      case Token::kNumber:
        return {Literal::kNumber, lx_.Take().text};
      case Token::kBinary:
        return {Literal::kBinary, lx_.Take().text};
      default:
        lx_.Fail("a value");
    }
  }

  Lexer lx_;
  ScriptSink& sink_;
  std::string table_;      // of the statement being read
  size_t stmt_begin_ = 0;  // offset of the statement being read
};

}  // namespace

void ParseBatch(std::string_view text, ScriptSink& sink) { Parser(text, sink).Run(); }

std::vector<std::string> TablesNamedFrom(std::string_view text, size_t offset) {
  std::vector<std::string> out;
  try {
    Lexer lx(text.substr(offset));
    while (lx.peek().kind != Token::kEnd) {
      bool named = false;
      if (lx.TakeWord("INSERT"))
        named = lx.TakeWord("INTO") || true;
      else if (lx.TakeWord("CREATE") || lx.TakeWord("ALTER"))
        named = lx.TakeWord("TABLE");
      else
        lx.Take();
      if (!named || (lx.peek().kind != Token::kName && lx.peek().kind != Token::kWord)) continue;
      std::string name = lx.Take().text;
      while (lx.TakeSymbol('.') &&
             (lx.peek().kind == Token::kName || lx.peek().kind == Token::kWord))
        name = lx.Take().text;
      out.push_back(name);
    }
  } catch (const SyntaxError&) {
  }
  return out;
}

}  // namespace q6::import
