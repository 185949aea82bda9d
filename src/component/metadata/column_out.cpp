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

Variant ColumnOut(const Variant& member, WriteRule rule, bool in_use) {
  switch (rule) {
    case WriteRule::kLong:
      return Variant(member.ToLong());
    case WriteRule::kInteger:
      return Variant(member.ToInteger());
    case WriteRule::kByte:
      return Variant(member.ToByte());
    case WriteRule::kDouble:
      return Variant(member.ToDouble());
    case WriteRule::kText:
      return Variant(member.ToString());
    case WriteRule::kTextOrNull: {
      std::string s = member.ToString();
      return s.empty() ? Variant::Null() : Variant(std::move(s));
    }
    case WriteRule::kLongOrNull: {
      int32_t n = member.ToLong();
      return n == 0 ? Variant::Null() : Variant(n);
    }
    case WriteRule::kByteOrNull: {
      uint8_t n = member.ToByte();
      return n == 0 ? Variant::Null() : Variant(n);
    }
    case WriteRule::kBoolean:
      return Variant(member.ToBool());
    case WriteRule::kFlag:
      return Variant(static_cast<int16_t>(member.ToBool() ? 1 : 0));
    case WriteRule::kLayout: {
      double d = member.ToDouble();
      return !in_use || d == 0 ? Variant::Null() : Variant(d);
    }
    case WriteRule::kBound: {
      Variant probe = member;
      bool text_mode = false;
      return IsEmptyText(CheckNull(probe, text_mode)) ? Variant::Null() : member;
    }
    case WriteRule::kDefault:
      return member.IsEmpty() || IsEmptyText(member) ? Variant::Null() : member;
    case WriteRule::kMaxOID:
      return Variant(SqlNumber(member.ToLong()) + kMaxOIDZeros);
  }
  return Variant::Null();
}

}  // namespace q6
