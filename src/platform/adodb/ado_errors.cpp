// ADO error numbers and texts.
#include "platform/adodb/ado_errors.h"

namespace q6 {

const char* AdoErrorText(int number) {
  switch (number) {
    case kAdoInvalidArgument:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
             "with one another.";
    case kAdoNoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested "
             "operation requires a current record.";
    case kAdoNotUpdatable:
      return "Current Recordset does not support updating. This may be a limitation of the "
             "provider, or of the selected locktype.";
    case kAdoItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or "
             "ordinal.";
    case kAdoObjectClosed:
      return "Operation is not allowed when the object is closed.";
    case kAdoObjectOpen:
      return "Operation is not allowed when the object is open.";
    case kAdoParameterImproper:
      return "Parameter object is improperly defined. Inconsistent or incomplete information "
             "was provided.";
    case kAdoConnectionClosed:
      return "The connection cannot be used to perform this operation. It is either closed or "
             "invalid in this context.";
  }
  return "Unknown error.";
}

void ThrowAdo(int number, const std::string& source, const std::string& detail) {
  std::string text = AdoErrorText(number);
  if (!detail.empty()) text += " (" + detail + ")";
  Throw(VbHr(number), text, source);
}

}  // namespace q6
