// Recordset: reading many rows in one call.
//
// GetString walks the view from the current row and writes each value
// straight into one text; GetRows copies the values into one array, filled
// row by row (the values of a row are adjacent in it). Either way a client
// reading a whole result pays one call instead of one per value.
#include "platform/adodb/ado_errors.h"
#include "platform/adodb/record_data.h"
#include "platform/adodb/recordset.h"
#include "runtime/array_fill.h"

namespace q6 {
namespace {
constexpr const char* kSource = "ADODB.Recordset";

// The view rows [first, last) a bulk read of up to `num_rows` rows (all
// when negative) from view index `first` covers.
size_t BulkEnd(const RecordData& data, size_t first, int32_t num_rows) {
  size_t last = data.view_size();
  if (num_rows >= 0) last = std::min(last, first + static_cast<size_t>(num_rows));
  return last;
}

// Builds the array GetRows returns.
class ArrayBuilder : public ArrayWriter {
 public:
  void Start(const std::vector<VariantArray::Bound>& bounds) override {
    array = VariantArray(bounds);
  }
  void Put(size_t index, const Variant& v) override { array.items()[index] = v; }
  VariantArray array;
};
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
  const size_t last = BulkEnd(*data_, first, num_rows);
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

VariantArray Recordset::GetRows(int32_t rows, const Variant& start, const Variant& fields) {
  ArrayBuilder out;
  GetRowsInto(out, rows, start, fields);
  return std::move(out.array);
}

void Recordset::GetRowsInto(ArrayWriter& out, int32_t rows, const Variant& start,
                            const Variant& fields) {
  CheckOpen();
  FlushBeforeMove();
  std::vector<size_t> columns;
  const Variant& f = fields.Deref();
  if (f.IsMissing()) {
    columns.resize(data_->column_count());
    for (size_t c = 0; c < columns.size(); ++c) columns[c] = c;
  } else if (f.type() == VarType::Array) {
    for (const Variant& name : f.array().items()) columns.push_back(Fields()->ColumnOf(name));
  } else {
    columns.push_back(Fields()->ColumnOf(f));
  }
  const Variant& s = start.Deref();
  if (!s.IsNumeric()) ThrowAdo(kAdoInvalidArgument, kSource, "Start is not a BookmarkEnum value");
  switch (s.ToLong()) {
    case kAdBookmarkCurrent:
      break;
    case kAdBookmarkFirst:
      data_->MoveTo(0);
      break;
    case kAdBookmarkLast:
      data_->MoveTo(static_cast<ptrdiff_t>(data_->view_size()) - 1);
      break;
    default:
      ThrowAdo(kAdoInvalidArgument, kSource, "Start is not a BookmarkEnum value");
  }
  data_->current();  // raises 3021 at BOF or EOF
  const size_t first = static_cast<size_t>(data_->position());
  const size_t last = BulkEnd(*data_, first, rows);
  out.Start({{0, columns.size()}, {0, last - first}});
  size_t item = 0;
  for (size_t i = first; i < last; ++i) {
    const size_t row = data_->view_row(i);
    for (size_t c : columns) out.Put(item++, data_->cell(row, c));
  }
  data_->MoveTo(static_cast<ptrdiff_t>(last));
}

}  // namespace q6
