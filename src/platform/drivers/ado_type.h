// The data types of the data access layer (DataTypeEnum).
#pragma once

#include <cstdint>

namespace q6 {

// Data types (DataTypeEnum): of columns as the data access layer reports
// them in Field.Type, and of a command's parameters (Parameter.Type).
enum AdoType : int32_t {
  kAdEmpty = 0,
  kAdSmallInt = 2,
  kAdInteger = 3,
  kAdSingle = 4,
  kAdDouble = 5,
  kAdCurrency = 6,
  kAdDate = 7,
  kAdBSTR = 8,
  kAdBoolean = 11,
  kAdVariant = 12,
  kAdDecimal = 14,
  kAdTinyInt = 16,
  kAdUnsignedTinyInt = 17,
  kAdUnsignedSmallInt = 18,
  kAdUnsignedInt = 19,
  kAdBigInt = 20,
  kAdBinary = 128,
  kAdChar = 129,
  kAdWChar = 130,
  kAdNumeric = 131,
  kAdDBDate = 133,
  kAdDBTime = 134,
  kAdDBTimeStamp = 135,
  kAdVarChar = 200,
  kAdLongVarChar = 201,
  kAdVarWChar = 202,
  kAdLongVarWChar = 203,
  kAdVarBinary = 204,
  kAdLongVarBinary = 205,
};

}  // namespace q6
