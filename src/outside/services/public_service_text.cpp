// PublicService: the operations on values (digits, Null, list items).
#include "outside/services/public_service.h"

namespace q6 {

int16_t PublicService::GetDigit(Variant& value, int32_t& position) {
  int32_t v = value.ToLong();
  if (position < 1) ThrowVb(kVbInvalidProcedureCall);
  int64_t n = v;
  for (int32_t i = 1; i < position && n != 0; ++i) n /= 10;  // truncates toward zero
  return static_cast<int16_t>(n % 10);
}

Variant PublicService::ConvertNull(Variant& value, bool& mode) {
  Variant v = value.Deref().IsObject() ? value.Unwrapped() : value.Value();
  if (v.IsNull() || v.IsEmpty()) return mode ? Variant(int32_t{0}) : Variant("");
  return v;
}

namespace {
std::string TrimBlanks(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return "";
  size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}
}  // namespace

bool PublicService::GetNextItem(Variant& list, Variant& item, int32_t& position,
                                std::string& separator) {
  std::string text = list.Deref().IsNull() ? "" : list.ToString();
  if (separator.empty() || position < 1) return false;
  // Positions count characters; walk the UTF-8 text to the byte offset.
  size_t start = 0;
  for (int32_t chars = 1; chars < position && start < text.size(); ++chars) {
    ++start;
    while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
  }
  if (start >= text.size()) return false;
  size_t at = text.find(separator, start);
  if (at == std::string::npos) at = text.size();
  item = Variant(TrimBlanks(std::string_view(text).substr(start, at - start)));
  if (at == text.size())
    position = static_cast<int32_t>(CharCount(text)) + 2;  // past the end: used up
  else
    position += static_cast<int32_t>(
        CharCount(std::string_view(text).substr(start, at - start + separator.size())));
  return true;
}

}  // namespace q6
