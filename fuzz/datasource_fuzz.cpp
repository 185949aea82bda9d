// Data sources: connection strings, "DSN=name;..." texts resolved against a
// small data-source file, and the data-source file parser itself.
//
// Invariants besides "no crash, no sanitizer report": parsed keys are
// non-empty and trimmed; a resolved SQLite source names a database; a
// refusal is a ComError with a message of bounded length (names are shown
// shortened) that never shows the password.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/datasource/data_source.h"
#include "platform/datasource/ini_file.h"
#include "runtime/com_error.h"

namespace {

constexpr size_t kMaxMessage = 2048;

bool Trimmed(const std::string& s) {
  return !s.empty() && s.front() != ' ' && s.front() != '\t' && s.back() != ' ' && s.back() != '\t';
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Names resolve against a file of our own, never the user's.
  static std::string path = "/tmp/q6fd-fuzz-" + std::to_string(::getpid()) + ".ini";
  std::ofstream(path) << "[demo]\nDriver=sqlite\nDatabase=var/demo.db\n"
                      << "[shared]\nDriver=postgresql\nServer=/tmp/pg\nPort=5432\n"
                      << "Database=fund\nUID=fund\nPWD=pa55-secret-word\n";
  ::setenv("Q6FD_DSN_FILE", path.c_str(), 1);
  std::atexit([] { ::unlink(path.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  for (const auto& [key, value] : q6::ParseConnectionString(text)) {
    Q6_FUZZ_CHECK(Trimmed(key), "a connection-string key is empty or untrimmed");
    (void)value;
  }

  q6::IniFile ini = q6::ParseIniText("fuzz.ini", text);
  for (const auto& [name, section] : ini.sections)
    for (const auto& [key, value] : section) {
      Q6_FUZZ_CHECK(key.find('=') == std::string::npos, "an ini key holds '='");
      Q6_FUZZ_CHECK(key.empty() || Trimmed(key), "an ini key is untrimmed");
    }

  // Plain names would only ever look up the file; texts with '=' take the
  // connection-string road, and "DSN=shared" reaches the file's password.
  if (text.find('=') == std::string_view::npos) return 0;
  // The file's password may show only where the text itself holds it.
  const bool secret_given = text.find("pa55-secret-word") != std::string_view::npos;
  auto hides_secret = [&](const std::string& s) {
    return secret_given || s.find("pa55-secret-word") == std::string::npos;
  };
  try {
    q6::DataSource ds = q6::ResolveDataSource(text);
    if (ds.engine == q6::Engine::SQLite)
      Q6_FUZZ_CHECK(!ds.database.empty(), "a SQLite source without a database");
    Q6_FUZZ_CHECK(hides_secret(ds.Describe()), "a description shows the password");
  } catch (const q6::ComError& e) {
    Q6_FUZZ_CHECK(!e.description().empty(), "a refusal without a message");
    Q6_FUZZ_CHECK(e.description().size() <= kMaxMessage, "a refusal repeats too much text");
    Q6_FUZZ_CHECK(hides_secret(e.description()), "a refusal shows the password");
  }
  return 0;
}
