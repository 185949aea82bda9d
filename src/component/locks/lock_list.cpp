// Splitting the list argument of LockItEx and UnLockItEx.
#include "component/locks/lock_list.h"

#include "component/frame/mdl_public.h"
#include "component/support/enums.h"
#include "outside/services/public_service.h"

namespace q6 {
namespace {

enum class ListArg { kNone, kWorkStation, kUserName, kModName, kId };

ListArg ListArgOf(int32_t level) {
  switch (level) {
    case enum_ByHost:
      return ListArg::kWorkStation;
    case enum_ByUser:
      return ListArg::kUserName;
    case enum_ByMod:
      return ListArg::kModName;
    case enum_byClass:
    case enum_byID:
      return ListArg::kId;
    default:
      return ListArg::kNone;
  }
}

}  // namespace

bool LockListHasItems(const std::string& list, const std::string& separator) {
  if (separator.empty() || list.empty()) return false;
  std::string rest;
  for (size_t i = 0; i < list.size();) {
    if (list.compare(i, separator.size(), separator) == 0) {
      i += separator.size();
    } else {
      rest += list[i++];
    }
  }
  return rest.find_first_not_of(' ') != std::string::npos;
}

bool ForEachLockListItem(int32_t level, LockArgRefs args, std::string& separator,
                         const std::function<void(LockArgRefs)>& call) {
  const ListArg which = ListArgOf(level);
  std::string list;
  switch (which) {
    case ListArg::kNone:
      return false;
    case ListArg::kWorkStation:
      list = CheckNullText(Variant(args.workstation));
      break;
    case ListArg::kUserName:
      list = CheckNullText(Variant(args.user));
      break;
    case ListArg::kModName:
      list = CheckNullText(Variant(args.module));
      break;
    case ListArg::kId:
      list = CheckNullText(args.id);
      break;
  }
  separator = CheckNullText(Variant(separator));
  if (!LockListHasItems(list, separator)) return false;

  auto ps = ApartmentPublicService();
  Variant list_value(list);
  Variant item;
  int32_t position = 1;
  while (ps->GetNextItem(list_value, item, position, separator)) {
    if (item.ToString().empty()) continue;
    if (which == ListArg::kId) {
      call({item, args.user, args.workstation, args.module});
      continue;
    }
    std::string text = item.ToString();
    switch (which) {
      case ListArg::kWorkStation:
        call({args.id, args.user, text, args.module});
        break;
      case ListArg::kUserName:
        call({args.id, text, args.workstation, args.module});
        break;
      default:  // kModName
        call({args.id, args.user, args.workstation, text});
        break;
    }
  }
  return true;
}

}  // namespace q6
