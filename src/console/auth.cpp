// The console's secrets and their checks.
#include "console/auth.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>

namespace q6::console {

std::string RandomHex(size_t bytes) {
  std::string raw(bytes, '\0');
  size_t got = 0;
  while (got < bytes) {
    ssize_t n = ::getrandom(raw.data() + got, bytes - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("no random bytes from the kernel (getrandom failed)");
    }
    got += static_cast<size_t>(n);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes * 2);
  for (unsigned char c : raw) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  return hex;
}

bool SameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i)
    diff |= static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[i]);
  return diff == 0;
}

std::string CookieValue(std::string_view header, std::string_view name) {
  size_t i = 0;
  while (i < header.size()) {
    size_t end = header.find(';', i);
    if (end == std::string_view::npos) end = header.size();
    std::string_view item = header.substr(i, end - i);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    size_t eq = item.find('=');
    if (eq != std::string_view::npos && item.substr(0, eq) == name)
      return std::string(item.substr(eq + 1));
    i = end + 1;
  }
  return "";
}

Auth::Auth() : Auth(RandomHex(32), RandomHex(32), RandomHex(32)) {}

Auth::Auth(std::string login, std::string session, std::string csrf)
    : login_(std::move(login)), session_(std::move(session)), csrf_(std::move(csrf)) {}

// An empty secret never matches: a missing field or cookie is "" too.
bool Auth::IsLoginToken(std::string_view token) const {
  return !login_.empty() && SameSecret(token, login_);
}

bool Auth::HasSession(std::string_view cookie_header) const {
  return !session_.empty() && SameSecret(CookieValue(cookie_header, kCookie), session_);
}

bool Auth::IsCsrfToken(std::string_view field) const {
  return !csrf_.empty() && SameSecret(field, csrf_);
}

std::string Auth::SessionCookie() const {
  return std::string(kCookie) + "=" + session_ + "; Path=/; HttpOnly; SameSite=Strict";
}

}  // namespace q6::console
