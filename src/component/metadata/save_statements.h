// The statement texts of SaveEOMetaData.
//
// The caption is the only text value placed between quotes; a quote inside
// it is doubled, so a caption such as O'Brien is checked, not refused by the
// engine. Numbers are plain decimal text.
#pragma once

#include <cstdint>
#include <string>

namespace q6 {

// The updatable shapes opened for new rows: a condition that is never true,
// so no existing row is read.
constexpr const char* kNewEntityRowSource = "select * from FD_Entities where 1>1";
constexpr const char* kNewFieldRowsSource = "select * from FD_Fields where 1>1";

// "select count(1) from fd_entities where sCaption='<caption>' and iBIType <> <n>":
// the other document types that already use `caption`.
std::string DuplicateCaptionSql(const std::string& caption, int32_t bi_type);

// "Select * From FD_Entities Where iID = <n>": the row an update rewrites.
std::string EntityRowSource(int32_t bi_type);

// "Delete From FD_Fields Where iEntityID = <n>": every field row of an entity.
std::string DeleteFieldRowsSql(int32_t entity_id);

}  // namespace q6
