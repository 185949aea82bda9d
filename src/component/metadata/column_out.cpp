// The conversions of the metadata writers, one small case per rule.
#include "component/metadata/column_out.h"

#include "component/frame/mdl_public.h"
#include "component/frame/sql_text.h"

namespace q6 {
namespace {

// The counter of a new entity: its BI type followed by thirteen zeros, so
// the first OID handed out for type 51 is 510000000000001.
constexpr const char* kMaxOIDZeros = "0000000000000";

bool IsEmptyText(const Variant& v) { return v.type() == VarType::String && v.string().empty(); }

}  // namespace

Variant BoundOut(const Variant& member) {
  Variant probe = member;
  bool text_mode = false;
  return IsEmptyText(CheckNull(probe, text_mode)) ? Variant::Null() : member;
}

Variant MaxOIDOut(const Variant& member) {
  return Variant(SqlNumber(member.ToLong()) + kMaxOIDZeros);
}

Variant ColumnOut(const Variant& member, WriteRule rule, bool in_use) {
  using enum WriteRule;
  switch (rule) {
    case kLong:
      return ColumnOutBy<kLong>(member, in_use);
    case kInteger:
      return ColumnOutBy<kInteger>(member, in_use);
    case kByte:
      return ColumnOutBy<kByte>(member, in_use);
    case kDouble:
      return ColumnOutBy<kDouble>(member, in_use);
    case kText:
      return ColumnOutBy<kText>(member, in_use);
    case kTextOrNull:
      return ColumnOutBy<kTextOrNull>(member, in_use);
    case kLongOrNull:
      return ColumnOutBy<kLongOrNull>(member, in_use);
    case kByteOrNull:
      return ColumnOutBy<kByteOrNull>(member, in_use);
    case kBoolean:
      return ColumnOutBy<kBoolean>(member, in_use);
    case kFlag:
      return ColumnOutBy<kFlag>(member, in_use);
    case kLayout:
      return ColumnOutBy<kLayout>(member, in_use);
    case kBound:
      return ColumnOutBy<kBound>(member, in_use);
    case kDefault:
      return ColumnOutBy<kDefault>(member, in_use);
    case kMaxOID:
      return ColumnOutBy<kMaxOID>(member, in_use);
  }
  return Variant::Null();
}

}  // namespace q6
