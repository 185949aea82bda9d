// Effective BI type, key columns and type prefix of an entity definition.
#include "component/records/entity_terms.h"

namespace q6 {

int32_t EffectiveBIType(const EntityObject& eo) {
  const int32_t derived = eo.DeriveBIType();
  return derived != 0 ? derived : eo.BIType();
}

int32_t ColumnListFlag(int32_t effective_bi_type) { return effective_bi_type == 63 ? 10 : 0; }

std::string KeyColumn(const EntityObject& eo) {
  const auto key = eo.Fields()->Item(eo.OIDSourceField());
  return key->JoinField().empty() ? key->SourceField() : key->JoinField();
}

std::string ChildKeyColumn(const EntityObject& child) {
  const auto key = child.Fields()->Item(child.OIDSourceField());
  return key->JoinField().empty() ? child.OIDSourceField() : key->JoinField();
}

std::string TypePrefixOf(int32_t bi_type) {
  const std::string text = "0" + std::to_string(bi_type);
  return text.substr(text.size() - 2);
}

std::string TypePrefix(const EntityObject& eo) { return TypePrefixOf(eo.BIType()); }

}  // namespace q6
