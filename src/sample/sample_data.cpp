// Sample metadata and documents, written with plain statements so that the
// data exists independently of the component being demonstrated.
#include "sample/sample_data.h"

#include <cstdio>

#include "outside/eso/entity_codes.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/schema/schema.h"

namespace q6::sample {

namespace {

struct FieldDef {
  const char* name;
  const char* caption;
  const char* source;  // column in the record table
  DataTypeEnum data_type;
  int row, col;
  int edit_prop;
  // Position in the query object's output, 0: not listed. A listed field
  // names its source column as its join column too, which the query reads.
  int qry;
  const char* expr;
};

struct TypeDef {
  int bitype;
  const char* name;
  const char* caption;
  const char* table;
  const char* parent_field;  // for line types
  int parent;                // parent type, 0 for documents
  int derive;
  bool use_expr;
  const char* qry_join;
  std::vector<FieldDef> fields;
};

const std::vector<TypeDef>& Types() {
  static const std::vector<TypeDef> types = {
      {51,
       "receipt",
       "收款单",
       "fd_receipt",
       "",
       0,
       0,
       false,
       "fd_receipt where approved = 1 order by oid",
       {{"oid", "单据标识", "oid", kDataTypeText, 0, 0, 2, 0, ""},
        {"transactions_code", "单据编号", "transactions_code", kDataTypeText, 1, 1, 0, 0, ""},
        {"doc_date", "日期", "doc_date", kDataTypeText, 1, 2, 0, 0, ""},
        {"payer", "付款单位", "payer", kDataTypeText, 2, 1, 0, 0, ""},
        {"amount", "金额", "amount", kDataTypeNumber, 2, 2, 0, 0, ""},
        {"approved", "已审核", "approved", kDataTypeBoolean, 3, 1, 0, 0, ""},
        {"remark", "备注", "remark", kDataTypeText, 4, 1, 0, 0, ""},
        {"book_name", "账簿", "book_name", kDataTypeText, 5, 1, 2, 0, ""}}},
      {52,
       "receipt_line",
       "收款单明细",
       "fd_receipt_line",
       "receipt_oid",
       51,
       0,
       false,
       "",
       {{"oid", "明细标识", "oid", kDataTypeText, 0, 0, 2, 0, ""},
        {"receipt_oid", "收款单", "receipt_oid", kDataTypeText, 0, 1, 2, 0, ""},
        {"line_no", "行号", "line_no", kDataTypeNumber, 1, 1, 0, 0, ""},
        {"subject", "科目", "subject", kDataTypeText, 1, 2, 0, 0, ""},
        {"amount", "金额", "amount", kDataTypeNumber, 1, 3, 0, 0, ""}}},
      {53,
       "payment",
       "付款单",
       "fd_payment",
       "",
       0,
       0,
       false,
       "fd_payment order by amount desc",
       {{"oid", "单据标识", "oid", kDataTypeText, 0, 0, 2, 0, ""},
        {"transactions_code", "单据编号", "transactions_code", kDataTypeText, 1, 1, 0, 0, ""},
        {"doc_date", "日期", "doc_date", kDataTypeText, 1, 2, 0, 0, ""},
        {"payee", "收款单位", "payee", kDataTypeText, 2, 1, 0, 0, ""},
        {"amount", "金额", "amount", kDataTypeNumber, 2, 2, 0, 0, ""},
        {"approved", "已审核", "approved", kDataTypeBoolean, 3, 1, 0, 0, ""},
        {"book_name", "账簿", "book_name", kDataTypeText, 5, 1, 2, 0, ""}}},
      {54,
       "payment_line",
       "付款单明细",
       "fd_payment_line",
       "payment_oid",
       53,
       0,
       false,
       "",
       {{"oid", "明细标识", "oid", kDataTypeText, 0, 0, 2, 0, ""},
        {"payment_oid", "付款单", "payment_oid", kDataTypeText, 0, 1, 2, 0, ""},
        {"line_no", "行号", "line_no", kDataTypeNumber, 1, 1, 0, 0, ""},
        {"subject", "科目", "subject", kDataTypeText, 1, 2, 0, 0, ""},
        {"amount", "金额", "amount", kDataTypeNumber, 1, 3, 0, 0, ""}}},
      {5,
       "bank_account",
       "银行账户",
       "fd_account",
       "",
       0,
       0,
       false,
       "fd_account order by transactions_code",
       {{"oid", "账户标识", "oid", kDataTypeText, 0, 0, 2, 0, ""},
        {"transactions_code", "账户编号", "transactions_code", kDataTypeText, 1, 1, 0, 0, ""},
        {"account_name", "账户名称", "account_name", kDataTypeText, 1, 2, 0, 0, ""},
        {"bank", "开户银行", "bank", kDataTypeText, 2, 1, 0, 0, ""},
        {"balance", "余额", "balance", kDataTypeNumber, 2, 2, 0, 0, ""}}},
      // A query object: its listed fields become the select items of
      // "select * from <items> <QryJoin>", so the first item opens a
      // subquery and the join text closes it.
      {63,
       "receipt_summary",
       "收款汇总",
       "fd_receipt",
       "",
       0,
       0,
       false,
       "from fd_receipt) s order by 1",
       {{"oid", "单据标识", "oid", kDataTypeText, 0, 0, 2, 1, "(select @"},
        {"transactions_code", "单据编号", "transactions_code", kDataTypeText, 1, 1, 0, 2, ""},
        {"payer", "付款单位", "payer", kDataTypeText, 1, 2, 0, 3, "upper(@)"},
        {"amount", "金额", "amount", kDataTypeNumber, 2, 1, 0, 4, "isnull(@,0)"},
        {"status", "状态", "approved", kDataTypeText, 2, 2, 0, 5,
         "case when @ = 1 then '已审核' else '未审核' end"}}},
  };
  return types;
}

// Every key column is NOT NULL: SQLite, unlike PostgreSQL, lets a text
// PRIMARY KEY hold NULL, and a record saved without its key would be stored
// where no lookup by key finds it.
const char* kTables[] = {
    "create table if not exists fd_receipt (oid varchar(15) not null primary key, "
    "transactions_code varchar(20), book_name varchar(40), doc_date varchar(10), "
    "payer varchar(60), amount double precision, approved integer, remark varchar(200))",
    "create table if not exists fd_receipt_line (oid varchar(15) not null primary key, "
    "receipt_oid varchar(15), line_no integer, subject varchar(20), amount double precision)",
    "create table if not exists fd_payment (oid varchar(15) not null primary key, "
    "transactions_code varchar(20), book_name varchar(40), doc_date varchar(10), "
    "payee varchar(60), amount double precision, approved integer)",
    "create table if not exists fd_payment_line (oid varchar(15) not null primary key, "
    "payment_oid varchar(15), line_no integer, subject varchar(20), amount double precision)",
    "create table if not exists fd_account (oid varchar(15) not null primary key, "
    "transactions_code varchar(20), account_name varchar(60), bank varchar(60), "
    "balance double precision)",
};

const char* kPartners[] = {"华东贸易有限公司", "北方钢铁集团", "Acme Trading Ltd",
                           "南方电力公司",     "星海科技",     "O'Neil & Sons"};
const char* kSubjects[] = {"1002", "1122", "2202", "6001", "6602"};
const char* kBanks[] = {"工商银行", "建设银行", "招商银行"};

std::string Q(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string Oid(int bitype, long n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%013ld", bitype, n);
  return std::string(buf).substr(std::string(buf).size() - 15);
}

std::string Code(long n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%010ld", n);
  return buf;
}

bool HasRow(Connection& con, const std::string& sql) { return !con.Execute(sql)->EOF(); }

void InsertType(Connection& con, const TypeDef& t, int child_of) {
  std::string max_oid = std::to_string(t.bitype) + "0000000000000";
  con.Execute(
      "insert into FD_Entities (iID, sName, sCaption, ibitype, sOIDSourceField, sSourceTable, "
      "sParentField, sTaskID, sHelpContextID, sDescription, iSheet, iRows, iCols, iIsUsed, "
      "sPzSign, iVchType, iderivebitype, iWidth, iHeight, bIsAutoAlarm, ialarmdays, buseexpr, "
      "sqryjoin, SubjectCode, bCheckOver, iparentid, sMaxOID) values (" +
      std::to_string(t.bitype) + ", " + Q(t.name) + ", " + Q(t.caption) + ", " +
      std::to_string(t.bitype) + ", 'oid', " + Q(t.table) + ", " + Q(t.parent_field) +
      ", NULL, NULL, " + Q(std::string("示例单据类型 ") + t.caption) + ", 1, 6, 2, 1, NULL, 0, " +
      std::to_string(t.derive) + ", 9000, 6000, 0, 0, " + (t.use_expr ? "1" : "0") + ", " +
      Q(t.qry_join) + ", NULL, 0, " + std::to_string(child_of) + ", " + Q(max_oid) + ")");
  int id = t.bitype * 100;
  for (const FieldDef& f : t.fields) {
    ++id;
    con.Execute(
        "insert into FD_Fields (iID, sName, sCaption, iEntityID, iFieldOption, sHelpContextID, "
        "bPersistent, iReferenceType, iRefFldSqc, iQryFldSqc, bIsUsed, sTaskID, iEditProp, "
        "iDataType, iLength, iDecimals, bAllowNull, sDefaultValue, sSourceField, iRow, "
        "iStartCol, iEndCol, iInputCol, dblleft, dblwidth, dblInputLeft, dblInputWidth, dbltop, "
        "dblHeight, dblMin, dblMax, sexpr, sjoinfield, bNeedCheck) values (" +
        std::to_string(id) + ", " + Q(f.name) + ", " + Q(f.caption) + ", " +
        std::to_string(t.bitype) + ", 0, NULL, " + (t.bitype == 63 ? "0" : "1") + ", 0, 0, " +
        std::to_string(f.qry) + ", 1, NULL, " + std::to_string(f.edit_prop) + ", " +
        std::to_string(f.data_type) + ", " + (f.data_type == kDataTypeNumber ? "18" : "60") + ", " +
        (f.data_type == kDataTypeNumber ? "2" : "0") + ", 1, NULL, " + Q(f.source) + ", " +
        std::to_string(f.row) + ", " + std::to_string(f.col * 2 - 1) + ", " +
        std::to_string(f.col * 2) + ", " + std::to_string(f.col) + ", " +
        std::to_string(f.col * 1800) + ", 900, " + std::to_string(f.col * 1800 + 900) + ", 1500, " +
        std::to_string(f.row * 400) + ", 300, NULL, NULL, " + Q(f.expr) + ", " +
        (f.qry > 0 ? Q(f.source) : std::string("NULL")) + ", 0)");
  }
}

long CountRows(Connection& con, const std::string& table) {
  auto rs = con.Execute("select count(*) from " + table);
  return rs->Fields()->Item(Variant(int32_t{0}))->Value().ToLong();
}

// Fills an empty document table (and its lines) with `n` documents.
int AddDocuments(Connection& con, int bitype, const char* table, const char* lines,
                 const char* link, const char* partner_column, int line_type, int n,
                 const SeedOptions& opt, int& done, int total, SeedResult& result) {
  long have = CountRows(con, table);
  if (have > 0 && !opt.force) {
    ++result.types_skipped;
    return 0;
  }
  con.BeginTrans();
  long line_no = have > 0 ? CountRows(con, lines) : 0;
  for (int i = static_cast<int>(have) + 1; i <= static_cast<int>(have) + n; ++i) {
    std::string oid = Oid(bitype, i);
    double amount = 1000.0 + (i * 7919 % 50000) / 1.0 + (i % 4) * 0.25;
    // Every seventh document is filed in a closed book: navigation skips it.
    std::string book = i % 7 == 0 ? Q("2025年度账簿") : std::string("NULL");
    con.Execute(std::string("insert into ") + table + " (oid, transactions_code, book_name, " +
                "doc_date, " + partner_column + ", amount, approved) values (" + Q(oid) + ", " +
                Q(Code(i)) + ", " + book + ", " +
                Q("2026-" + std::string(i % 12 < 9 ? "0" : "") + std::to_string(i % 12 + 1) + "-" +
                  std::to_string(10 + i % 18)) +
                ", " + Q(kPartners[i % 6]) + ", " + std::to_string(amount) + ", " +
                std::to_string(i % 3 == 0 ? 1 : 0) + ")");
    int count = 1 + i % 3;
    for (int l = 1; l <= count; ++l) {
      ++line_no;
      con.Execute(std::string("insert into ") + lines + " (oid, " + link +
                  ", line_no, subject, amount) values (" + Q(Oid(line_type, line_no)) + ", " +
                  Q(oid) + ", " + std::to_string(l) + ", " + Q(kSubjects[(i + l) % 5]) + ", " +
                  std::to_string(amount / count) + ")");
    }
    ++done;
    if (opt.progress && (done % 200 == 0 || done == total)) opt.progress(done, total);
  }
  con.Execute("update FD_Entities set sMaxOID = " + Q(Oid(bitype, static_cast<int>(have) + n)) +
              " where iID = " + std::to_string(bitype));
  con.Execute("update FD_Entities set sMaxOID = " + Q(Oid(line_type, line_no)) +
              " where iID = " + std::to_string(line_type));
  con.CommitTrans();
  return n;
}

int AddAccounts(Connection& con, int n, SeedResult& result) {
  if (CountRows(con, "fd_account") > 0) {
    ++result.types_skipped;
    return 0;
  }
  con.BeginTrans();
  for (int i = 1; i <= n; ++i)
    con.Execute(
        "insert into fd_account (oid, transactions_code, account_name, bank, balance) "
        "values (" +
        Q(Oid(5, i)) + ", " + Q(Code(i)) + ", " + Q(std::string("基本户 ") + std::to_string(i)) +
        ", " + Q(kBanks[i % 3]) + ", " + std::to_string(100000.0 * i) + ")");
  con.Execute("update FD_Entities set sMaxOID = " + Q(Oid(5, n)) + " where iID = 5");
  con.CommitTrans();
  return n;
}

}  // namespace

const std::vector<SampleType>& SampleTypes() {
  static const std::vector<SampleType> types = {
      {51, "收款单", "fd_receipt", 52, true}, {52, "收款单明细", "fd_receipt_line", 0, false},
      {53, "付款单", "fd_payment", 54, true}, {54, "付款单明细", "fd_payment_line", 0, false},
      {5, "银行账户", "fd_account", 0, true}, {63, "收款汇总", "fd_receipt", 0, true},
  };
  return types;
}

SeedResult SeedSample(Connection& con, const SeedOptions& opt) {
  SeedResult result;
  CreateSchema(con);
  for (const char* ddl : kTables) con.Execute(ddl);
  if (!HasRow(con, "select iID from FD_Entities where iID = 51")) {
    con.BeginTrans();
    for (const TypeDef& t : Types()) InsertType(con, t, t.parent);
    con.CommitTrans();
    result.metadata_created = true;
  }
  int n = opt.documents;
  int total = 2 * n, done = 0;
  result.documents_added += AddDocuments(con, 51, "fd_receipt", "fd_receipt_line", "receipt_oid",
                                         "payer", 52, n, opt, done, total, result);
  result.documents_added += AddDocuments(con, 53, "fd_payment", "fd_payment_line", "payment_oid",
                                         "payee", 54, n, opt, done, total, result);
  result.documents_added += AddAccounts(con, std::max(3, n / 4), result);
  return result;
}

}  // namespace q6::sample
