// Holder rows of locks and the proof that a holder is gone.
//
// A process is named by its host name, its id and its start: the boot id of
// the kernel and the start tick of the process (field 22 of /proc/<pid>/stat),
// so that neither a reused process id nor a restarted host passes for the
// holder.
#include "component/locks/lock_holders.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "component/frame/sql_text.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"
#include "platform/schema/schema.h"
#include "platform/trace/trace.h"

namespace q6 {
namespace {

constexpr const char* kSource = "LockManager";
const std::string kInsertHolder =
    "insert into FD_LockHolders (locks_id, user_name, workstation_name, mod_name, class_flag, "
    "digest, host, pid, process_start, backend_pid, backend_start, taken_at) values (";

std::string FirstLine(const char* path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

const std::string& BootId() {
  static const std::string id = FirstLine("/proc/sys/kernel/random/boot_id");
  return id;
}

const std::string& HostName() {
  static const std::string name = [] {
    char buf[256] = {};
    return ::gethostname(buf, sizeof buf - 1) == 0 ? std::string(buf) : std::string();
  }();
  return name;
}

// "boot id/start tick" of process `pid`; "" when it cannot be read, "Z"
// when the process has ended and only waits for its parent to reap it.
std::string ProcessStart(int64_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return "";
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int n = 3; n <= 22 && fields >> field; ++n) {
    if (n == 3 && (field == "Z" || field == "X")) return "Z";
    if (n == 22) return BootId() + "/" + field;
  }
  return "";
}

// This process's id and start, read once per process (a forked child has
// its own id and start, and reads them again).
struct ThisProcess {
  int64_t pid = 0;
  std::string start;
};

const ThisProcess& Me() {
  thread_local ThisProcess me;
  const int64_t pid = ::getpid();
  if (me.pid != pid) me = {pid, ProcessStart(pid)};
  return me;
}

std::string UtcNow() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

std::string KeyCondition(const LockKey& k) {
  return "locks_id = " + SqlQuoted(k.id) + " and user_name = " + SqlQuoted(k.user) +
         " and workstation_name = " + SqlQuoted(k.workstation) +
         " and mod_name = " + SqlQuoted(k.module) + " and class_flag = " + SqlQuoted(k.level) +
         " and digest = " + SqlQuoted(k.digest);
}

std::string Text(Recordset& rs, const char* name) {
  Variant v = rs.Fields()->Item(Variant(name))->Value();
  return v.IsNull() ? std::string() : v.ToString();
}

int64_t Number(Recordset& rs, const char* name) {
  Variant v = rs.Fields()->Item(Variant(name))->Value();
  return v.IsNull() ? 0 : v.ToLong();
}

}  // namespace

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
  if (!LockHoldersPresent(con)) {
    try {
      con.BeginTrans();
      for (const std::string& sql : SchemaStatements(con.engine()))
        if (sql.find("FD_LockHolders") != std::string::npos ||
            sql.find("fd_locks_release") != std::string::npos)
          con.driver().Execute(sql);
      con.CommitTrans();
    } catch (const ComError& e) {
      if (con.InTransaction()) con.RollbackTrans();
      TraceNote(kSource, "locks are taken without holder rows: " + e.description());
      return false;
    }
  }
  std::lock_guard<std::mutex> hold(mutex);
  ready.insert(key);
  return true;
}

Driver::Batched LockHolderRow(Connection& con, const LockKey& key) {
  Driver& driver = con.driver();
  const Driver::ServerSession session = driver.ThisServerSession();
  const ThisProcess& me = Me();
  const std::string now = UtcNow();
  // One text per engine, values bound: the statement is prepared once per
  // connection instead of once per lock.
  std::string sql = kInsertHolder;
  for (int n = 1; n <= 12; ++n) sql += driver.Placeholder(n) + (n < 12 ? ", " : ")");
  // The trace shows the row's values in the text as built.
  const std::string built =
      TraceEnabled()
          ? kInsertHolder + SqlQuoted(key.id) + ", " + SqlQuoted(key.user) + ", " +
                SqlQuoted(key.workstation) + ", " + SqlQuoted(key.module) + ", " +
                SqlQuoted(key.level) + ", " + SqlQuoted(key.digest) + ", " + SqlQuoted(HostName()) +
                ", " + SqlNumber(me.pid) + ", " + SqlQuoted(me.start) + ", " +
                (session.pid ? SqlNumber(session.pid) : std::string("null")) + ", " +
                (session.pid ? SqlQuoted(session.started) : std::string("null")) + ", " +
                SqlQuoted(now) + ")"
          : std::string();
  const Variant none = Variant::Null();
  return {{std::move(sql),
           {Variant(key.id), Variant(key.user), Variant(key.workstation), Variant(key.module),
            Variant(key.level), Variant(key.digest), Variant(HostName()),
            Variant(static_cast<int32_t>(me.pid)), Variant(me.start),
            session.pid ? Variant(static_cast<int32_t>(session.pid)) : none,
            session.pid ? Variant(session.started) : none, Variant(now)}},
          built};
}

HolderState StateOf(Connection& con, const LockHolder& h) {
  if (!h.host.empty() && h.host == HostName() && h.pid > 0) {
    const size_t slash = h.process_start.find('/');
    if (slash != std::string::npos && h.process_start.substr(0, slash) != BootId())
      return HolderState::kGone;  // the host restarted
    if (::kill(static_cast<pid_t>(h.pid), 0) != 0 && errno == ESRCH) return HolderState::kGone;
    const std::string start = ProcessStart(h.pid);
    if (start == "Z") return HolderState::kGone;
    if (start.empty() || h.process_start.empty()) return HolderState::kUnknown;
    return start == h.process_start ? HolderState::kAlive : HolderState::kGone;
  }
  if (h.backend_pid > 0) {
    std::optional<bool> exists = con.driver().ServerSessionExists({h.backend_pid, h.backend_start});
    if (exists) return *exists ? HolderState::kAlive : HolderState::kGone;
  }
  return HolderState::kUnknown;
}

bool AllHoldersGone(Connection& con, const LockKey& key, std::string* who) {
  std::shared_ptr<Recordset> locks =
      con.Execute("select count(*) from FD_Locks where " + KeyCondition(key));
  const int64_t lock_rows = locks->Fields()->Item(Variant(int32_t{0}))->Value().ToLong();
  std::shared_ptr<Recordset> rs = con.Execute(
      "select host, pid, process_start, backend_pid, backend_start, taken_at from "
      "FD_LockHolders where " +
      KeyCondition(key));
  int64_t holders = 0;
  for (; !rs->EOF(); rs->MoveNext(), ++holders) {
    LockHolder h{Text(*rs, "host"),          Number(*rs, "pid"),         Text(*rs, "process_start"),
                 Number(*rs, "backend_pid"), Text(*rs, "backend_start"), Text(*rs, "taken_at")};
    if (StateOf(con, h) != HolderState::kGone) return false;
    if (who) *who += (who->empty() ? "" : "; ") + Describe(h);
  }
  return holders > 0 && holders >= lock_rows;
}

void DeleteLockRows(Connection& con, const LockKey& key) {
  con.Execute("delete from FD_Locks where " + KeyCondition(key), nullptr, kAdExecuteNoRecords);
}

std::string Describe(const LockHolder& h) {
  std::string s = "host " + h.host + " pid " + std::to_string(h.pid);
  if (h.backend_pid) s += " session " + std::to_string(h.backend_pid);
  if (!h.taken_at.empty()) s += ", taken " + h.taken_at + " UTC";
  return s;
}

}  // namespace q6
