// File paths and URIs as data sources.
#include "platform/datasource/source_text.h"

#include "runtime/com_error.h"
#include "runtime/variant.h"

namespace q6 {
namespace {

constexpr const char* kSource = "ADODB.Connection";

bool EndsWithNoCase(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && EqualsNoCase(s.substr(s.size() - tail.size()), tail);
}

bool LooksLikePath(std::string_view s) {
  if (s.find('=') != std::string_view::npos) return false;
  if (s.find('/') != std::string_view::npos) return true;
  for (std::string_view ext : {".db", ".db3", ".sqlite", ".sqlite3"})
    if (EndsWithNoCase(s, ext)) return true;
  return false;
}

[[noreturn]] void Unreadable(const std::string& why) {
  Throw(E_FAIL, "The PostgreSQL URI cannot be read: " + why, kSource);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `s` with its %XX escapes turned into bytes; `what` names the part for
// the message (never its text: it may be the password).
std::string Decoded(std::string_view s, const char* what) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    int hi = i + 2 < s.size() ? HexDigit(s[i + 1]) : -1;
    int lo = hi >= 0 ? HexDigit(s[i + 2]) : -1;
    if (lo < 0)
      Unreadable(std::string("a % in the ") + what + " is not followed by two hex digits");
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

// The libpq name of a query parameter as this layer's key.
std::string KeyOf(const std::string& param) {
  std::string p = ToLower(param);
  if (p == "host") return "Server";
  if (p == "port") return "Port";
  if (p == "user") return "UID";
  if (p == "password") return "PWD";
  if (p == "dbname") return "Database";
  return param;
}

SourceKeys FromUri(std::string_view uri, size_t scheme_end) {
  SourceKeys r{{{"Driver", "postgresql"}}, "URI"};
  std::string_view rest = uri.substr(scheme_end);
  std::string_view query;
  if (size_t q = rest.find('?'); q != std::string_view::npos)
    query = rest.substr(q + 1), rest = rest.substr(0, q);
  std::string_view authority = rest, path;
  if (size_t slash = rest.find('/'); slash != std::string_view::npos)
    authority = rest.substr(0, slash), path = rest.substr(slash + 1);
  if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
    std::string_view user = authority.substr(0, at);
    authority = authority.substr(at + 1);
    if (size_t colon = user.find(':'); colon != std::string_view::npos) {
      r.keys.emplace_back("PWD", Decoded(user.substr(colon + 1), "password"));
      user = user.substr(0, colon);
    }
    if (!user.empty()) r.keys.emplace_back("UID", Decoded(user, "user name"));
  }
  std::string_view host = authority, port;
  if (!authority.empty() && authority.front() == '[') {
    size_t close = authority.find(']');
    if (close == std::string_view::npos) Unreadable("the host address opened with [ is not closed");
    host = authority.substr(1, close - 1);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty() && after.front() != ':') Unreadable("text follows the host address");
    if (!after.empty()) port = after.substr(1);
  } else if (size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon), port = authority.substr(colon + 1);
  }
  if (!host.empty()) r.keys.emplace_back("Server", Decoded(host, "host"));
  if (!port.empty()) {
    if (port.find_first_not_of("0123456789") != std::string_view::npos)
      Unreadable("the port '" + std::string(port) + "' is not a number");
    r.keys.emplace_back("Port", std::string(port));
  }
  if (!path.empty()) r.keys.emplace_back("Database", Decoded(path, "database name"));
  while (!query.empty()) {
    size_t amp = query.find('&');
    std::string_view item = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    size_t eq = item.find('=');
    if (item.empty() || eq == std::string_view::npos) continue;
    std::string key = KeyOf(Decoded(item.substr(0, eq), "parameter name"));
    r.keys.emplace_back(key, Decoded(item.substr(eq + 1), "parameter value"));
  }
  return r;
}

}  // namespace

std::optional<SourceKeys> KeysOfPathOrUri(std::string_view text) {
  for (std::string_view scheme : {"postgresql://", "postgres://"})
    if (text.size() >= scheme.size() && EqualsNoCase(text.substr(0, scheme.size()), scheme))
      return FromUri(text, scheme.size());
  if (LooksLikePath(text))
    return SourceKeys{{{"Driver", "sqlite"}, {"Database", std::string(text)}}, "file path"};
  return std::nullopt;
}

}  // namespace q6
