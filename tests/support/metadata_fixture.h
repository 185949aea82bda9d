// Rows of the metadata tables for tests: document types set up in a few lines.
//
//   auto con = OpenConnection();
//   InsertEntity(*con, {.id = 51, .name = "receipt", .caption = "收款单",
//                       .oid_source_field = "oid", .source_table = "fd_receipt"});
//   InsertField(*con, {.id = 5101, .entity_id = 51, .name = "oid", .source_field = "oid"});
//   InsertField(*con, {.id = 5102, .entity_id = 51, .name = "code", .source_field = "code",
//                      .row = 1});
//
// Every column of FD_Entities / FD_Fields gets a value; the members below
// carry the defaults a plain, used, persistent document type would have. The
// members follow the table's column order (designated initializers must keep
// that order), except that FieldRow puts the members most tests set first.
// Texts go into the statement quoted (a quote inside is doubled); numbers in
// plain decimal text. Members that are std::optional write NULL when empty;
// to put NULL into any other column, run an UPDATE after the insert.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace q6 {
class Connection;
}

namespace q6::test {

// One FD_Entities row. ibitype is always written equal to iID (the tables'
// invariant); iparentid 0 means no parent.
struct EntityRow {
  int32_t id = 0;
  std::string name;
  std::string caption;
  std::string oid_source_field = "oid";
  std::string source_table;
  std::string parent_field;
  std::string task_id;
  std::string help_context_id;
  std::string description;
  int32_t sheet = 0;
  int32_t rows = 0;
  int32_t cols = 0;
  int32_t is_used = 1;
  std::string pz_sign;
  int32_t vch_type = 0;
  int32_t derive_bi_type = 0;
  double width = 0;
  double height = 0;
  int32_t is_auto_alarm = 0;
  int32_t alarm_days = 0;
  int32_t use_expr = 0;
  std::string qry_join;
  std::string subject_code;
  int32_t check_over = 0;
  int32_t parent_id = 0;
  std::optional<std::string> max_oid;  // sMaxOID; NULL until an OID is issued
};

// One FD_Fields row.
struct FieldRow {
  int32_t id = 0;
  int32_t entity_id = 0;
  std::string name;
  std::string caption;
  std::string source_field;
  std::string join_field;
  std::string expr;
  int32_t data_type = 1;
  int32_t length = 0;  // a Byte member: 0 to 255 load
  int32_t decimals = 0;
  int32_t edit_prop = 0;
  int32_t is_used = 1;
  int32_t persistent = 1;
  int32_t allow_null = 1;
  std::optional<std::string> default_value;  // sDefaultValue
  std::optional<double> min;                 // dblMin
  std::optional<double> max;                 // dblMax
  int32_t field_option = 0;
  std::string help_context_id;
  int32_t reference_type = 0;
  int32_t ref_fld_sqc = 0;
  int32_t qry_fld_sqc = 0;
  std::string task_id;
  int32_t row = 0;
  int32_t start_col = 0;
  int32_t end_col = 0;
  int32_t input_col = 0;
  double left = 0;
  double width = 0;
  double input_left = 0;
  double input_width = 0;
  double top = 0;
  double height = 0;
  int32_t need_check = 0;
};

// The INSERT statements InsertEntity / InsertField run.
std::string EntityInsertSql(const EntityRow& row);
std::string FieldInsertSql(const FieldRow& row);

// Insert one row on `con`; raise the engine's error (E_FAIL) as Execute does,
// for example for a second row with the same id.
void InsertEntity(Connection& con, const EntityRow& row);
void InsertField(Connection& con, const FieldRow& row);

}  // namespace q6::test
