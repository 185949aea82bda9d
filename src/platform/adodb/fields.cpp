// Fields and Field, with their member tables.
#include "platform/adodb/fields.h"

#include "platform/adodb/ado_errors.h"
#include "platform/adodb/record_data.h"
#include "runtime/binder.h"

namespace q6 {
namespace {
constexpr const char* kSource = "ADODB.Field";
}  // namespace

const Guid Field::kIid = Guid::Of("{5A3C0E21-7B1D-4C62-9F0A-3D8E51B6C401}");
const Guid Fields::kIid = Guid::Of("{5A3C0E21-7B1D-4C62-9F0A-3D8E51B6C402}");

Field::Field(std::shared_ptr<RecordData> data, size_t column)
    : data_(std::move(data)), column_(column) {}

const InterfaceInfo& Field::Interface() const {
  static const InterfaceInfo info{
      "Field",
      kIid,
      {
          PropGet<Field>("Value", DISPID_VALUE, &Field::DispValue),
          PropPut<Field>("Value", DISPID_VALUE, &Field::DispPutValue, {Req("value")}),
          PropGet<Field>("Name", 0x45C, &Field::DispName),
          PropGet<Field>("Type", 0x45E, &Field::DispType),
          PropGet<Field>("ActualSize", 0x455, &Field::DispActualSize),
      }};
  return info;
}

std::string Field::Name() const {
  if (!data_->open() || column_ >= data_->column_count()) ThrowAdo(kAdoObjectClosed, kSource);
  return data_->column(column_).name;
}

const Variant& Field::CurrentValue() const {
  if (!data_->open() || column_ >= data_->column_count()) ThrowAdo(kAdoObjectClosed, kSource);
  return data_->Value(column_);
}

void Field::PutValue(Variant v) {
  if (!data_->open() || column_ >= data_->column_count()) ThrowAdo(kAdoObjectClosed, kSource);
  data_->Put(column_, std::move(v));
}

int32_t Field::Type() const {
  if (!data_->open() || column_ >= data_->column_count()) ThrowAdo(kAdoObjectClosed, kSource);
  return data_->column(column_).ado_type;
}

int32_t Field::ActualSize() const {
  const Variant& v = data_->Value(column_);
  switch (v.type()) {
    case VarType::Null:
    case VarType::Empty:
      return -1;
    case VarType::String:
      return static_cast<int32_t>(CharCount(v.string()));
    case VarType::ByteArray:
      return static_cast<int32_t>(v.bytes().size());
    case VarType::Boolean:
    case VarType::Integer:
      return 2;
    case VarType::Byte:
      return 1;
    case VarType::Long:
      return 4;
    case VarType::Decimal:
      return 16;
    default:
      return 8;
  }
}

Fields::Fields(std::shared_ptr<RecordData> data) : data_(std::move(data)) {}

const InterfaceInfo& Fields::Interface() const {
  static const InterfaceInfo info{
      "Fields",
      kIid,
      {
          PropGet<Fields>("Item", DISPID_VALUE, &Fields::DispItem, {Req("Index")}, "Field"),
          PropGet<Fields>("Count", 0x1, &Fields::DispCount),
      }};
  return info;
}

int32_t Fields::Count() const {
  return data_->open() ? static_cast<int32_t>(data_->column_count()) : 0;
}

const std::shared_ptr<Field>& Fields::At(size_t column) {
  if (items_.size() != data_->column_count()) items_.assign(data_->column_count(), nullptr);
  if (!items_[column]) items_[column] = std::make_shared<Field>(data_, column);
  return items_[column];
}

std::shared_ptr<Field> Fields::Item(const Variant& index) { return At(ColumnOf(index)); }

size_t Fields::ColumnOf(const Variant& index) const {
  if (!data_->open()) ThrowAdo(kAdoObjectClosed, "ADODB.Fields");
  const Variant& d = index.Deref();
  // An object stands for its default value (a Field for its current value).
  return d.IsObject() ? ColumnOfKey(d.Unwrapped()) : ColumnOfKey(d);
}

size_t Fields::ColumnOfKey(const Variant& key) const {
  // An index in a loop over the columns comes as a Long: taken as it is.
  const int32_t* index = key.get_if<int32_t>();
  if (index || (key.type() != VarType::String && key.IsNumeric())) {
    int32_t i = index ? *index : key.ToLong();
    if (i < 0 || static_cast<size_t>(i) >= data_->column_count())
      ThrowAdo(kAdoItemNotFound, "ADODB.Fields");
    return static_cast<size_t>(i);
  }
  if (key.type() == VarType::String) {
    int c = data_->FindColumn(key.string());
    if (c < 0) ThrowAdo(kAdoItemNotFound, "ADODB.Fields");
    return static_cast<size_t>(c);
  }
  ThrowAdo(kAdoItemNotFound, "ADODB.Fields");
}

std::vector<Variant> Fields::Enumerate() {
  std::vector<Variant> out;
  for (size_t c = 0; c < data_->column_count(); ++c) out.emplace_back(At(c));
  return out;
}

}  // namespace q6
