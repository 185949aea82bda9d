// Resolving data-source names and connection strings.
#include "platform/datasource/data_source.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/datasource/ini_file.h"
#include "platform/datasource/source_text.h"
#include "runtime/com_error.h"
#include "runtime/variant.h"

namespace q6 {
namespace {

constexpr const char* kSource = "ADODB.Connection";

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

std::string HomeIniPath() {
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config/q6fd/q6fd.ini";
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string AbsoluteFolder(const std::string& folder) {
  if (!folder.empty() && folder[0] == '/') return folder;
  char buf[4096];
  if (!::getcwd(buf, sizeof buf)) return folder;
  return folder == "." ? std::string(buf) : std::string(buf) + "/" + folder;
}

// A name or value as messages show it: whole up to 200 bytes, else its
// beginning (cut at a character boundary) and its length, so that an error
// about a megabyte of text stays readable.
std::string Shown(std::string_view text) {
  constexpr size_t kMax = 200;
  if (text.size() <= kMax) return std::string(text);
  size_t cut = kMax;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "... (" + std::to_string(text.size()) + " bytes)";
}

// A wait in milliseconds: a whole number from 0 to 24 hours.
int Milliseconds(const std::string& key, const std::string& value) {
  constexpr long kMax = 24L * 3600 * 1000;
  char* end = nullptr;
  long n = value.empty() ? -1 : std::strtol(value.c_str(), &end, 10);
  if (n < 0 || n > kMax || (end && *end))
    Throw(E_FAIL,
          "The data-source key " + key + "=" + Shown(value) +
              " is not a number of milliseconds from 0 to " + std::to_string(kMax),
          kSource);
  return static_cast<int>(n);
}

// Pooler=transaction: true; none (or empty, or session, where a client keeps
// its server session): false.
bool PoolerMode(const std::string& key, const std::string& value) {
  const std::string v = ToLower(value);
  if (v == "transaction") return true;
  if (v.empty() || v == "none" || v == "session") return false;
  Throw(E_FAIL,
        "The data-source key " + key + "=" + Shown(value) + " is not one of transaction, none",
        kSource);
}

// Applies one key of a section or connection string; unknown keys are kept
// out (ODBC-style strings carry keys we do not use).
void Apply(DataSource* ds, const std::string& key, const std::string& value, std::string* driver) {
  std::string k = ToLower(key);
  if (k == "driver")
    *driver = value;
  else if (k == "database" || k == "dbq" || k == "data source")
    ds->database = value;
  else if (k == "server" || k == "host")
    ds->server = value;
  else if (k == "port")
    ds->port = value;
  else if (k == "uid" || k == "user" || k == "user id")
    ds->uid = value;
  else if (k == "pwd" || k == "password")
    ds->pwd = value;
  else if (k == "schema")
    ds->schema = value;
  else if (k == "busytimeout")
    ds->busy_timeout_ms = Milliseconds(key, value);
  else if (k == "locktimeout")
    ds->lock_timeout_ms = Milliseconds(key, value);
  else if (k == "idleintransactiontimeout")
    ds->idle_in_transaction_timeout_ms = Milliseconds(key, value);
  else if (k == "statementtimeout")
    ds->statement_timeout_ms = Milliseconds(key, value);
  else if (k == "reclaimstalelocks")
    ds->reclaim_stale_locks = value == "1" || ToLower(value) == "yes" || ToLower(value) == "true";
  else if (k == "pooler")
    ds->pooled = PoolerMode(key, value);
}

Engine EngineOf(const std::string& driver, const DataSource& ds) {
  std::string d = ToLower(driver);
  if (d == "sqlite" || d == "sqlite3") return Engine::SQLite;
  if (d == "postgresql" || d == "postgres" || d == "pgsql") return Engine::PostgreSQL;
  std::string what =
      ds.name.empty() ? "The connection string" : "Data source '" + Shown(ds.name) + "'";
  if (d.empty()) Throw(E_FAIL, what + " names no Driver (in " + ds.origin + ")", kSource);
  Throw(E_FAIL,
        what + " names the unknown Driver '" + Shown(driver) + "' (in " + ds.origin +
            "); use sqlite or postgresql",
        kSource);
}

IniSection FindSection(const std::string& name) {
  std::string path = DataSourceFilePath();
  auto file = LoadIniFile(path);
  if (!file) {
    std::string problem = IniFileProblem(path);
    if (std::getenv("Q6FD_DSN_FILE") || problem != "does not exist")
      Throw(E_FAIL,
            "Data source '" + Shown(name) + "' is not defined: the data-source file " + path +
                (std::getenv("Q6FD_DSN_FILE") ? " (Q6FD_DSN_FILE) " : " ") +
                (problem.empty() ? "cannot be read" : problem),
            kSource);
    Throw(E_FAIL,
          "Data source '" + Shown(name) +
              "' is not defined: no data-source file found (searched ./q6fd.ini and " + path + ")",
          kSource);
  }
  auto it = file->sections.find(ToLower(name));
  if (it == file->sections.end())
    Throw(E_FAIL, "Data source '" + Shown(name) + "' is not defined in " + path, kSource);
  return it->second;
}

}  // namespace

std::string DataSourceFilePath() {
  if (const char* env = std::getenv("Q6FD_DSN_FILE"); env && *env) return env;
  // A ./q6fd.ini that is there but cannot be read is still the one meant: the
  // error says what is wrong with it.
  if (::access("q6fd.ini", F_OK) == 0) return AbsoluteFolder(".") + "/q6fd.ini";
  return HomeIniPath();
}

std::string DataSourceFileForNewSections() {
  std::string path = DataSourceFilePath();
  const char* env = std::getenv("Q6FD_DSN_FILE");
  if ((env && *env) || ::access(path.c_str(), F_OK) == 0) return path;
  return AbsoluteFolder(".") + "/q6fd.ini";
}

std::vector<std::pair<std::string, std::string>> ParseConnectionString(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    size_t semi = text.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      if (semi == std::string_view::npos) break;
      i = semi + 1;  // an item without '=' is skipped
      continue;
    }
    std::string key = Trim(text.substr(i, eq - i));
    size_t v = eq + 1;
    while (v < text.size() && (text[v] == ' ' || text[v] == '\t')) ++v;
    std::string value;
    if (v < text.size() && text[v] == '{') {
      size_t close = text.find('}', v + 1);
      if (close == std::string_view::npos) close = text.size();
      value = std::string(text.substr(v + 1, close - v - 1));
      semi = text.find(';', close);
    } else {
      semi = text.find(';', v);
      value =
          Trim(text.substr(v, semi == std::string_view::npos ? std::string_view::npos : semi - v));
    }
    if (!key.empty()) out.emplace_back(std::move(key), std::move(value));
    if (semi == std::string_view::npos) break;
    i = semi + 1;
  }
  return out;
}

std::string DataSource::Describe() const {
  std::string s = std::string("Driver=") + (engine == Engine::SQLite ? "sqlite" : "postgresql");
  if (!server.empty()) s += ";Server=" + server;
  if (!port.empty()) s += ";Port=" + port;
  if (!database.empty()) s += ";Database=" + database;
  if (!uid.empty()) s += ";UID=" + uid;
  if (!schema.empty()) s += ";Schema=" + schema;
  if (pooled) s += ";Pooler=transaction";
  return s;
}

int DataSource::SqliteBusyTimeoutMs() const {
  return busy_timeout_ms >= 0 ? busy_timeout_ms
                              : (lock_timeout_ms >= 0 ? lock_timeout_ms : kDefaultWaitMs);
}

int DataSource::PostgresLockTimeoutMs() const {
  return lock_timeout_ms >= 0 ? lock_timeout_ms
                              : (busy_timeout_ms >= 0 ? busy_timeout_ms : kDefaultWaitMs);
}

DataSource ResolveDataSource(std::string_view text) {
  DataSource ds;
  std::string driver;
  std::string base_folder;
  // The C interfaces below would cut such text short and open another file
  // or server than the one named.
  if (text.find('\0') != std::string_view::npos)
    Throw(
        E_FAIL,
        "The data source '" + Shown(text.substr(0, text.find('\0'))) + "...' holds a NUL character",
        kSource);
  std::string trimmed = Trim(text);
  if (auto given = KeysOfPathOrUri(trimmed)) {
    ds.origin = given->origin;
    for (auto& [k, v] : given->keys) Apply(&ds, k, v, &driver);
  } else if (trimmed.find('=') == std::string::npos) {
    if (trimmed.empty()) Throw(E_FAIL, "No data source was given", kSource);
    ds.name = trimmed;
  } else {
    auto pairs = ParseConnectionString(trimmed);
    for (auto& [k, v] : pairs)
      if (ToLower(k) == "dsn") ds.name = v;
    ds.origin = "connection string";
    if (!ds.name.empty()) {
      // Keys given beside DSN= override the section's.
      for (auto& [k, v] : FindSection(ds.name)) Apply(&ds, k, v, &driver);
      ds.origin = DataSourceFilePath();
      base_folder = FolderOf(ds.origin);
    }
    for (auto& [k, v] : pairs) Apply(&ds, k, v, &driver);
  }
  if (ds.origin.empty()) {
    for (auto& [k, v] : FindSection(ds.name)) Apply(&ds, k, v, &driver);
    ds.origin = DataSourceFilePath();
    base_folder = FolderOf(ds.origin);
  }
  ds.engine = EngineOf(driver, ds);
  if (ds.engine == Engine::SQLite) {
    if (ds.database.empty())
      Throw(E_FAIL,
            (ds.name.empty() ? std::string("The connection string")
                             : "Data source '" + Shown(ds.name) + "'") +
                " names no Database (in " + ds.origin + ")",
            kSource);
    // Made absolute now, so a later change of working folder cannot move it.
    if (ds.database != ":memory:" && ds.database[0] != '/')
      ds.database = AbsoluteFolder(base_folder.empty() ? "." : base_folder) + "/" + ds.database;
  }
  return ds;
}

}  // namespace q6
