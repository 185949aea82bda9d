// Test rows of FD_Entities and FD_Fields.
#include "support/metadata_fixture.h"

#include <initializer_list>

#include "component/frame/sql_text.h"
#include "platform/adodb/connection.h"
#include "runtime/variant.h"

namespace q6::test {
namespace {

// A value as it goes into the statement.
std::string Text(const std::string& s) { return SqlQuoted(s); }
std::string Text(const std::optional<std::string>& s) { return s ? SqlQuoted(*s) : "NULL"; }
std::string Num(int32_t n) { return SqlNumber(n); }
std::string Num(double d) { return FormatDouble(d); }
std::string Num(const std::optional<double>& d) { return d ? FormatDouble(*d) : "NULL"; }

// "insert into <table> (<c1>, ...) values (<v1>, ...)" from pairs.
std::string Insert(const char* table,
                   std::initializer_list<std::pair<const char*, std::string>> values) {
  std::string columns, texts;
  for (const auto& [column, text] : values) {
    if (!columns.empty()) {
      columns += ", ";
      texts += ", ";
    }
    columns += column;
    texts += text;
  }
  return std::string("insert into ") + table + " (" + columns + ") values (" + texts + ")";
}

}  // namespace

std::string EntityInsertSql(const EntityRow& r) {
  return Insert("FD_Entities", {
                                   {"iID", Num(r.id)},
                                   {"sName", Text(r.name)},
                                   {"sCaption", Text(r.caption)},
                                   {"ibitype", Num(r.id)},
                                   {"sOIDSourceField", Text(r.oid_source_field)},
                                   {"sSourceTable", Text(r.source_table)},
                                   {"sParentField", Text(r.parent_field)},
                                   {"sTaskID", Text(r.task_id)},
                                   {"sHelpContextID", Text(r.help_context_id)},
                                   {"sDescription", Text(r.description)},
                                   {"iSheet", Num(r.sheet)},
                                   {"iRows", Num(r.rows)},
                                   {"iCols", Num(r.cols)},
                                   {"iIsUsed", Num(r.is_used)},
                                   {"sPzSign", Text(r.pz_sign)},
                                   {"iVchType", Num(r.vch_type)},
                                   {"iderivebitype", Num(r.derive_bi_type)},
                                   {"iWidth", Num(r.width)},
                                   {"iHeight", Num(r.height)},
                                   {"bIsAutoAlarm", Num(r.is_auto_alarm)},
                                   {"ialarmdays", Num(r.alarm_days)},
                                   {"buseexpr", Num(r.use_expr)},
                                   {"sqryjoin", Text(r.qry_join)},
                                   {"SubjectCode", Text(r.subject_code)},
                                   {"bCheckOver", Num(r.check_over)},
                                   {"iparentid", Num(r.parent_id)},
                                   {"sMaxOID", Text(r.max_oid)},
                               });
}

std::string FieldInsertSql(const FieldRow& r) {
  return Insert("FD_Fields", {
                                 {"iID", Num(r.id)},
                                 {"sName", Text(r.name)},
                                 {"sCaption", Text(r.caption)},
                                 {"iEntityID", Num(r.entity_id)},
                                 {"iFieldOption", Num(r.field_option)},
                                 {"sHelpContextID", Text(r.help_context_id)},
                                 {"bPersistent", Num(r.persistent)},
                                 {"iReferenceType", Num(r.reference_type)},
                                 {"iRefFldSqc", Num(r.ref_fld_sqc)},
                                 {"iQryFldSqc", Num(r.qry_fld_sqc)},
                                 {"bIsUsed", Num(r.is_used)},
                                 {"sTaskID", Text(r.task_id)},
                                 {"iEditProp", Num(r.edit_prop)},
                                 {"iDataType", Num(r.data_type)},
                                 {"iLength", Num(r.length)},
                                 {"iDecimals", Num(r.decimals)},
                                 {"bAllowNull", Num(r.allow_null)},
                                 {"sDefaultValue", Text(r.default_value)},
                                 {"sSourceField", Text(r.source_field)},
                                 {"iRow", Num(r.row)},
                                 {"iStartCol", Num(r.start_col)},
                                 {"iEndCol", Num(r.end_col)},
                                 {"iInputCol", Num(r.input_col)},
                                 {"dblleft", Num(r.left)},
                                 {"dblwidth", Num(r.width)},
                                 {"dblInputLeft", Num(r.input_left)},
                                 {"dblInputWidth", Num(r.input_width)},
                                 {"dbltop", Num(r.top)},
                                 {"dblHeight", Num(r.height)},
                                 {"dblMin", Num(r.min)},
                                 {"dblMax", Num(r.max)},
                                 {"sexpr", Text(r.expr)},
                                 {"sjoinfield", Text(r.join_field)},
                                 {"bNeedCheck", Num(r.need_check)},
                             });
}

void InsertEntity(Connection& con, const EntityRow& row) { con.Execute(EntityInsertSql(row)); }
void InsertField(Connection& con, const FieldRow& row) { con.Execute(FieldInsertSql(row)); }

}  // namespace q6::test
