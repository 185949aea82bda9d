// The numbers an entity object holds in EditState and an entity field in
// DataType.
//
// Both travel as Long: clients put and read the numbers, and DataType is
// stored in FD_Fields.iDataType, so every value here stays as it is. Code
// that sets or tests either property names the value from this header.
#pragma once

#include <cstdint>

namespace q6 {

// EntityObject.EditState: what DataManager.Save is to do with the record the
// entity object holds. Any other number asks for nothing.
enum EditStateEnum : int32_t {
  kEditStateDefinition = 0,  // a definition as LoadEOMetaData leaves it, no record
  kEditStateLoaded = 1,      // a record as loaded or last saved: nothing to write
  kEditStateNew = 2,         // a new record: Save inserts it (SaveEOMetaData: a new type)
  kEditStateChanged = 3,     // a changed record: Save writes its Changed fields
  kEditStateDeleted = 4,     // marked for deletion: Save deletes it and its lines
  kEditStateOtherSave5 = 5,  // further save states of the entity library, which
  kEditStateOtherSave6 = 6,  //   Save treats as kEditStateChanged
};

// EntityField.DataType: the form in which Save writes the field's value into
// a statement. Only that form is fixed for each number: quoted text (1, 2,
// 7, 9), a bare number (3, 4, 5), a Boolean written as 1 or 0 (6), and 8,
// which is never written with a value. Any other number is not written.
enum DataTypeEnum : int32_t {
  kDataTypeText = 1,        // quoted
  kDataTypeQuoted2 = 2,     // quoted
  kDataTypeNumber = 3,      // bare
  kDataTypeBare4 = 4,       // bare
  kDataTypeBare5 = 5,       // bare
  kDataTypeBoolean = 6,     // 1 or 0
  kDataTypeQuoted7 = 7,     // quoted
  kDataTypeUnwritten8 = 8,  // left out of statements unless Null
  kDataTypeQuoted9 = 9,     // quoted
};

}  // namespace q6
