// Recordset: reading many rows in one call.
//
// GetString walks the view from the current row and writes each value
// straight into one text, so a client reading a whole result pays one call
// instead of one per value.
#include "platform/adodb/ado_errors.h"
#include "platform/adodb/recordset.h"

namespace q6 {
namespace {
constexpr const char* kSource = "ADODB.Recordset";
}  // namespace

std::string Recordset::GetString(int32_t format, int32_t num_rows,
                                 const std::string& column_delimiter,
                                 const std::string& row_delimiter, const std::string& null_expr) {
  CheckOpen();
  if (format != kAdClipString)
    ThrowAdo(kAdoInvalidArgument, kSource, "GetString knows only the format adClipString");
  FlushBeforeMove();
  data_->current();  // raises 3021 at BOF or EOF
  const size_t columns = data_->column_count();
  const size_t first = static_cast<size_t>(data_->position());
  size_t last = data_->view_size();
  if (num_rows >= 0) last = std::min(last, first + static_cast<size_t>(num_rows));
  std::string out;
  for (size_t i = first; i < last; ++i) {
    const size_t row = data_->view_row(i);
    for (size_t c = 0; c < columns; ++c) {
      if (c) out += column_delimiter;
      const Variant& v = data_->cell(row, c);
      if (v.IsNull())
        out += null_expr;
      else if (v.type() == VarType::String)
        out += v.string();
      else
        out += v.ToString();
    }
    out += row_delimiter;
  }
  data_->MoveTo(static_cast<ptrdiff_t>(last));
  return out;
}

}  // namespace q6
