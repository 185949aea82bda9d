// Who may use the console, and which requests may change something.
//
// At start the console makes three random secrets (32 bytes each from the
// kernel's generator, as hex): the login token, printed for the person who
// started it; the session value, given as an HttpOnly SameSite=Strict
// cookie to whoever shows the login token once; and the anti-forgery
// token, written into every form the console serves and required back with
// every POST. A page of another site can neither read the forms (the
// browser keeps it from reading another origin) nor send the cookie along
// (SameSite=Strict), so a change needs both the cookie and a page of ours.
// Comparisons take the same time whatever the input, so a visitor cannot
// guess a secret a byte at a time.
#pragma once

#include <string>
#include <string_view>

namespace q6::console {

// `bytes` random bytes from getrandom(2), as lower-case hex. Raises
// std::runtime_error when the kernel gives none (never falls back to a
// weaker source).
std::string RandomHex(size_t bytes);

// True when `a` and `b` are equal, in time depending only on their sizes.
bool SameSecret(std::string_view a, std::string_view b);

// The value of cookie `name` in a Cookie header ("a=1; b=2"); "" when it is
// not there.
std::string CookieValue(std::string_view header, std::string_view name);

class Auth {
 public:
  static constexpr const char* kCookie = "q6fd_console";
  static constexpr const char* kCsrfField = "csrf";

  // New random secrets.
  Auth();
  // Given secrets (tests).
  Auth(std::string login, std::string session, std::string csrf);

  const std::string& login_token() const { return login_; }
  const std::string& csrf_token() const { return csrf_; }

  // True when `token` is the login token.
  bool IsLoginToken(std::string_view token) const;
  // True when the Cookie header carries the session value.
  bool HasSession(std::string_view cookie_header) const;
  // True when `field` (the form's csrf value) is the anti-forgery token.
  bool IsCsrfToken(std::string_view field) const;
  // The Set-Cookie header value that starts a session.
  std::string SessionCookie() const;

 private:
  std::string login_, session_, csrf_;
};

}  // namespace q6::console
