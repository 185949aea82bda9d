// Statement texts of the metadata save, joined left to right.
#include "component/metadata/save_statements.h"

#include "component/frame/sql_text.h"

namespace q6 {

std::string DuplicateCaptionSql(const std::string& caption, int32_t bi_type) {
  return "select count(1) from fd_entities where sCaption='" + SqlEscaped(caption) +
         "' and iBIType <> " + SqlNumber(bi_type);
}

std::string EntityRowSource(int32_t bi_type) {
  return "Select * From FD_Entities Where iID = " + SqlNumber(bi_type);
}

std::string DeleteFieldRowsSql(int32_t entity_id) {
  return "Delete From FD_Fields Where iEntityID = " + SqlNumber(entity_id);
}

}  // namespace q6
