// Holder rows of locks and the proof that a holder is gone.
//
// A process is named by its host name, machine id, boot id, PID namespace,
// id and start tick (field 22 of /proc/<pid>/stat), so that neither a
// reused process id, a restarted or cloned machine nor a container with its
// own process ids passes for the holder. Only an observer that shares the
// first four sees the holder's process ids; every other observer goes by
// the holder's lease, timed by the database server's clock so that the
// machines' clocks need not agree.
#include "component/locks/lock_holders.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

#include "component/frame/sql_text.h"
#include "component/locks/lock_list_statements.h"
#include "component/locks/lock_transaction.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"
#include "platform/drivers/driver.h"
#include "platform/schema/schema.h"
#include "platform/trace/trace.h"

namespace q6 {
namespace {

constexpr const char* kSource = "LockManager";
constexpr const char* kAdministrator = "administrator";
std::atomic<bool> administrator_locks{false};

std::string FirstLine(const char* path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string LinkTarget(const std::string& path) {
  std::error_code ec;
  std::filesystem::path target = std::filesystem::read_symlink(path, ec);
  return ec ? std::string() : target.string();
}

std::string HostName() {
  char buf[256] = {};
  return ::gethostname(buf, sizeof buf - 1) == 0 ? std::string(buf) : std::string();
}

std::string MachineId() {
  std::string id = FirstLine("/etc/machine-id");
  return id.empty() ? FirstLine("/var/lib/dbus/machine-id") : id;
}

// Fields 3 (state) and 22 (start tick) of /proc/<pid>[/task/<tid>]/stat;
// both "" when it cannot be read.
struct StatFields {
  std::string state, start_tick;
};

StatFields ReadStat(const std::string& path) {
  std::ifstream in(path);
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return {};
  std::istringstream fields(stat.substr(close + 1));
  StatFields out;
  std::string field;
  for (int n = 3; n <= 22 && fields >> field; ++n) {
    if (n == 3) out.state = field;
    if (n == 22) out.start_tick = field;
  }
  return out;
}

bool Ended(const std::string& state) { return state == "Z" || state == "X" || state == "x"; }

// Whether any thread of process `pid` still runs: a leader that exited
// before the others stays as a zombie until the last thread ends. nullopt
// when /proc cannot say.
std::optional<bool> AnyThreadRuns(int64_t pid) {
  const std::string task = "/proc/" + std::to_string(pid) + "/task";
  std::error_code ec;
  std::filesystem::directory_iterator it(task, ec), end;
  if (ec) return std::nullopt;
  bool any = false;
  for (; it != end; it.increment(ec)) {
    if (ec) return std::nullopt;
    any = true;
    const StatFields thread = ReadStat(it->path().string() + "/stat");
    if (!thread.state.empty() && !Ended(thread.state)) return true;
  }
  return any ? std::optional<bool>(false) : std::nullopt;
}

// The columns that name a lock, in FD_Locks order.
constexpr const char* kKeyColumns[] = {"locks_id", "user_name",  "workstation_name",
                                       "mod_name", "class_flag", "digest"};
// The holder columns ReadLockHolder reads; the last four were added since
// the table's first release.
constexpr const char* kHolderColumns[] = {"host",       "pid",    "process_start", "taken_at",
                                          "machine_id", "pid_ns", "renewed_at",    "holder_kind"};
constexpr size_t kFirstAddedColumn = 4;

// PostgreSQL: a lock row's transaction as lock_xact records it (xmin shows
// the low 32 bits of the 64-bit transaction id), and the current one's.
constexpr const char* kRowXact = "l.xmin::text::bigint";
constexpr const char* kThisXact = "txid_current() % 4294967296";

// The condition that holder row `x` is the one written for lock row `l`:
// on PostgreSQL, by the transaction that inserted the lock; on SQLite, the
// row written with the lock's rowid and texts. Rowids of a table without an
// integer key may change when the file is vacuumed: a holder row then
// matches no lock row (its holder is unknown), and the texts keep one that
// lands on another lock's rowid from vouching for it.
std::string LinkedHolder(Engine engine) {
  if (engine == Engine::PostgreSQL) return std::string("x.lock_xact = ") + kRowXact;
  std::string s = "x.rowid = l.rowid and x.lock_xact = l.rowid";
  for (const char* c : kKeyColumns) s += std::string(" and x.") + c + " = l." + c;
  return s;
}

// The columns of `alias` equal to `k`'s texts.
std::string KeyCondition(const LockKey& k, const std::string& alias = "") {
  const std::string* texts[] = {&k.id, &k.user, &k.workstation, &k.module, &k.level, &k.digest};
  std::string s;
  for (size_t i = 0; i < std::size(texts); ++i)
    s += (i ? " and " : "") + alias + kKeyColumns[i] + " = " + SqlQuoted(*texts[i]);
  return s;
}

// A value as the trace shows it in a statement's text.
std::string TraceSql(const Variant& v) {
  return v.IsNull()                    ? std::string("null")
         : v.type() == VarType::String ? SqlQuoted(v.string())
                                       : v.ToString();
}

std::string Text(Recordset& rs, const char* name) {
  Variant v = rs.Fields()->Item(Variant(name))->Value();
  return v.IsNull() ? std::string() : v.ToString();
}

std::string UtcNow() {
  thread_local std::time_t second = -1;
  thread_local char text[32];
  const std::time_t t = std::time(nullptr);
  if (t != second) {
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    second = t;
  }
  return text;
}

// Drops holder rows whose lock row is gone: a release trigger that was
// missing for a while (a table dropped and created again) leaves them, and
// one of them must never vouch for a later lock with the same texts. Lock
// row and holder row are committed together, so no statement sees a new
// holder row before its lock.
void DropOrphanedHolders(Connection& con) {
  std::string match;
  for (const char* c : kKeyColumns)
    match += std::string(match.empty() ? "" : " and ") + "l." + c + " = FD_LockHolders." + c;
  con.Execute(
      "delete from FD_LockHolders where lock_xact is null and not exists (select 1 from FD_Locks "
      "l where " +
          match + ")",
      nullptr, kAdExecuteNoRecords);
  if (con.engine() == Engine::SQLite)
    con.Execute(
        "delete from FD_LockHolders where lock_xact is not null and not exists (select 1 from "
        "FD_Locks l where l.rowid = FD_LockHolders.lock_xact)",
        nullptr, kAdExecuteNoRecords);
  DropReleasedTransactionHolders(con);
}

// This process's seven holder values, in the order the insert statements
// bind them: host, pid, process start, taken at, machine id, PID namespace,
// kind.
std::vector<Variant> HolderValues() {
  const ProcessIdentity& me = ThisProcess();
  return {Variant(me.host),
          Variant(static_cast<int32_t>(me.pid)),
          Variant(me.boot_id + "/" + me.start_tick),
          Variant(UtcNow()),
          Variant(me.machine_id),
          Variant(me.pid_ns),
          administrator_locks ? Variant(std::string(kAdministrator)) : Variant::Null()};
}

}  // namespace

const ProcessIdentity& ThisProcess() {
  thread_local ProcessIdentity me;
  const int64_t pid = ::getpid();
  if (me.pid != pid) {
    me = {HostName(),
          MachineId(),
          FirstLine("/proc/sys/kernel/random/boot_id"),
          LinkTarget("/proc/self/ns/pid"),
          pid,
          ReadStat("/proc/" + std::to_string(pid) + "/stat").start_tick};
  }
  return me;
}

bool LockHoldersPresent(Connection& con) {
  try {
    con.Execute("select locks_id from FD_LockHolders where 1 = 0");
    return true;
  } catch (const ComError&) {
    return false;
  }
}

bool LockHoldersReady(Connection& con) {
  static std::mutex mutex;
  static std::set<std::string> ready;
  const std::string key = con.data_source().Describe();
  {
    std::lock_guard<std::mutex> hold(mutex);
    if (ready.count(key)) return true;
  }
  try {
    Driver& driver = con.driver();
    const auto [present, up_to_date, trigger] = LockHoldersStateOf(driver, con.engine());
    if (!present || !up_to_date || !trigger) {
      // Lockers wait meanwhile, and two processes never create the same
      // things at once.
      con.BeginTrans();
      for (const std::string& sql : driver.ExclusionStatements(LockerExclusion()))
        driver.Execute(sql);
      for (const std::string& sql : SchemaStatements(con.engine()))
        if (sql.find("TABLE IF NOT EXISTS FD_LockHolders") != std::string::npos)
          driver.Execute(sql);
      UpgradeLockHolders(driver, con.engine());
      // The release trigger again: whatever dropped FD_Locks took it along,
      // and the holder rows it should have deleted meanwhile go now. A
      // table of an earlier release gets this release's trigger function.
      const bool trigger_lost = !present || !LockReleaseTriggerPresent(driver, con.engine());
      if (trigger_lost || !up_to_date)
        for (const std::string& sql : LockHolderCleanupStatements(con.engine()))
          driver.Execute(sql);
      if (trigger_lost) DropOrphanedHolders(con);
      con.CommitTrans();
    }
  } catch (const ComError& e) {
    if (con.InTransaction()) con.RollbackTrans();
    TraceNote(kSource, "locks are taken without holder rows: " + e.description());
    return false;
  }
  std::lock_guard<std::mutex> hold(mutex);
  ready.insert(key);
  return true;
}

void TakeLocksAsAdministrator() { administrator_locks = true; }

bool TakingLocksAsAdministrator() { return administrator_locks; }

std::string UtcNowSql(Engine engine) {
  return engine == Engine::PostgreSQL ? "to_char(now() at time zone 'UTC', 'YYYY-MM-DD HH24:MI:SS')"
                                      : "strftime('%Y-%m-%d %H:%M:%S', 'now')";
}

Driver::Batched LockHoldersOfInsert(Connection& con, InsertedLocks inserted) {
  // The rows the insert before made: the lock's row is the last inserted
  // one; a list's rows are the last changes() rowids up to it, since each
  // new row gets the largest rowid plus one, unless the largest is already
  // the highest possible and rowids are drawn at random: then the largest
  // is not the last inserted, and no holder row is written (the locks' holder
  // is unknown, never wrong). Materialized: each row written here changes
  // last_insert_rowid(). The texts are copied from the lock rows.
  //
  // The holder's values are the same for every lock this process takes:
  // they stand in the text as literals, built once per process, form and
  // kind, so that the statement is prepared once per connection and binds
  // one value, the time taken.
  struct Form {
    std::string head, tail, sql;  // sql: head, the placeholder, tail
  };
  struct Forms {
    int64_t pid = 0;
    Form form[2][2];  // [list][administrator]
  };
  thread_local Forms forms;
  const ProcessIdentity& me = ThisProcess();
  if (forms.pid != me.pid) forms = {me.pid, {}};
  const bool list = inserted == InsertedLocks::kList;
  const bool administrator = administrator_locks;
  Form& f = forms.form[list][administrator];
  if (f.sql.empty()) {
    f.head = list ? "with r(lo, hi) as materialized (select last_insert_rowid() - changes() + 1, "
                    "last_insert_rowid()) "
                  : "";
    f.head += "insert or replace into FD_LockHolders (rowid, lock_xact";
    for (const char* c : kKeyColumns) f.head += std::string(", ") + c;
    f.head +=
        ", host, pid, process_start, taken_at, machine_id, pid_ns, holder_kind, renewed_at) "
        "select l.rowid, l.rowid";
    for (const char* c : kKeyColumns) f.head += std::string(", l.") + c;
    f.head += ", " + SqlQuoted(me.host) + ", " + SqlNumber(me.pid) + ", " +
              SqlQuoted(me.boot_id + "/" + me.start_tick) + ", ";
    f.tail = ", " + SqlQuoted(me.machine_id) + ", " + SqlQuoted(me.pid_ns) + ", " +
             (administrator ? SqlQuoted(kAdministrator) : std::string("null")) + ", " +
             UtcNowSql(Engine::SQLite) +
             (list ? " from r, FD_Locks l where l.rowid between r.lo and r.hi and r.hi = (select "
                     "max(rowid) from FD_Locks)"
                   : " from FD_Locks l where l.rowid = last_insert_rowid()");
    f.sql = f.head + con.driver().Placeholder(1) + f.tail;
  }
  Variant taken(UtcNow());
  std::string built;
  if (TraceEnabled()) built = f.head + TraceSql(taken) + f.tail;
  return {{f.sql, {std::move(taken)}}, std::move(built)};
}

bool HolderPerTransaction(const Connection& con) { return con.engine() == Engine::PostgreSQL; }

Driver::Batched LockHolderTransactionRow(Connection& con) {
  std::vector<Variant> values = HolderValues();
  auto text = [&](const std::function<std::string(size_t)>& v) {
    std::string sql =
        "insert into FD_LockHolders (host, pid, process_start, taken_at, machine_id, pid_ns, "
        "holder_kind, renewed_at, lock_xact) values (";
    for (size_t n = 0; n < values.size(); ++n) sql += v(n) + ", ";
    return sql + UtcNowSql(con.engine()) + ", " + kThisXact + ")";
  };
  // One text (PostgreSQL's, the only engine that writes this row): the
  // statement is prepared once per connection.
  thread_local std::string native;
  if (native.empty())
    native = text([&](size_t n) { return con.driver().Placeholder(static_cast<int>(n) + 1); });
  std::string built;
  if (TraceEnabled()) built = text([&](size_t n) { return TraceSql(values[n]); });
  return {{native, std::move(values)}, std::move(built)};
}

void DropReleasedTransactionHolders(Connection& con) {
  if (!HolderPerTransaction(con)) return;
  const std::string sql =
      std::string(
          "delete from FD_LockHolders h where h.lock_xact is not null and not exists (select 1 "
          "from FD_Locks l where ") +
      kRowXact + " = h.lock_xact)";
  con.ExecuteTranslated(sql, sql, nullptr, kAdExecuteNoRecords);
}

std::string LocksWithHoldersSql(const Connection& con, bool up_to_date) {
  // The holder row written with the lock (x) when there is one, else a row
  // of an earlier release naming the lock's texts (h).
  std::string sql = "select ";
  for (const char* c : kKeyColumns) sql += std::string(sql.size() > 7 ? ", " : "") + "l." + c;
  for (size_t i = 0; i < std::size(kHolderColumns); ++i) {
    const std::string c = kHolderColumns[i];
    if (!up_to_date && i >= kFirstAddedColumn)
      sql += ", null as " + c;
    else if (up_to_date)
      sql += ", case when x.lock_xact is null then h." + c + " else x." + c + " end as " + c;
    else
      sql += ", h." + c;
  }
  sql += " from FD_Locks l";
  if (up_to_date) sql += " left join FD_LockHolders x on " + LinkedHolder(con.engine());
  sql += " left join FD_LockHolders h on ";
  for (const char* c : kKeyColumns)
    sql += std::string(c == kKeyColumns[0] ? "" : " and ") + "l." + c + " = h." + c;
  if (up_to_date) sql += " and h.lock_xact is null";
  return sql;
}

LockHolder ReadLockHolder(Recordset& rs) {
  LockHolder h;
  try {
    h.process.host = Text(rs, "host");
    h.process.machine_id = Text(rs, "machine_id");
    h.process.pid_ns = Text(rs, "pid_ns");
    const std::string start = Text(rs, "process_start");
    const size_t slash = start.find('/');
    h.process.boot_id = start.substr(0, slash);
    if (slash != std::string::npos) h.process.start_tick = start.substr(slash + 1);
    h.taken_at = Text(rs, "taken_at");
    h.renewed_at = Text(rs, "renewed_at");
    h.administrator = Text(rs, "holder_kind") == kAdministrator;
    h.earlier_release = h.process.machine_id.empty() && h.process.pid_ns.empty();
    // Read as text: a value the column's affinity let through as text (the
    // engine does not insist) makes this row unreadable, not the listing.
    const std::string pid = Text(rs, "pid");
    const auto [end, ec] = std::from_chars(pid.data(), pid.data() + pid.size(), h.process.pid);
    if (ec != std::errc() || end != pid.data() + pid.size() || h.process.pid <= 0)
      h.malformed = "its pid '" + pid + "' is not a process id";
  } catch (const std::exception& e) {
    h.malformed = e.what();
  }
  return h;
}

HolderJudge::HolderJudge(Connection& con, const ProcessIdentity& observer)
    : con_(con), observer_(observer) {}

std::optional<int64_t> HolderJudge::ServerNow() {
  if (!asked_) {
    asked_ = true;
    ResultSet r = con_.driver().Execute("select " + UtcNowSql(con_.engine()));
    if (r.row_count == 1 && !r.cells[0].IsNull()) now_ = SecondsSinceEpoch(r.cells[0].ToString());
  }
  return now_;
}

HolderState HolderJudge::StateOf(const LockHolder& h) {
  if (h.administrator) return HolderState::kAdministrator;
  if (!h.malformed.empty()) return HolderState::kUnknown;
  const ProcessIdentity& me = observer_;
  const bool same_host = !h.process.host.empty() && h.process.host == me.host &&
                         !h.process.boot_id.empty() && h.process.boot_id == me.boot_id;
  const bool same_pid_space = same_host && !h.earlier_release &&
                              h.process.machine_id == me.machine_id && !me.pid_ns.empty() &&
                              h.process.pid_ns == me.pid_ns;
  if (same_pid_space || (same_host && h.earlier_release)) {
    // An earlier release's row names no PID namespace: its process seen
    // alive proves it alive, its absence proves nothing.
    const bool proves_gone = same_pid_space;
    const pid_t pid = static_cast<pid_t>(h.process.pid);
    if (::kill(pid, 0) != 0 && errno == ESRCH)
      return proves_gone ? HolderState::kGone : HolderState::kUnknown;
    const StatFields leader = ReadStat("/proc/" + std::to_string(pid) + "/stat");
    if (leader.start_tick.empty() || h.process.start_tick.empty()) return HolderState::kUnknown;
    if (leader.start_tick != h.process.start_tick)
      return proves_gone ? HolderState::kGone : HolderState::kUnknown;
    const std::optional<bool> runs = AnyThreadRuns(pid);
    if (!runs) return HolderState::kUnknown;
    if (*runs) return HolderState::kAlive;
    return proves_gone ? HolderState::kGone : HolderState::kUnknown;
  }
  if (h.earlier_release) return HolderState::kUnknown;
  // Another machine, boot or PID namespace: the lease.
  const std::optional<int64_t> renewed = SecondsSinceEpoch(h.renewed_at);
  const std::optional<int64_t> now = ServerNow();
  if (!renewed || !now) return HolderState::kUnknown;
  return *now - *renewed > kLeaseSeconds ? HolderState::kGone : HolderState::kAlive;
}

bool AllHoldersGone(HolderJudge& judge, Connection& con, const LockKey& key, std::string* who) {
  // The lock rows equal to `key` (in the engine's own comparison, which
  // DeleteLockRows shares: trailing blanks count, so a twin row that differs
  // in them is judged by its own holder), and how many of them have the
  // holder row written with them; the others need rows of an earlier
  // release that name them, one each.
  const std::string linked = LinkedHolder(con.engine());
  const std::string locks = " from FD_Locks l where " + KeyCondition(key, "l.");
  const ResultSet counts = con.driver().Execute(
      "select count(*), count(*) filter (where exists (select 1 from FD_LockHolders x where " +
      linked + "))" + locks);
  const int64_t lock_rows = counts.cells[0].ToLong();
  const int64_t with_own = counts.cells[1].ToLong();
  std::string columns, x_columns;
  for (const char* c : kHolderColumns) {
    columns += std::string(columns.empty() ? "" : ", ") + c;
    x_columns += std::string(x_columns.empty() ? "" : ", ") + "x." + c;
  }
  const std::string holders = "select " + columns +
                              ", 1 as by_key from FD_LockHolders h where h.lock_xact is null and " +
                              KeyCondition(key, "h.") + " union all select " + x_columns +
                              ", 0 from FD_Locks l join FD_LockHolders x on " + linked + " where " +
                              KeyCondition(key, "l.");
  std::shared_ptr<Recordset> rs = con.ExecuteTranslated(holders, holders);
  int64_t holder_rows = 0, by_key = 0;
  for (; !rs->EOF(); rs->MoveNext(), ++holder_rows) {
    const LockHolder h = ReadLockHolder(*rs);
    if (judge.StateOf(h) != HolderState::kGone) return false;
    if (who) *who += (who->empty() ? "" : "; ") + Describe(h);
    by_key += Text(*rs, "by_key") == "1" ? 1 : 0;
  }
  return holder_rows > 0 && by_key >= lock_rows - with_own;
}

void DeleteLockRows(Connection& con, const LockKey& key) {
  // The rows AllHoldersGone counted: the same native comparison.
  const std::string sql = "delete from FD_Locks where " + KeyCondition(key);
  con.ExecuteTranslated(sql, sql, nullptr, kAdExecuteNoRecords);
}

std::string Describe(const LockHolder& h) {
  if (!h.malformed.empty()) return "unreadable holder row: " + h.malformed;
  std::string s = "host " + h.process.host + " pid " + std::to_string(h.process.pid);
  if (h.administrator) s += ", administrator's lock";
  if (h.earlier_release) s += ", recorded by an earlier release";
  if (!h.taken_at.empty()) s += ", taken " + h.taken_at + " UTC";
  return s;
}

std::optional<int64_t> SecondsSinceEpoch(const std::string& utc) {
  std::tm tm{};
  const char* end = ::strptime(utc.c_str(), "%Y-%m-%d %H:%M:%S", &tm);
  if (!end || *end) return std::nullopt;
  return static_cast<int64_t>(::timegm(&tm));
}

}  // namespace q6
