// Column types from SQLite's schema copy, kept current with other
// connections' commits by the WAL index header (sqlite_column_types.h).
//
// The WAL index is the file's shared memory: its first 48 bytes are the
// header a writer rewrites at each commit (a commit counter, the last valid
// frame, the WAL's salt, checksums), in the layout the file format
// documents. It is reached through the VFS method the engine itself maps it
// with (xShmMap, region 0 of 32 KiB, never extending it) on the
// connection's own file, and read only while that connection's journal is
// the WAL it mapped it for; a file in another journal mode, or an index
// that cannot be mapped, falls back to the check statement every time.
#include "platform/drivers/sqlite/sqlite_column_types.h"

#include <sqlite3.h>

#include <cstring>
#include <string>

namespace q6::sqlite {
namespace {

// The size of a WAL index region, as the engine maps them.
constexpr int kWalIndexRegion = 32768;

// A statement that reads the main schema and nothing else: its start
// compares the file's schema cookie with the connection's copy and loads
// the schema again when they differ.
constexpr const char* kCheckSchema = "SELECT 1 FROM main.sqlite_master LIMIT 0";

// The one-word answer of the pragma `text`, in lower case ("" on failure).
std::string PragmaWord(sqlite3* db, const char* text) {
  sqlite3_stmt* stmt = nullptr;
  std::string word;
  if (sqlite3_prepare_v2(db, text, -1, &stmt, nullptr) == SQLITE_OK && stmt &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    if (const unsigned char* v = sqlite3_column_text(stmt, 0))
      for (const unsigned char* c = v; *c; ++c)
        word += static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
  }
  sqlite3_finalize(stmt);
  return word;
}

}  // namespace

SqliteColumnTypes::~SqliteColumnTypes() { sqlite3_finalize(check_); }

dialect::ColumnType SqliteColumnTypes::TypeOf(std::string_view table, std::string_view column) {
  if (!current_) Follow();
  const std::string t(table), c(column);
  const char* decl = nullptr;
  const char* collation = nullptr;
  int not_null = 0, primary_key = 0, autoincrement = 0;
  if (sqlite3_table_column_metadata(db_, nullptr, t.c_str(), c.c_str(), &decl, &collation,
                                    &not_null, &primary_key, &autoincrement) == SQLITE_OK)
    return dialect::ParseDeclaredType(decl ? decl : "");
  // A table that exists without the column, or no such table (or a view).
  if (sqlite3_table_column_metadata(db_, nullptr, t.c_str(), nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr) == SQLITE_OK)
    return {dialect::ColumnType::kNoColumn};
  return {};
}

void SqliteColumnTypes::Follow() {
  current_ = true;
  // Read before the check, so that a commit between the two shows as a
  // header that differs next time.
  WalHeader now;
  const bool have = journal_known_ && ReadWalHeader(&now);
  if (have && seen_valid_ && now == seen_) return;
  // Inside a transaction that has read, the snapshot stays until it ends
  // and only this connection's own changes (which its copy follows at once)
  // reach it: one check serves it, as long as the connection has neither
  // begun another read of the file nor committed since (its data version).
  const bool outside = sqlite3_txn_state(db_, "main") == SQLITE_TXN_NONE;
  unsigned version = 0;
  const bool versioned = !outside && sqlite3_file_control(db_, "main", SQLITE_FCNTL_DATA_VERSION,
                                                          &version) == SQLITE_OK;
  if (versioned && checked_inside_ && version == inside_version_) return;
  seen_valid_ = false;
  checked_inside_ = false;
  if (!CheckSchema()) return;
  if (!journal_known_) LearnJournal();
  if (have && outside) {
    seen_ = now;
    seen_valid_ = true;
  } else if (versioned && sqlite3_txn_state(db_, "main") != SQLITE_TXN_NONE) {
    checked_inside_ = true;
    inside_version_ = version;
  }
}

bool SqliteColumnTypes::CheckSchema() {
  if (!check_ && sqlite3_prepare_v3(db_, kCheckSchema, -1, SQLITE_PREPARE_PERSISTENT, &check_,
                                    nullptr) != SQLITE_OK) {
    sqlite3_finalize(check_);
    check_ = nullptr;
    return false;
  }
  int rc;
  while ((rc = sqlite3_step(check_)) == SQLITE_ROW) {
  }
  sqlite3_reset(check_);
  return rc == SQLITE_DONE;
}

void SqliteColumnTypes::LearnJournal() {
  journal_known_ = true;
  // The first check has read the file, so a WAL journal is open by now.
  if (PragmaWord(db_, "PRAGMA main.journal_mode") != "wal" ||
      PragmaWord(db_, "PRAGMA main.locking_mode") != "normal")
    return;
  sqlite3_file* file = nullptr;
  sqlite3_file* wal = nullptr;
  if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
      sqlite3_file_control(db_, "main", SQLITE_FCNTL_JOURNAL_POINTER, &wal) != SQLITE_OK || !file ||
      !file->pMethods || file->pMethods->iVersion < 2 || !file->pMethods->xShmMap || !wal ||
      !wal->pMethods)
    return;
  db_file_ = file;
  wal_file_ = wal;
}

bool SqliteColumnTypes::ReadWalHeader(WalHeader* out) {
  if (!db_file_) return false;
  // The journal must still be the WAL the index belongs to: a connection
  // switched to another journal mode has closed it (and unmapped its
  // index), and mapping it again would make an index for nothing.
  sqlite3_file* journal = nullptr;
  if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_JOURNAL_POINTER, &journal) != SQLITE_OK ||
      journal != wal_file_)
    return false;
  volatile void* region = nullptr;
  if (db_file_->pMethods->xShmMap(db_file_, 0, kWalIndexRegion, 0, &region) != SQLITE_OK || !region)
    return false;
  // A writer may be rewriting the header meanwhile: a torn copy differs
  // from every header a commit leaves, so it only costs a check later.
  const auto* words = static_cast<const volatile uint32_t*>(region);
  for (int i = 0; i < 12; ++i) out->words[i] = __atomic_load_n(&words[i], __ATOMIC_ACQUIRE);
  return true;
}

}  // namespace q6::sqlite
