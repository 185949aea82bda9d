// Fixed identifiers of the component: type library, classes, interfaces.
#pragma once

#include "runtime/guid.h"

namespace q6::ids {

inline const Guid kLibId = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A01}");
inline constexpr const char* kLibName = "Q6FDMgr";
inline constexpr const char* kLibVersion = "1.1";
inline constexpr const char* kLibHelp = "Q6资金管理---数据对象";
inline const Guid kLockModeEnum = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A02}");

inline const Guid kLockManagerClsid = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A10}");
inline const Guid kLockManagerIid = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A11}");
inline const Guid kOIDManagerClsid = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A20}");
inline const Guid kOIDManagerIid = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A21}");
inline const Guid kQuerymanagerClsid = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A30}");
inline const Guid kQuerymanagerIid = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A31}");
inline const Guid kDataManagerClsid = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A40}");
inline const Guid kDataManagerIid = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A41}");
inline const Guid kDataManagerV0Iid = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A42}");
inline const Guid kLogManagerClsid = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A50}");
inline const Guid kLogManagerIid = Guid::Of("{5C6D0F10-3A1B-4E21-9C7A-0B1D2E3F4A51}");

}  // namespace q6::ids
