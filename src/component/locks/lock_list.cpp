// Splitting the list argument of LockItEx and UnLockItEx.
#include "component/locks/lock_list.h"

#include "component/frame/mdl_public.h"
#include "component/support/enums.h"
#include "outside/services/public_service.h"
#include "runtime/value_utf8.h"

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
  // Whether a byte outside the separators is not a blank.
  for (size_t i = 0; i < list.size();) {
    if (list.compare(i, separator.size(), separator) == 0) {
      i += separator.size();
    } else if (list[i++] != ' ') {
      return true;
    }
  }
  return false;
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

  auto each = [&](std::string text) {
    if (text.empty()) return;
    switch (which) {
      case ListArg::kId: {
        Variant item(std::move(text));
        call({item, args.user, args.workstation, args.module});
        break;
      }
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
  };
  if (value::FirstInvalidUtf8(list) == std::string::npos) {
    // GetNextItem's items, split in one pass: it copies the list and walks
    // it to the item's position at every call, which a long list pays for
    // with time that grows with the square of its length. On valid UTF-8
    // its character positions step over exactly the bytes split here.
    for (size_t start = 0; start < list.size();) {
      size_t at = list.find(separator, start);
      if (at == std::string::npos) at = list.size();
      std::string_view item = std::string_view(list).substr(start, at - start);
      const size_t first = item.find_first_not_of(' ');
      item = first == std::string_view::npos
                 ? std::string_view()
                 : item.substr(first, item.find_last_not_of(' ') - first + 1);
      start = at == list.size() ? at : at + separator.size();
      each(std::string(item));
    }
    return true;
  }
  auto ps = ApartmentPublicService();
  Variant list_value(list);
  Variant item;
  int32_t position = 1;
  while (ps->GetNextItem(list_value, item, position, separator)) each(item.ToString());
  return true;
}

}  // namespace q6
