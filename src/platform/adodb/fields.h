// ADODB Fields and Field: the columns of a recordset.
//
// A Field is a view of one column of its recordset's current row: it holds
// the recordset's rows (RecordData) and reads the value at the moment it is
// asked, so a Field handed to another object shows whatever row the
// recordset has moved to, and stays usable as long as it is held. After the
// recordset is closed, reading it raises 3704.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/dispatch.h"
#include "runtime/export.h"

namespace q6 {

class RecordData;

class Q6FD_API Field : public Dispatchable {
 public:
  static const Guid kIid;

  Field(std::shared_ptr<RecordData> data, size_t column);
  const InterfaceInfo& Interface() const override;

  std::string Name() const;
  // The current row's value (Null stays Null). Raises 3021 without a
  // current row, 3704 when the recordset is closed.
  Variant Value() const { return CurrentValue(); }
  // The same value as it is held in the recordset's rows, without a copy;
  // valid until the recordset moves or changes. Raises as Value.
  const Variant& CurrentValue() const;
  // Puts a value into the current row (see RecordData::Put): 3251 on a
  // recordset that cannot write rows, 3021 without a current row.
  void PutValue(Variant v);
  // The column's type (DataTypeEnum: 3 Integer, 5 Double, 202 text, ...).
  int32_t Type() const;
  // Characters of a text value, bytes of a number's type; -1 for Null.
  int32_t ActualSize() const;

  // The default member: the current value.
  Variant DefaultValue() override { return Value(); }

 private:
  std::string DispName() { return Name(); }
  const Variant& DispValue() { return CurrentValue(); }
  void DispPutValue(Variant& v) { PutValue(v); }
  int32_t DispType() { return Type(); }
  int32_t DispActualSize() { return ActualSize(); }

  std::shared_ptr<RecordData> data_;
  size_t column_;
};

class Q6FD_API Fields : public Dispatchable {
 public:
  static const Guid kIid;

  explicit Fields(std::shared_ptr<RecordData> data);
  const InterfaceInfo& Interface() const override;

  int32_t Count() const;
  // The field named `index` (any case) or at the 0-based ordinal `index`.
  // Raises 3265 when there is none. The same Field object is returned for a
  // column every time.
  std::shared_ptr<Field> Item(const Variant& index);
  // The 0-based column `index` names, as Item finds it; raises as Item.
  size_t ColumnOf(const Variant& index) const;
  // The fields in column order.
  std::vector<Variant> Enumerate() override;

 private:
  int32_t DispCount() { return Count(); }
  std::shared_ptr<Field> DispItem(Variant& Index) { return Item(Index); }
  const std::shared_ptr<Field>& At(size_t column);
  size_t ColumnOfKey(const Variant& key) const;

  std::shared_ptr<RecordData> data_;
  std::vector<std::shared_ptr<Field>> items_;  // created on first use
};

}  // namespace q6
