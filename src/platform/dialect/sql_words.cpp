// Numbering word tokens: fold ASCII letters, then one probe of the
// vocabulary's hash table (rarely two).
#include "platform/dialect/sql_words.h"

namespace q6::dialect {

uint8_t WordNumber(std::string_view text) {
  if (text.empty() || text.size() > words::kMaxLength) return 0;
  // ASCII letters fold with | 0x20; no other byte becomes a lower-case letter.
  const unsigned first = static_cast<unsigned char>(text.front() | 0x20) - 'a';
  const unsigned last = static_cast<unsigned char>(text.back() | 0x20) - 'a';
  if (first >= 26 || last >= 26 || !(words::kShapes[first][text.size()] >> last & 1u)) return 0;
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
