// q6fd locks / lock / unlock: the lock table and taking and releasing
// locks as a client of the lock manager does.
#include <ostream>

#include "cli/command.h"
#include "cli/data_open.h"
#include "cli/result_table.h"
#include "cli/text_table.h"
#include "component/frame/lock_manager.h"
#include "component/locks/lock_admin.h"
#include "component/support/enums.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"

namespace q6::cli {

namespace {

// The lock levels as options: the flag, the level, whether it names an
// identifier, and what it selects.
struct LevelOption {
  const char* flag;
  int32_t level;
  const char* value;
  const char* help;
};

constexpr LevelOption kLevels[] = {
    {"--id", enum_byID, "ID", "level 7: the record ID (an OID); the default level"},
    {"--class", enum_byClass, "PREFIX", "level 6: every identifier starting with PREFIX"},
    {"--mod", enum_ByMod, "", "level 5: the whole module (needs --module)"},
    {"--host-user", enum_ByHostAndUser, "",
     "level 4: the user at the workstation (needs --as or --at)"},
    {"--user", enum_ByUser, "", "level 3: everything of the user (needs --as)"},
    {"--host", enum_ByHost, "", "level 2: everything from the workstation (needs --at)"},
    {"--all", enum_All, "", "level 1: everything"},
};

std::vector<OptionSpec> LockOptions(bool lock) {
  std::vector<OptionSpec> v;
  for (const LevelOption& l : kLevels) v.push_back({l.flag, l.value, l.help});
  v.push_back({"--as", "USER", "the user holding the lock"});
  v.push_back({"--at", "HOST", "the workstation it is held from"});
  v.push_back({"--module", "MOD", "the module it is held in"});
  if (lock) v.push_back({"--digest", "TEXT", "why: shown to whoever runs into the lock"});
  if (!lock) v.push_back({"--stale", "", "release the locks whose holder is provably gone"});
  return v;
}

// A lock's text as every format shows it: control characters and bytes that
// are not UTF-8 escaped (EscapedText), so that the value can be given back
// to `unlock`.
Variant Shown(const std::string& text) { return Variant(EscapedText(text)); }

// A lock's level as the table stores it (text), as a number where it is
// one, so that every document types the level alike.
Variant LevelValue(const std::string& level) {
  std::optional<int32_t> n = WholeNumber(level);
  return n ? Variant(*n) : Shown(level);
}

// Every lock with its age and whether its holder is alive; --stale: only
// the locks whose holder is provably gone.
int Locks(const Invocation& in, std::ostream& out) {
  CommandSource source(in.At(0));
  source.RequireTables();
  ResultTable t({{"locks_id", "id"},
                 {"user_name", "user"},
                 {"workstation_name", "workstation"},
                 {"mod_name", "module"},
                 {"class_flag", "level"},
                 {"digest", ""},
                 {"age_s", "age (s)"},
                 {"holder", ""},
                 {"holder_state", "holder state"}});
  for (const LockView& v : ListLocks(*source.Lease())) {
    if (in.Has("--stale") && v.state != HolderState::kGone) continue;
    std::optional<int64_t> age = v.holder ? AgeSeconds(v.holder->taken_at) : std::nullopt;
    t.Add({Shown(v.key.id), Shown(v.key.user), Shown(v.key.workstation), Shown(v.key.module),
           LevelValue(v.key.level), Shown(v.key.digest),
           age ? Variant(static_cast<int32_t>(*age)) : Variant::Null(),
           v.holder ? Variant(Describe(*v.holder)) : Variant::Null(),
           Variant(std::string(StateName(v.state)))});
  }
  t.Write(out, in.opt);
  return 0;
}

// unlock DSN --stale: releases the locks whose holder is provably gone.
int UnlockStale(const Invocation& in, std::ostream& out) {
  CommandSource source(in.At(0));
  source.RequireTables();
  ResultTable t({{"locks_id", "id"},
                 {"user_name", "user"},
                 {"workstation_name", "workstation"},
                 {"mod_name", "module"},
                 {"class_flag", "level"},
                 {"holder", ""}});
  for (const LockView& v : ReleaseStaleLocks(*source.Lease()))
    t.Add({Shown(v.key.id), Shown(v.key.user), Shown(v.key.workstation), Shown(v.key.module),
           LevelValue(v.key.level), v.holder ? Variant(Describe(*v.holder)) : Variant::Null()});
  if (!in.opt.json()) out << t.size() << " stale locks released\n";
  t.Write(out, in.opt);
  return 0;
}

int LockOrUnlock(const Invocation& in, std::ostream& out, bool lock) {
  if (!lock && in.Has("--stale")) return UnlockStale(in, out);
  int32_t level = enum_byID;
  std::string id;
  int given = 0;
  for (const LevelOption& l : kLevels)
    if (in.Has(l.flag)) level = l.level, id = in.Value(l.flag), ++given;
  // `locks` shows texts escaped; `unlock` takes them back as shown.
  auto given_text = [&](const std::string& text) { return lock ? text : UnescapedText(text); };
  id = given_text(id);
  if (given == 0) throw UsageError("give a level: --id ID, --class PREFIX, --mod, ... --all");
  if (given > 1) throw UsageError("give one level option");
  CommandSource source(in.At(0));
  // The command ends at once: its locks are an administrator's, held until
  // someone releases them, never taken as stale.
  if (lock) TakeLocksAsAdministrator();
  LockManager lm;
  Variant dsn = source.Name(), vid(id);
  std::string user = given_text(in.Value("--as")), ws = given_text(in.Value("--at")),
              mod = given_text(in.Value("--module")), digest = in.Value("--digest");
  bool done = lock ? lm.LockIt(dsn, vid, user, ws, mod, level, digest)
                   : lm.UnlockIt(dsn, vid, user, ws, mod, level);
  if (!done)
    Throw(E_FAIL,
          std::string(lock ? "LockIt" : "UnlockIt") + " level " + std::to_string(level) +
              " returned False: the level needs what was not given (--as, --at, --module)",
          "q6fd");
  if (in.opt.json())
    out << "{\"" << (lock ? "locked" : "released") << "\": true"
        << ", \"id\": " << JsonString(EscapedText(vid.ToString())) << ", \"level\": " << level
        << ", \"user\": " << JsonString(user) << ", \"workstation\": " << JsonString(ws)
        << ", \"module\": " << JsonString(mod) << "}\n";
  else
    out << (lock ? "LockIt" : "UnlockIt") << " level " << level << " id '"
        << EscapedText(vid.ToString()) << "': True\n";
  return 0;
}

constexpr const char* kStaleDetails =
    "A holder seen from the same machine, boot and PID namespace is gone when its\n"
    "process (every thread of it) has ended or its id was reused; any other holder is\n"
    "gone when it has not renewed its lease for 120 s (it renews every 20 s while it\n"
    "holds locks). Locks taken with `q6fd lock` are an administrator's: never stale.\n"
    "A holder that cannot be checked counts as alive (unknown).";

constexpr const char* kLockDetails =
    "The level option says what the lock covers; --as, --at and --module say who holds it.\n"
    "A lock held by someone else ends with exit code 3 and names the holder.\n"
    "A lock taken here is an administrator's: it stays until `q6fd unlock` releases it.";

}  // namespace

std::vector<Command> LockCommands() {
  return {
      {"locks",
       "DSN",
       "every lock with its age and whether its holder is alive",
       {{"--stale", "", "only the locks whose holder is provably gone"}},
       Locks,
       Access::kRead,
       kStaleDetails,
       true},
      {"lock", "DSN", "take a lock (LockIt); a conflict shows the holder", LockOptions(true),
       [](const Invocation& in, std::ostream& out) { return LockOrUnlock(in, out, true); },
       Access::kWrite, kLockDetails},
      {"unlock", "DSN", "release locks (UnlockIt)", LockOptions(false),
       [](const Invocation& in, std::ostream& out) { return LockOrUnlock(in, out, false); },
       Access::kWrite,
       "A release removes every lock of the owner, module or identifier the level selects,\n"
       "whatever level the lock was taken at. --stale releases instead the locks whose\n"
       "holder is provably gone."},
  };
}

}  // namespace q6::cli
