// The demo's data source: added to the file that name lookups read, or to
// the one they will read once it exists, so that "demo" then resolves to
// ./var/demo.db; left alone where that file names it already.
#include "cli/demo_setup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/datasource/data_source.h"

namespace q6 {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the scope, putting the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Works in `dir` for the scope, going back to where it was.
class ScopedCwd {
 public:
  explicit ScopedCwd(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
  ~ScopedCwd() { fs::current_path(old_); }

 private:
  fs::path old_;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(DemoSetup, WritesWhereLookupsReadAndResolvesToTheWorkingFolder) {
  const fs::path root = fs::temp_directory_path() / ("q6demo." + std::to_string(::getpid()));
  const std::string other = "[other]\nDriver=sqlite\nDatabase=o.db\n";
  const std::string named = "[demo]\nDriver=sqlite\nDatabase=/elsewhere/demo.db\n";
  enum Where { kNone, kLocal, kHome, kEnv };
  struct Row {
    const char* what;
    Where existing;        // the file there before the call
    std::string content;   // its text
    bool env;              // Q6FD_DSN_FILE names <case>/env/q6fd.ini
    Where written;         // where [demo] ends up; kNone: nothing written
    const char* database;  // "demo" resolves to this, under the case folder
  } rows[] = {
      {"no file anywhere", kNone, "", false, kLocal, "work/var/demo.db"},
      {"./q6fd.ini without demo", kLocal, other, false, kLocal, "work/var/demo.db"},
      {"./q6fd.ini with demo", kLocal, named, false, kNone, nullptr},
      // The home file is the one read while there is no ./q6fd.ini: a new
      // ./q6fd.ini would hide its other sections.
      {"home file with demo", kHome, named, false, kNone, nullptr},
      {"home file without demo", kHome, other, false, kHome, "work/var/demo.db"},
      {"Q6FD_DSN_FILE not there yet", kNone, "", true, kEnv, "work/var/demo.db"},
      {"Q6FD_DSN_FILE with demo", kEnv, named, true, kNone, nullptr},
  };
  int n = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const fs::path base = root / std::to_string(++n);
    const fs::path work = base / "work";
    auto path_of = [&](Where w) -> fs::path {
      switch (w) {
        case kLocal:
          return work / "q6fd.ini";
        case kHome:
          return base / "home/.config/q6fd/q6fd.ini";
        case kEnv:
          return base / "env/q6fd.ini";
        case kNone:
          break;
      }
      return {};
    };
    fs::create_directories(work);
    fs::create_directories(base / "home");
    if (r.existing != kNone) {
      fs::create_directories(path_of(r.existing).parent_path());
      std::ofstream(path_of(r.existing)) << r.content;
    }
    ScopedEnv home("HOME", (base / "home").string());
    ScopedEnv env("Q6FD_DSN_FILE",
                  r.env ? std::optional<std::string>(path_of(kEnv).string()) : std::nullopt);
    ScopedCwd in_work(work);
    const std::string said = cli::EnsureDemoDataSource("demo");
    EXPECT_EQ(cli::EnsureDemoDataSource("other"), "");
    if (r.written == kNone) {
      EXPECT_EQ(said, "");
      if (r.existing != kNone) EXPECT_EQ(Slurp(path_of(r.existing)), r.content);
      EXPECT_FALSE(r.existing != kLocal && fs::exists(path_of(kLocal)));
    } else {
      EXPECT_NE(said.find(path_of(r.written).string()), std::string::npos) << said;
      const std::string text = Slurp(path_of(r.written));
      EXPECT_EQ(text.rfind(r.existing == r.written ? r.content : "#", 0), 0u) << text;
      EXPECT_NE(text.find("[demo]"), std::string::npos) << text;
      EXPECT_EQ(fs::exists(path_of(kLocal)), r.written == kLocal);
      EXPECT_EQ(ResolveDataSource("demo").database,
                (fs::canonical(base) / r.database).lexically_normal().string());
    }
    // A second call finds what the first wrote.
    EXPECT_EQ(cli::EnsureDemoDataSource("demo"), "");
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace q6
