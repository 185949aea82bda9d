// VariantArray: the bounds and the subscripts of an array of Variants.
//
// The elements live in one vector, first subscript fastest; a subscript is
// checked against its dimension's bounds before the offset is computed, so a
// bad subscript raises instead of reaching another element.
#include <numeric>

#include "runtime/variant.h"

namespace q6 {

VariantArray::VariantArray() : bounds_{Bound{}} {}

VariantArray::VariantArray(std::vector<Bound> bounds) : bounds_(std::move(bounds)) {
  if (bounds_.empty()) bounds_.push_back(Bound{});
  const size_t n = std::accumulate(bounds_.begin(), bounds_.end(), size_t{1},
                                   [](size_t acc, const Bound& b) { return acc * b.count; });
  items_.resize(n);
}

VariantArray VariantArray::Of(std::vector<Variant> items) {
  VariantArray a;
  a.bounds_[0].count = items.size();
  a.items_ = std::move(items);
  return a;
}

const VariantArray::Bound& VariantArray::BoundOf(size_t dim) const {
  if (dim < 1 || dim > bounds_.size()) ThrowVb(kVbSubscriptOutOfRange);
  return bounds_[dim - 1];
}

int32_t VariantArray::LBound(size_t dim) const { return BoundOf(dim).lower; }

int32_t VariantArray::UBound(size_t dim) const {
  const Bound& b = BoundOf(dim);
  return static_cast<int32_t>(b.lower + static_cast<int64_t>(b.count) - 1);
}

size_t VariantArray::Offset(std::initializer_list<int32_t> subscripts) const {
  if (subscripts.size() != bounds_.size()) ThrowVb(kVbSubscriptOutOfRange);
  size_t offset = 0;
  size_t stride = 1;
  const Bound* b = bounds_.data();
  for (int32_t s : subscripts) {
    const int64_t i = static_cast<int64_t>(s) - b->lower;
    if (i < 0 || static_cast<uint64_t>(i) >= b->count) ThrowVb(kVbSubscriptOutOfRange);
    offset += static_cast<size_t>(i) * stride;
    stride *= b->count;
    ++b;
  }
  return offset;
}

Variant& VariantArray::At(std::initializer_list<int32_t> subscripts) {
  return items_[Offset(subscripts)];
}

const Variant& VariantArray::At(std::initializer_list<int32_t> subscripts) const {
  return items_[Offset(subscripts)];
}

bool operator==(const VariantArray& a, const VariantArray& b) {
  return a.bounds_ == b.bounds_ && a.items_ == b.items_;
}

}  // namespace q6
