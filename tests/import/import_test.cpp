// Importing generated scripts and bcp exports, on both engines: values read
// back through ADODB.Recordset equal the source, a broken table leaves
// nothing behind, a dry run writes nothing, existing tables are refused.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "import/importer.h"
#include "import/row_shape.h"
#include "import/script_parser.h"
#include "import/script_reader.h"
#include "import/script_text.h"
#include "import/table_writer.h"
#include "platform/drivers/driver.h"
#include "platform/schema/schema.h"
#include "runtime/value_date.h"
#include "support/test_db.h"

namespace q6::import {
namespace {

using test::EngineTest;

std::string Utf16Le(const std::string& utf8, bool bom = true) {
  std::string out = bom ? "\xFF\xFE" : "";
  std::u32string cps;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = utf8[i];
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += n;
    auto unit = [&](char32_t u) { out += char(u & 0xFF), out += char(u >> 8); };
    if (cp >= 0x10000)
      unit(0xD800 + ((cp - 0x10000) >> 10)), unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    else
      unit(cp);
  }
  return out;
}

// Every row of every INSERT in a script, by table, converted as the
// columns' kinds say and placed in the table's carried columns (NULL where a
// row names none): the source values a round trip must give back.
struct RowCollector : ScriptSink {
  std::map<std::string, TableDef> defs;
  std::map<std::string, std::vector<std::vector<Variant>>> rows;
  void OnTable(TableDef d) override { defs[d.name] = std::move(d); }
  void OnDefault(const std::string&, const std::string&, const std::string&) override {}
  void OnPrimaryKey(const std::string&, std::vector<std::string>) override {}
  void OnIndex(const std::string&, IndexDef) override {}
  void OnTableNote(const std::string&, const std::string&) override {}
  void OnSkipped(const std::string&) override {}
  void OnRow(const std::string& t, const std::vector<std::string>& cols,
             const std::vector<Literal>& source, size_t, size_t) override {
    std::vector<Literal> values = source;
    RowShape shape(defs.at(t));
    std::vector<Variant> named;
    std::string error;
    ASSERT_TRUE(shape.Convert(cols, values, &named, &error)) << error;
    std::vector<std::string> carried = CarriedColumns(defs.at(t));
    std::vector<Variant> row(carried.size(), Variant::Null());
    for (size_t i = 0; i < named.size(); ++i)
      row[std::find(carried.begin(), carried.end(), shape.load_columns()[i]) - carried.begin()] =
          named[i];
    rows[t].push_back(row);
  }
};

// Equal as the column's kind compares: numbers by value, the rest as text.
void ExpectSame(const Variant& want, const Variant& got, const std::string& where) {
  if (want.IsNull()) {
    EXPECT_TRUE(got.IsNull()) << where << ": " << got.Describe();
  } else if (want.type() == VarType::String && got.IsNumeric()) {
    EXPECT_EQ(Decimal::Parse(want.string()).ToDouble(), got.ToDouble()) << where;
  } else if (want.IsNumeric()) {
    EXPECT_EQ(want.ToDouble(), got.ToDouble()) << where;
  } else if (got.type() == VarType::Date) {  // to the millisecond the source spells
    const std::string w = want.ToString();
    double days = 0;
    ASSERT_TRUE(value::ParseDate(w.substr(0, 19), &days)) << where << ": " << w;
    if (w.size() > 20 && w[19] == '.') days += std::stod("0" + w.substr(19)) / 86400.0;
    EXPECT_NEAR(got.ToDate().days, days, 0.5 / 86400000.0) << where << ": " << w;
  } else {
    EXPECT_EQ(want.ToString(), got.ToString()) << where;
  }
}

class ImportTest : public EngineTest {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = folder() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  ImportReport Run(const std::vector<std::string>& files, ImportOptions opt = {}) {
    auto con = OpenConnection();
    return Import(*con, files, opt);
  }
  bool Exists(const std::string& table) {
    try {
      Scalar("select count(*) from " + table);
      return true;
    } catch (const ComError&) {
      return false;
    }
  }
  // Every source row of `table` equals the row read back (ordered by `key`).
  void ExpectRoundTrip(const RowCollector& src, const std::string& table, const std::string& key) {
    const TableDef& def = src.defs.at(table);
    std::vector<std::string> cols = CarriedColumns(def);
    auto want = src.rows.at(table);
    std::sort(want.begin(), want.end(), [&](auto& a, auto& b) {
      size_t k = std::find(cols.begin(), cols.end(), key) - cols.begin();
      return a[k].ToString() < b[k].ToString();
    });
    auto rs = OpenConnection()->Execute("select * from " + table + " order by " + key);
    size_t r = 0;
    for (; !rs->EOF(); rs->MoveNext(), ++r) {
      ASSERT_LT(r, want.size()) << table;
      for (size_t c = 0; c < cols.size(); ++c)
        ExpectSame(want[r][c], rs->Field(cols[c]),
                   table + " row " + std::to_string(r + 1) + " " + cols[c]);
    }
    EXPECT_EQ(r, want.size()) << table;
  }
};

TEST_P(ImportTest, SampleScriptRoundTripsAndCountersContinue) {
  std::string path = std::string(Q6_SAMPLES_DIR) + "/legacy_fund.sql";
  ImportOptions opt;
  opt.replace = true;  // the fixture made the metadata tables already
  ImportReport r = Run({path}, opt);
  ASSERT_TRUE(r.ok()) << (r.errors.empty() ? "" : r.errors[0]);
  EXPECT_EQ(r.skipped.size(), 3u);  // view, procedure, trigger

  RowCollector src;
  std::string text = ReadTextFile(path);
  for (const Batch& b : SplitBatches(text)) ParseBatch(b.text, src);
  for (auto [table, key] :
       std::vector<std::pair<std::string, std::string>>{{"FD_Entities", "iID"},
                                                        {"FD_Fields", "iID"},
                                                        {"fd_receipt", "oid"},
                                                        {"fd_receipt_line", "oid"},
                                                        {"fd_account", "oid"},
                                                        {"fd_audit_log", "id"}})
    ExpectRoundTrip(src, table, key);

  // Spot checks of what the script spells in its own ways.
  EXPECT_EQ(Scalar("select payer from fd_receipt where oid = '510000000000002'").ToString(),
            "ООО «Ромашка» — Москва");
  EXPECT_EQ(Scalar("select convert(varchar(23), logged_at, 121) from fd_audit_log where id = 2")
                .ToString(),
            "2019-06-28 09:16:40.127");
  EXPECT_EQ(Scalar("select note from fd_audit_log where id = 2").ToString(),
            "Сверка остатков: it's done");
  // Text compares without regard to case, as under the default collation.
  EXPECT_EQ(Scalar("select count(*) from FD_Entities where sName = 'RECEIPT'").ToLong(), 1);
  // The identity column continues after the largest value; defaults apply.
  Exec("insert into fd_audit_log (who) values ('next')");
  EXPECT_EQ(Scalar("select id from fd_audit_log where who = 'next'").ToLong(), 6);
  EXPECT_EQ(Scalar("select flag from fd_audit_log where who = 'next'").ToLong(), 0);
}

TEST_P(ImportTest, BcpExportRoundTrips) {
  Write("ledger.sql",
        "CREATE TABLE [dbo].[ledger]([id] [int] NOT NULL, [name] [nvarchar](40) NULL,\n"
        " [amount] [decimal](12, 2) NULL, [posted] [datetime] NULL, [ok] [bit] NULL,\n"
        " [rate] [float] NULL, CONSTRAINT [PK_ledger] PRIMARY KEY CLUSTERED ([id] ASC)\n"
        " WITH (PAD_INDEX = OFF) ON [PRIMARY]) ON [PRIMARY]\nGO\n");
  Write("ledger.fmt",
        "14.0\n6\n"
        "1 SQLNCHAR 0 24 \"\\t\\0\" 1 id \"\"\n"
        "2 SQLNCHAR 0 80 \"\\t\\0\" 2 name Chinese_PRC_CI_AS\n"
        "3 SQLNCHAR 0 30 \"\\t\\0\" 3 amount \"\"\n"
        "4 SQLNCHAR 0 48 \"\\t\\0\" 4 posted \"\"\n"
        "5 SQLNCHAR 0 2 \"\\t\\0\" 5 ok \"\"\n"
        "6 SQLNCHAR 0 60 \"\\r\\0\\n\\0\" 6 rate \"\"\n");
  // Written as a -w export: UTF-16LE; an empty field is NULL, a NUL is ''.
  std::string data =
      "1\t张三 Ж\t1234567890.12\t2021-03-04 05:06:07.000\t1\t0.5\r\n"
      "2\t\t-0.01\t\t0\t\r\n"
      "3\t" +
      std::string(1, '\0') + "\t\t1999-12-31 23:59:59.997\t\t1e-3\r\n";
  Write("ledger.dat", Utf16Le(data, false));
  ImportReport r = Run({folder() + "/ledger.sql", folder() + "/ledger.dat"});
  ASSERT_TRUE(r.ok()) << (r.tables.empty() ? "" : r.tables[0].error);
  struct Want {
    int id;
    const char *name, *amount, *posted;
    int ok;
    double rate;
  };
  const Want want[] = {{1, "张三 Ж", "1234567890.12", "2021-03-04 05:06:07", 1, 0.5},
                       {2, nullptr, "-0.01", nullptr, 0, -1},
                       {3, "", nullptr, "1999-12-31 23:59:59.997", -1, 0.001}};
  auto rs = OpenConnection()->Execute("select * from ledger order by id");
  for (const Want& w : want) {
    ASSERT_FALSE(rs->EOF());
    std::string at = "row " + std::to_string(w.id);
    EXPECT_EQ(rs->Field("id").ToLong(), w.id) << at;
    ExpectSame(w.name ? Variant(w.name) : Variant::Null(), rs->Field("name"), at);
    ExpectSame(w.amount ? Variant(w.amount) : Variant::Null(), rs->Field("amount"), at);
    ExpectSame(w.posted ? Variant(w.posted) : Variant::Null(), rs->Field("posted"), at);
    ExpectSame(w.ok < 0 ? Variant::Null() : Variant(w.ok), rs->Field("ok"), at);
    ExpectSame(w.rate < 0 ? Variant::Null() : Variant(w.rate), rs->Field("rate"), at);
    rs->MoveNext();
  }
  EXPECT_TRUE(rs->EOF());
}

// Imported decimal, money, date and binary columns hold what they are:
// exact sums in the column's scale, dates compared as dates with literals in
// SQL Server's forms, bytes as byte arrays; and later writes keep the forms.
TEST_P(ImportTest, ColumnsKeepTheirTypes) {
  Write("typed.sql",
        "CREATE TABLE [dbo].[pay]([id] [int] NOT NULL, [amount] [decimal](18, 2) NULL,\n"
        " [fee] [money] NULL, [at] [datetime] NULL, [day] [date] NULL, [raw] [varbinary](8) NULL)\n"
        "GO\n"
        "INSERT [dbo].[pay] VALUES (1, 0.1, 10.005, CAST(N'2024-10-01T08:00:00.500' AS DateTime),"
        " N'2024-10-01', 0x00FF41)\n"
        "INSERT [dbo].[pay] VALUES (2, 0.2, 0.0001, N'2024-03-05T00:00:00', N'2024-03-05', 0x)\n"
        "INSERT [dbo].[pay] VALUES (4, 1.5E2, NULL, NULL, NULL, NULL)\n"
        "GO\n");
  ImportReport r = Run({folder() + "/typed.sql"});
  ASSERT_TRUE(r.ok()) << (r.errors.empty() ? "" : r.errors[0]);
  Exec("insert into pay (id, amount, at) values (3, 1, 'Jan 1 2024')");
  const Variant sum = Scalar("select sum(amount) + sum(fee) from pay");
  ASSERT_EQ(sum.type(), VarType::Decimal) << sum.Describe();
  EXPECT_EQ(sum.ToDecimal(), Decimal::Parse("161.3051"));
  EXPECT_EQ(Scalar("select count(*) from pay where amount = 150").ToLong(), 1);
  // A value the column cannot hold refuses its table, which is not left behind.
  Write("over.sql",
        "CREATE TABLE [dbo].[over]([id] [int] NOT NULL, [amount] [decimal](18, 2) NULL)\nGO\n"
        "INSERT [dbo].[over] VALUES (1, 1E20)\nGO\n");
  r = Run({folder() + "/over.sql"});
  ASSERT_EQ(r.tables.size(), 1u);
  EXPECT_FALSE(r.tables[0].error.empty());
  EXPECT_FALSE(Exists("over"));
  EXPECT_EQ(Scalar("select sum(id) from pay where at > '2024-3-5'").ToLong(), 1);
  EXPECT_EQ(Scalar("select sum(id) from pay where at < '2024/03/05 00:00:01'").ToLong(), 5);
  EXPECT_EQ(Scalar("select count(*) from pay where day = '20241001'").ToLong(), 1);
  EXPECT_EQ(Scalar("select at from pay where id = 3").type(), VarType::Date);
  const Variant raw = Scalar("select raw from pay where id = 1");
  ASSERT_EQ(raw.type(), VarType::ByteArray) << raw.Describe();
  EXPECT_EQ(raw.bytes(), (ByteArray{0x00, 0xff, 0x41}));
}

// Imported times keep the second they were in (seven digits are cut where
// the engine keeps six, never rounded into the next day), a datetime holds
// 1/300 s, and a varchar beside them keeps every digit.
TEST_P(ImportTest, DatesHoldWhatSqlServerStores) {
  Write("late.sql",
        "CREATE TABLE [dbo].[late]([d] [datetime2](7) NULL, [t] [time](7) NULL,"
        " [dt] [datetime] NULL, [v] [varchar](30) NULL)\nGO\n"
        "INSERT [dbo].[late] VALUES (CAST(N'2024-03-05T23:59:59.9999999' AS DateTime2),"
        " CAST(N'23:59:58.9999999' AS Time), CAST(N'2024-03-05T10:20:30.125' AS DateTime),"
        " N'23:59:59.9999999')\nGO\n");
  ImportReport r = Run({folder() + "/late.sql"});
  ASSERT_TRUE(r.ok()) << (r.errors.empty() ? "" : r.errors[0]);
  EXPECT_EQ(Scalar("select convert(varchar(19), d, 120) + '|' + convert(varchar(8), t, 108) + '|'"
                   " + convert(varchar(23), dt, 121) + '|' + v from late")
                .ToString(),
            "2024-03-05 23:59:59|23:59:58|2024-03-05 10:20:30.127|23:59:59.9999999");
}

// A text key is one key under the padding rule, on both engines: 'A  '
// beside 'a' is refused, in the primary key and in a unique index.
TEST_P(ImportTest, TextKeysRefuseTheirPaddedTwins) {
  Write("keyed.sql",
        "CREATE TABLE [dbo].[keyed]([code] [varchar](10) NOT NULL, [name] [nvarchar](10) NULL,\n"
        " CONSTRAINT [PK_keyed] PRIMARY KEY CLUSTERED ([code] ASC))\nGO\n"
        "CREATE UNIQUE NONCLUSTERED INDEX [UX_keyed_name] ON [dbo].[keyed]([name] ASC)\nGO\n"
        "INSERT [dbo].[keyed] VALUES (N'a', N'x')\nGO\n");
  ImportReport r = Run({folder() + "/keyed.sql"});
  ASSERT_TRUE(r.ok()) << (r.errors.empty() ? "" : r.errors[0]);
  EXPECT_THROW(Exec("insert into keyed values ('A  ', 'y')"), ComError);
  EXPECT_THROW(Exec("insert into keyed values ('b', 'X ')"), ComError);
  Exec("insert into keyed values ('b', 'y')");
  EXPECT_EQ(Scalar("select count(*) from keyed where code in (select 'B ')").ToLong(), 1);
}

// Files are read in pieces and blocks: a long batch of rows is cut only
// between INSERT statements (never inside a string that holds a line
// starting with INSERT), a long procedure is still skipped whole, and bcp
// characters cut by a block's end arrive whole.
TEST_P(ImportTest, LongFilesArriveWholeAcrossPiecesAndBlocks) {
  // Every row's text holds a second line that starts with INSERT.
  const std::string fat = std::string(600, 'x') + "\nINSERT [dbo].[s] ([k]) VALUES (0)";
  std::string script = "CREATE TABLE [dbo].[s]([k] [int] NOT NULL, [v] [nvarchar](max))\nGO\n";
  std::string proc = "CREATE PROCEDURE [dbo].[p] AS\nBEGIN\n";
  for (int k = 1; k <= 2400; ++k) {
    const std::string row = "INSERT [dbo].[s] ([k], [v]) VALUES (" + std::to_string(k) + ", N'";
    script += row + fat + "')\n";
    proc += row + fat + "')\n";
  }
  script += "GO\n" + proc + "END\nGO\n";
  ASSERT_GT(proc.size(), kPieceBytes);
  std::string utf8_rows, wide_rows;  // values of 1200 bytes, UTF-8 characters of 3 and 4
  for (int k = 1; k <= 600; ++k) {
    utf8_rows += std::to_string(k) + "\t";
    wide_rows += std::to_string(k) + "\t";
    for (int i = 0; i < 400; ++i) utf8_rows += "中";
    for (int i = 0; i < 300; ++i) wide_rows += "😀";
    utf8_rows += "\r\n";
    wide_rows += "\r\n";
  }
  Write("n.sql",
        "CREATE TABLE [dbo].[n]([k] [int] NOT NULL, [v] [nvarchar](max))\nGO\n"
        "CREATE TABLE [dbo].[w]([k] [int] NOT NULL, [v] [nvarchar](max))\nGO\n");
  const std::string fmt =
      "14.0\n2\n1 SQLCHAR 0 12 \"\\t\" 1 k \"\"\n"
      "2 SQLCHAR 0 0 \"\\r\\n\" 2 v \"\"\n";
  Write("n.fmt", fmt);
  Write("n.dat", utf8_rows);
  Write("w.fmt",
        "14.0\n2\n1 SQLNCHAR 0 12 \"\\t\\0\" 1 k \"\"\n"
        "2 SQLNCHAR 0 0 \"\\r\\0\\n\\0\" 2 v \"\"\n");
  Write("w.dat", Utf16Le(wide_rows));
  ImportReport r =
      Run({Write("s.sql", script), folder() + "/n.sql", folder() + "/n.dat", folder() + "/w.dat"});
  ASSERT_TRUE(r.ok()) << (r.errors.empty() ? "" : r.errors[0]);
  EXPECT_EQ(r.skipped.size(), 1u);  // the procedure, whole
  EXPECT_EQ(Scalar("select count(*) from s").ToLong(), 2400);
  EXPECT_EQ(Scalar("select count(*) from s where k = 0").ToLong(), 0);
  EXPECT_EQ(Scalar("select v from s where k = 1000").ToString(), fat);
  for (const char* t : {"n", "w"}) {
    SCOPED_TRACE(t);
    EXPECT_EQ(Scalar(std::string("select count(*) from ") + t).ToLong(), 600);
    auto rs = OpenConnection()->Execute(std::string("select k, v from ") + t + " order by k");
    for (; !rs->EOF(); rs->MoveNext())
      ASSERT_EQ(rs->Field("v").ToString(), (*t == 'n' ? utf8_rows : wide_rows).substr(2, 1200))
          << "row " << rs->Field("k").ToLong();
  }
}

// A table whose rows cannot all be written leaves nothing of itself; the
// tables before it stay imported.
TEST_P(ImportTest, BrokenTableLeavesNothing) {
  struct Case {
    const char* name;
    const char* rows;  // the third batch: rows of table b
  };
  const Case cases[] = {
      {"syntax error in the third batch",
       "INSERT [dbo].[b] ([k], [v]) VALUES (1, N'x')\nINSERT [dbo].[b] ([k], [v]) VALUES (2, N'y'"},
      {"a value that is no date",
       "INSERT [dbo].[b] ([k], [d]) VALUES (1, CAST(N'2020-01-01T00:00:00' AS DateTime))\n"
       "INSERT [dbo].[b] ([k], [d]) VALUES (2, N'yesterday')"},
      {"a key the engine rejects",
       "INSERT [dbo].[b] ([k], [v]) VALUES (1, N'x')\nINSERT [dbo].[b] ([k], [v]) VALUES (1, "
       "N'y')"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string a = "a" + std::to_string(++n), b = "b" + std::to_string(n);
    std::string rows = c.rows;
    for (size_t at; (at = rows.find("[b]")) != std::string::npos;)
      rows.replace(at, 3, "[" + b + "]");
    std::string script =  // batch 1: a and its row; 2: b; 3: the rows of b
        "CREATE TABLE [dbo].[" + a + "]([k] [int] NOT NULL PRIMARY KEY)\n" + "INSERT [dbo].[" + a +
        "] ([k]) VALUES (1)\nGO\n" + "CREATE TABLE [dbo].[" + b +
        "]([k] [int] NOT NULL, [v] [nvarchar](9) NULL, [d] [datetime] NULL,\n"
        " CONSTRAINT [PK_" +
        b + "] PRIMARY KEY CLUSTERED ([k] ASC)) ON [PRIMARY]\nGO\n" + rows + "\nGO\n";
    ImportReport r = Run({Write(b + ".sql", script)});
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(Scalar("select count(*) from " + a).ToLong(), 1);
    EXPECT_FALSE(Exists(b));
  }
}

// Rows that name different columns: what a row leaves out gets the column's
// default (or NULL), what only a later row names is kept.
TEST_P(ImportTest, ColumnsARowLeavesOutGetTheirDefaults) {
  std::string script =
      "CREATE TABLE [dbo].[partial]([k] [int] NOT NULL, [v] [nvarchar](9) NULL,\n"
      " [n] [int] NOT NULL, CONSTRAINT [PK_partial] PRIMARY KEY CLUSTERED ([k] ASC))\nGO\n"
      "ALTER TABLE [dbo].[partial] ADD  DEFAULT ((7)) FOR [n]\nGO\n"
      "INSERT [dbo].[partial] ([k], [n]) VALUES (1, 3)\n"
      "INSERT [dbo].[partial] ([k]) VALUES (2)\n"
      "INSERT [dbo].[partial] ([k], [v], [n]) VALUES (3, N'c', 5)\n"
      "INSERT [dbo].[partial] ([v], [k]) VALUES (N'd', 4)\nGO\n";
  ImportReport r = Run({Write("partial.sql", script)});
  ASSERT_TRUE(r.ok()) << (r.errors.empty() ? r.tables.at(0).error : r.errors[0]);
  auto rs = OpenConnection()->Execute("select k, v, n from partial order by k");
  std::string got;
  for (; !rs->EOF(); rs->MoveNext())
    got += rs->Field("k").ToString() + ":" + rs->Field("v").Describe() + ":" +
           rs->Field("n").ToString() + " ";
  EXPECT_EQ(got, "1:Null:3 2:Null:7 3:String 'c':5 4:String 'd':7 ");
}

TEST_P(ImportTest, DryRunWritesNothingAndExistingTablesAreRefused) {
  std::string path =
      Write("t.sql",
            "CREATE TABLE [dbo].[t]([k] [int] NOT NULL)\nGO\n"
            "INSERT [dbo].[t] ([k]) VALUES (1)\nINSERT [dbo].[t] ([k]) VALUES (2)\n");
  ImportOptions dry;
  dry.dry_run = true;
  ImportReport r = Run({path}, dry);
  EXPECT_TRUE(r.ok());
  ASSERT_EQ(r.tables.size(), 1u);
  EXPECT_EQ(r.tables[0].rows, 2);
  EXPECT_FALSE(Exists("t"));

  ASSERT_TRUE(Run({path}).ok());
  Exec("insert into t (k) values (3)");
  r = Run({path});
  EXPECT_TRUE(r.refused);
  EXPECT_EQ(Scalar("select count(*) from t").ToLong(), 3);  // untouched
  ImportOptions replace;
  replace.replace = true;
  ASSERT_TRUE(Run({path}, replace).ok());
  EXPECT_EQ(Scalar("select count(*) from t").ToLong(), 2);
}

// A replacing import that stops midway (frozen, or killed before its swap)
// leaves the old table readable: no reader waits on its lock.
TEST_P(ImportTest, AStoppedReplaceLeavesTheOldTableReadable) {
  ASSERT_TRUE(Run({Write("t.sql",
                         "CREATE TABLE [dbo].[t]([k] [int] NOT NULL)\nGO\n"
                         "INSERT [dbo].[t] ([k]) VALUES (1)\n"
                         "INSERT [dbo].[t] ([k]) VALUES (2)\n")})
                  .ok());
  TableDef def;
  def.name = "t";
  def.columns = {ColumnDef{.name = "k", .type = "int", .nullable = false}};
  auto writer = OpenConnection();
  auto reader = OpenConnection();
  {
    TableWriter stopped(writer->driver(), def, WriteMode::kReplace, TargetSchema(writer->driver()));
    stopped.Add({"k"}, {Variant(int32_t{7})});
    EXPECT_EQ(reader->Execute("select count(*) as n from t")->Field("n").ToLong(), 2);
  }  // the import ends without its swap
  EXPECT_EQ(Scalar("select count(*) from t").ToLong(), 2);

  TableWriter finished(writer->driver(), def, WriteMode::kReplace, TargetSchema(writer->driver()));
  finished.Add({"k"}, {Variant(int32_t{7})});
  EXPECT_EQ(reader->Execute("select count(*) as n from t")->Field("n").ToLong(), 2);
  finished.Commit();
  EXPECT_EQ(Scalar("select k from t").ToLong(), 7);
}

// A table held by another client's open write stops a replacing import with
// the engine's wait kind (SQLite: the database is busy; PostgreSQL: the swap's
// lock wait runs out), so the command can say "try again"; the table keeps
// its rows and the tables after it are not attempted.
TEST_P(ImportTest, AHeldTableStopsTheImportWithTheWaitKind) {
  const std::string t = Write("t.sql",
                              "CREATE TABLE [dbo].[t]([k] [int] NOT NULL)\nGO\n"
                              "INSERT [dbo].[t] ([k]) VALUES (1)\n");
  const std::string u = Write("u.sql",
                              "CREATE TABLE [dbo].[u]([k] [int] NOT NULL)\nGO\n"
                              "INSERT [dbo].[u] ([k]) VALUES (1)\n");
  ASSERT_TRUE(Run({t}).ok());
  auto holder = OpenConnection();
  holder->BeginTrans();
  holder->Execute("insert into t (k) values (2)");
  Connection importer;
  importer.Open(dsn() + ";BusyTimeout=300;LockTimeout=300");
  ImportOptions replace;
  replace.replace = true;
  ImportReport r = Import(importer, {t, u}, replace);
  holder->RollbackTrans();
  ASSERT_EQ(r.tables.size(), 2u);
  EXPECT_FALSE(r.tables[0].written);
  EXPECT_EQ(r.tables[0].kind, quirks().wait_ran_out_kind) << r.tables[0].error;
  EXPECT_EQ(r.failure_kind(), quirks().wait_ran_out_kind);
  EXPECT_FALSE(r.tables[1].written);
  EXPECT_NE(r.tables[1].error.find("stopped at t"), std::string::npos) << r.tables[1].error;
  EXPECT_EQ(Scalar("select count(*) from t").ToLong(), 1);
  EXPECT_FALSE(Exists("u"));
}

// Input that is not what it claims is refused, naming its place: bytes not
// valid in the script's encoding, a text longer than its column, a device.
TEST_P(ImportTest, InputThatDoesNotFitIsRefusedWithItsPlace) {
  const std::string gbk =
      "CREATE TABLE [dbo].[g]([s] [nvarchar](10))\nGO\n"
      "INSERT [dbo].[g] ([s]) VALUES (N'\xD6\xD0\xCE\xC4')\n";
  const std::string long_text =
      "CREATE TABLE [dbo].[l]([s] [nvarchar](2))\nGO\n"
      "INSERT [dbo].[l] ([s]) VALUES (N'\xE4\xB8\xAD\xE6\x96\x87')\n"
      "INSERT [dbo].[l] ([s]) VALUES (N'abc')\n";
  std::filesystem::create_symlink("/dev/zero", folder() + "/zero.sql");
  struct Case {
    std::string file, encoding, error;  // error: "" when it imports
  } cases[] = {
      {Write("g.sql", gbk), "", "line 3 (byte 0xD6) is not valid UTF-8"},
      {folder() + "/g.sql", "GBK", ""},
      {Write("l.sql", long_text), "", "3 characters, longer than its declared 2"},
      {folder() + "/zero.sql", "", "is not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.encoding);
    ImportOptions opt;
    opt.encoding = c.encoding;
    opt.replace = true;
    ImportReport r = Run({c.file}, opt);
    std::string errors;
    for (const std::string& e : r.errors) errors += e + "\n";
    for (const TableReport& t : r.tables) errors += t.error + "\n";
    if (c.error.empty())
      EXPECT_TRUE(r.ok()) << errors;
    else
      EXPECT_NE(errors.find(c.error), std::string::npos) << errors;
  }
  EXPECT_EQ(Scalar("select s from g").ToString(), "\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_FALSE(Exists("l"));

  // A dry run needs no database.
  Connection none;
  ImportReport r = Import(none, {folder() + "/g.sql"}, {.dry_run = true, .encoding = "GBK"});
  EXPECT_TRUE(r.ok());
  ASSERT_EQ(r.tables.size(), 1u);
  EXPECT_EQ(r.tables[0].rows, 1);
}

// The component's own tables in a script: rows merged, the release trigger
// and the holder rows kept, holder rows of the script never carried; and a
// table named like a system catalogue lands in the data source's schema.
TEST_P(ImportTest, ComponentTablesAreMergedAndTargetsAreQualified) {
  InitDataSource(dsn());
  Exec("insert into FD_Locks values ('held', 'u', 'w', 'm', '7', '')");
  Exec(
      "insert into FD_LockHolders (locks_id, user_name, workstation_name, mod_name, "
      "class_flag, digest, host, pid) values ('held', 'u', 'w', 'm', '7', '', 'h', 1)");
  const std::string script =
      "CREATE TABLE [dbo].[FD_Locks]([locks_id] [nvarchar](50), [user_name] [nvarchar](50), "
      "[workstation_name] [nvarchar](50), [mod_name] [nvarchar](50), [class_flag] [nvarchar](1), "
      "[digest] [nvarchar](200))\nGO\n"
      "INSERT [dbo].[FD_Locks] VALUES (N'imported', N'u', N'w', N'm', N'7', N'')\nGO\n"
      "CREATE TABLE [dbo].[FD_LockHolders]([locks_id] [nvarchar](50), [pid] [int])\nGO\n"
      "INSERT [dbo].[FD_LockHolders] VALUES (N'imported', 1)\nGO\n"
      "CREATE TABLE [dbo].[pg_description]([a] [int])\nGO\n"
      "INSERT [dbo].[pg_description] ([a]) VALUES (5)\n";
  ImportOptions replace;
  replace.replace = true;
  ImportReport r = Run({Write("legacy.sql", script)}, replace);
  EXPECT_TRUE(r.ok()) << (r.tables.empty() ? "" : r.tables[0].error);
  EXPECT_EQ(Scalar("select count(*) from FD_Locks").ToLong(), 2);
  EXPECT_EQ(Scalar("select count(*) from FD_LockHolders").ToLong(), 1);
  Exec("delete from FD_Locks where locks_id = 'held'");
  EXPECT_EQ(Scalar("select count(*) from FD_LockHolders").ToLong(), 0);  // the trigger is there
  auto con = OpenConnection();
  EXPECT_EQ(Scalar("select a from " + TargetSchema(con->driver()) + ".pg_description").ToLong(), 5);
}

Q6_INSTANTIATE_ENGINE_TEST(ImportTest);

// Scripts in every encoding a generated script comes in read the same.
TEST(ScriptText, EncodingsDecodeAlike) {
  const std::string text = "INSERT [dbo].[t] ([s]) VALUES (N'Ж中 😀')\r\nGO\r\nSELECT 1\r\n";
  std::string be = Utf16Le(text);
  for (size_t i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);
  const std::pair<const char*, std::string> files[] = {{"UTF-8", text},
                                                       {"UTF-8 with BOM", "\xEF\xBB\xBF" + text},
                                                       {"UTF-16LE", Utf16Le(text)},
                                                       {"UTF-16BE", be}};
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    std::string decoded = DecodeScriptBytes(bytes);
    EXPECT_EQ(decoded, text);
    auto batches = SplitBatches(decoded);
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[1].first_line, 3);
  }
}

TEST(ScriptText, ReadFileBytesReadsFilesAndPipesWhole) {
  std::string bytes(3 << 20, '\0');  // several read buffers, NULs included
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 251);
  const auto dir = std::filesystem::temp_directory_path() / ("q6read" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "data.dat").string(), pipe = (dir / "pipe.dat").string();
  std::ofstream(file, std::ios::binary) << bytes;
  EXPECT_EQ(ReadFileBytes(file), bytes);

  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(pipe, std::ios::binary) << bytes; });
  const std::string piped = ReadFileBytes(pipe);
  writer.join();
  EXPECT_EQ(piped, bytes);

  try {
    ReadFileBytes((dir / "missing.dat").string());
    ADD_FAILURE() << "a missing file must raise";
  } catch (const ComError& e) {
    EXPECT_NE(e.description().find("missing.dat"), std::string::npos) << e.description();
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace q6::import
