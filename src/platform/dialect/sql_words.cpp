// Numbering word tokens: fold ASCII letters, then one probe of the
// vocabulary's hash table (rarely two).
#include "platform/dialect/sql_words.h"

namespace q6::dialect {

// REQUIRES: 0 < text.size() <= kMaxLength (WordNumber checks).
uint8_t LookUpWord(std::string_view text) {
  char buf[words::kMaxLength];
  uint32_t h = words::kHashStart;
  for (size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    buf[k] = c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
    h = words::HashStep(h, buf[k]);
  }
  return words::Find(std::string_view(buf, text.size()), h);
}

}  // namespace q6::dialect
