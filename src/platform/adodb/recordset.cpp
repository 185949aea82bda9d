// Recordset: opening, moving and filtering a client cursor.
//
// The rows live in a RecordData shared with Fields and every Field; opening
// again makes a fresh one, so Field objects of an earlier opening report the
// recordset closed instead of showing rows of another statement.
#include "platform/adodb/recordset.h"

#include "platform/adodb/ado_errors.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/filter_eval.h"
#include "platform/adodb/record_data.h"
#include "platform/adodb/source_table.h"
#include "platform/adodb/thread_cached.h"
#include "platform/drivers/driver.h"

namespace q6 {
namespace {
constexpr const char* kSource = "ADODB.Recordset";
}  // namespace

Recordset::Recordset() : data_(MakeThreadCached<RecordData>()) {}
Recordset::~Recordset() = default;

void Recordset::CheckOpen() const {
  if (!data_->open()) ThrowAdo(kAdoObjectClosed, kSource);
}

void Recordset::Open(const Variant& source, const Variant& connection, int32_t cursor_type,
                     int32_t lock_type, int32_t options) {
  if (data_->open()) ThrowAdo(kAdoObjectOpen, kSource);
  std::shared_ptr<Connection> con = Connection::Of(connection, kSource);
  if (!con) con = connection_;
  if (!con) ThrowAdo(kAdoInvalidArgument, kSource, "no ActiveConnection");
  std::string sql = source.Deref().ToString();
  if (IsTableName(sql)) sql = "select * from " + sql;
  ResultSet r = con->Run(sql);
  connection_ = con;
  lock_type_ = lock_type > 0 ? lock_type : kAdLockReadOnly;
  table_ = lock_type_ == kAdLockReadOnly ? "" : SingleTableOf(sql);
  key_.clear();
  key_known_ = false;
  filter_.clear();
  data_ = MakeThreadCached<RecordData>();
  fields_ = Variant();
  // A statement that returns no rows leaves the recordset closed.
  if (r.has_rows) data_->Load(std::move(r), !table_.empty());
}

void Recordset::Attach(ResultSet&& r) {
  // The rows of a recordset that was never opened nor handed out go into
  // the RecordData it was made with.
  if (data_->open() || data_.use_count() != 1) data_ = MakeThreadCached<RecordData>();
  fields_ = Variant();
  lock_type_ = kAdLockReadOnly;
  data_->Load(std::move(r), false);
}

bool Recordset::EOF() const {
  CheckOpen();
  return data_->eof();
}

bool Recordset::BOF() const {
  CheckOpen();
  return data_->bof();
}

std::shared_ptr<q6::Fields> Recordset::Fields() {
  return std::static_pointer_cast<q6::Fields>(FieldsHeld().object());
}

const Variant& Recordset::FieldsHeld() {
  CheckOpen();
  if (fields_.IsEmpty()) fields_ = Variant(ObjectRef(std::make_shared<q6::Fields>(data_)));
  return fields_;
}

Variant Recordset::Field(std::string_view name) const {
  CheckOpen();
  int c = data_->FindColumn(name);
  if (c < 0) ThrowAdo(kAdoItemNotFound, "ADODB.Fields");
  return data_->Value(static_cast<size_t>(c));
}

void Recordset::MoveFirst() {
  CheckOpen();
  FlushBeforeMove();
  if (data_->view_size() == 0) ThrowAdo(kAdoNoCurrentRecord, kSource);
  data_->MoveTo(0);
}

void Recordset::MoveLast() {
  CheckOpen();
  FlushBeforeMove();
  if (data_->view_size() == 0) ThrowAdo(kAdoNoCurrentRecord, kSource);
  data_->MoveTo(static_cast<ptrdiff_t>(data_->view_size()) - 1);
}

void Recordset::MoveNext() {
  CheckOpen();
  if (data_->eof()) ThrowAdo(kAdoNoCurrentRecord, kSource);
  FlushBeforeMove();
  data_->MoveTo(data_->position() + 1);
}

void Recordset::MovePrevious() {
  CheckOpen();
  if (data_->bof()) ThrowAdo(kAdoNoCurrentRecord, kSource);
  FlushBeforeMove();
  data_->MoveTo(data_->position() - 1);
}

int32_t Recordset::RecordCount() const {
  CheckOpen();
  return static_cast<int32_t>(data_->view_size());
}

Variant Recordset::Filter() const {
  if (filter_.empty()) return Variant(int32_t{0});
  return Variant(filter_);
}

void Recordset::PutFilter(const Variant& criteria) {
  CheckOpen();
  const Variant v = criteria.Value();
  std::string text;
  if (v.type() == VarType::String) {
    text = v.string();
  } else if (!(v.IsNumeric() && v.ToLong() == 0) && !v.IsEmpty()) {
    ThrowAdo(kAdoInvalidArgument, kSource, "only criteria text or 0 can filter");
  }
  FlushBeforeMove();
  if (text.find_first_not_of(" \t") == std::string::npos) {
    data_->SetView(RowView{});
    filter_.clear();
    return;
  }
  RowView view = ApplyFilter(*data_, ParseFilter(text));
  data_->SetView(std::move(view));
  filter_ = text;
}

void Recordset::Close() {
  CheckOpen();
  data_->Clear();
  filter_.clear();
}

int32_t Recordset::State() const { return data_->open() ? kAdStateOpen : kAdStateClosed; }

}  // namespace q6
