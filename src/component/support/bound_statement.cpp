// Marked texts translated once; each call binds its values where the marks
// went.
#include "component/support/bound_statement.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/adodb/typed_translation.h"
#include "platform/dialect/dialect.h"
#include "platform/dialect/literal_params.h"

namespace q6 {

// The mark's byte: not the dialect's own stand-in byte, so that the marked
// text keeps a shape like any text with literals.
constexpr char kMarkByte = '\x02';
// Templates a thread keeps; more distinct texts than that start afresh.
constexpr size_t kKeptTemplates = 256;

class BoundTemplate {
 public:
  // One placeholder's value: the caller's value `slot`, or `constant`.
  struct Param {
    size_t slot = SIZE_MAX;
    Variant constant;
  };
  std::string native;
  std::vector<Param> params;
  size_t slots = 0;  // values a call must give: one past the highest slot
  // The translation the template was made of, for the column types it was
  // made with: a template that no longer holds on a connection is made again.
  KeptTranslation translation;
};

namespace {

// Value n of a mark's literal, or SIZE_MAX when `value` is not a mark.
size_t MarkSlot(const std::string& value) {
  if (value.size() < 3 || value.front() != kMarkByte || value.back() != kMarkByte) return SIZE_MAX;
  size_t n = 0;
  for (size_t i = 1; i + 1 < value.size(); ++i) {
    const char c = value[i];
    if (c < '0' || c > '9' || n > 100000) return SIZE_MAX;
    n = n * 10 + static_cast<size_t>(c - '0');
  }
  return n;
}

// The template of `marked`, or nullptr when a mark did not come through
// the translation as a value of its own.
std::unique_ptr<BoundTemplate> MakeTemplate(Driver& driver, const std::string& marked) {
  KeptTranslation translation(driver, marked);
  ParameterizedSql scanned;
  if (!ParameterizeLiterals(translation.statement(), driver.engine(), &scanned)) return nullptr;
  if (scanned.text.find(kMarkByte) != std::string::npos) return nullptr;
  auto tmpl = std::make_unique<BoundTemplate>();
  tmpl->native = std::move(scanned.text);
  tmpl->translation = std::move(translation);
  for (LiteralParam& p : scanned.params) {
    BoundTemplate::Param param;
    const size_t slot = p.kind == LiteralParam::kText ? MarkSlot(p.value) : SIZE_MAX;
    if (slot != SIZE_MAX) {
      param.slot = slot;
      tmpl->slots = std::max(tmpl->slots, slot + 1);
    } else if (p.value.find(kMarkByte) != std::string::npos) {
      return nullptr;  // a mark inside a longer literal
    } else if (p.kind == LiteralParam::kText) {
      param.constant = Variant(std::move(p.value));
    } else if (p.kind == LiteralParam::kInteger) {
      const long long v = std::strtoll(p.value.c_str(), nullptr, 10);
      if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        return nullptr;
      param.constant = Variant(static_cast<int32_t>(v));
    } else {
      return nullptr;  // a number with a fraction would not come back as written
    }
    tmpl->params.push_back(std::move(param));
  }
  return tmpl;
}

// The templates this thread keeps, by marked text (the engine's letter in
// front). Shared with the forms that name them.
std::shared_ptr<const BoundTemplate> KeptTemplate(Driver& driver, const std::string& marked) {
  thread_local std::unordered_map<std::string, std::shared_ptr<const BoundTemplate>> kept;
  thread_local std::string key;
  key.assign(1, driver.engine() == Engine::PostgreSQL ? 'P' : 'S');
  key += marked;
  auto it = kept.find(key);
  if (it == kept.end()) {
    if (kept.size() >= kKeptTemplates) kept.clear();
    it = kept.emplace(key, MakeTemplate(driver, marked)).first;
  } else if (it->second && !it->second->translation.Holds(driver)) {
    it->second = MakeTemplate(driver, marked);
  }
  return it->second;
}

// A form's key: the engine, the caller's kind and its shape.
struct FormKey {
  Engine engine;
  const void* kind;
  uint64_t shape;
  bool operator==(const FormKey&) const = default;
};

struct FormHash {
  size_t operator()(const FormKey& k) const noexcept {
    const size_t h = std::hash<const void*>()(k.kind) ^ (std::hash<uint64_t>()(k.shape) * 31);
    return k.engine == Engine::PostgreSQL ? ~h : h;
  }
};

using FormMap = std::unordered_map<FormKey, std::shared_ptr<const BoundTemplate>, FormHash>;

FormMap& Forms() {
  thread_local FormMap forms;
  return forms;
}

}  // namespace

std::string ValueMark(size_t n) {
  std::string mark = "'";
  mark += kMarkByte;
  mark += std::to_string(n);
  mark += kMarkByte;
  mark += '\'';
  return mark;
}

const BoundTemplate* BoundTemplateFor(Driver& driver, const std::string& marked,
                                      size_t value_count) {
  // Keyed by the text with the engine's letter in front.
  const BoundTemplate* tmpl = KeptTemplate(driver, marked).get();
  return tmpl && tmpl->slots <= value_count ? tmpl : nullptr;
}

const BoundTemplate* FindBoundForm(Driver& driver, BoundForm form, bool* found) {
  const FormMap& forms = Forms();
  auto it = forms.find(FormKey{driver.engine(), form.kind, form.shape});
  // A template that no longer holds on this connection counts as not met.
  *found = it != forms.end() && (!it->second || it->second->translation.Holds(driver));
  return *found ? it->second.get() : nullptr;
}

const BoundTemplate* KeepBoundForm(Driver& driver, BoundForm form, const std::string& marked) {
  FormMap& forms = Forms();
  if (forms.size() >= kKeptTemplates) forms.clear();
  return (forms[FormKey{driver.engine(), form.kind, form.shape}] = KeptTemplate(driver, marked))
      .get();
}

size_t BoundSlots(const BoundTemplate& tmpl) { return tmpl.slots; }

Driver::Batched BindTemplate(const BoundTemplate& tmpl, std::span<const std::string> values,
                             std::string built) {
  std::vector<Variant> params;
  params.reserve(tmpl.params.size());
  for (const BoundTemplate::Param& p : tmpl.params)
    params.push_back(p.slot == SIZE_MAX ? p.constant : Variant(values[p.slot]));
  return {Translation(tmpl.native, std::move(params)), std::move(built)};
}

}  // namespace q6
