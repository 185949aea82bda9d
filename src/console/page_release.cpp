// Releasing locks, always in two steps: a GET page that shows what would go
// and carries the form, and the POST that does it. One lock goes by its
// identifier (UnlockIt at the identifier's level: every lock on that
// identifier, whoever holds it, which the confirmation lists); the stale
// ones by ReleaseStaleLocks, which judges every holder again inside its
// transaction, so a holder that came back since the confirmation keeps its
// lock.
#include "component/frame/lock_manager.h"
#include "component/support/enums.h"
#include "console/lock_rows.h"
#include "console/page.h"
#include "outside/services/connection_manager.h"

namespace q6::console {
namespace {

Frame LockFrame(const PageContext& ctx, int ds, std::string title) {
  Frame f{std::move(title)};
  f.ds = ds;
  f.ds_label = ctx.sources.label(ds);
  f.read_only = ctx.read_only;
  return f;
}

std::string BackToLocks(int ds) {
  return "<p>" + Link(Url("/locks", {{"ds", std::to_string(ds)}}), "Back to the locks") + "</p>";
}

std::vector<LockView> LocksOn(const std::string& dsn, const std::string& id) {
  std::vector<LockView> on;
  for (LockView& v : CurrentLocks(dsn))
    if (v.key.id == id) on.push_back(std::move(v));
  return on;
}

}  // namespace

std::string ReleaseLockConfirmPage(const PageContext& ctx, const Params& p) {
  int ds = SourceIndex(ctx, p);
  std::string id = Param(p, "id");
  if (id.empty()) throw BadRequest("give the identifier of the lock to release");
  std::vector<LockView> on = LocksOn(ctx.sources.dsn(ds), id);
  if (on.empty()) throw NotFoundError("there is no lock on " + id + " (any more)");
  bool alive = false;
  for (const LockView& v : on) alive = alive || v.state == HolderState::kAlive;
  std::string body = "<p>Releasing removes these locks on <code>" + Escape(id) + "</code>:</p>" +
                     LocksTable(on, -1);
  if (alive)
    body +=
        "<p class=\"err\">A holder of this lock is alive: it still works on the record and "
        "may save over someone else's changes once the lock is gone.</p>";
  body +=
      "<p>" +
      PostForm("/locks/release", {{"ds", std::to_string(ds)}, {"id", id}}, ctx.csrf, "Release") +
      "</p>" + BackToLocks(ds);
  return RenderPage(LockFrame(ctx, ds, "Release the lock?"), body);
}

std::string ReleaseLockPage(const PageContext& ctx, const Params& p) {
  int ds = SourceIndex(ctx, p);
  std::string id = Param(p, "id");
  if (id.empty()) throw BadRequest("give the identifier of the lock to release");
  std::vector<LockView> on = LocksOn(ctx.sources.dsn(ds), id);
  LockManager lm;
  Variant dsn(ctx.sources.dsn(ds)), vid(id);
  std::string none_user, none_ws, none_mod;
  int32_t level = enum_byID;
  lm.UnlockIt(dsn, vid, none_user, none_ws, none_mod, level);
  std::string body = on.empty() ? "<p>There was no lock on <code>" + Escape(id) + "</code>.</p>"
                                : "<p>Released:</p>" + LocksTable(on, -1);
  return RenderPage(LockFrame(ctx, ds, "Lock released"), body + BackToLocks(ds));
}

std::string ReleaseStaleConfirmPage(const PageContext& ctx, const Params& p) {
  int ds = SourceIndex(ctx, p);
  std::vector<LockView> gone;
  for (LockView& v : CurrentLocks(ctx.sources.dsn(ds)))
    if (v.state == HolderState::kGone) gone.push_back(std::move(v));
  std::string body;
  if (gone.empty()) {
    body = "<p>No lock is held by a holder that is provably gone.</p>";
  } else {
    body = "<p>These " + std::to_string(gone.size()) +
           " locks are held by holders that are provably gone:</p>" + LocksTable(gone, -1) + "<p>" +
           PostForm("/locks/release-stale", {{"ds", std::to_string(ds)}}, ctx.csrf,
                    "Release the stale locks") +
           "</p>";
  }
  return RenderPage(LockFrame(ctx, ds, "Release the stale locks?"), body + BackToLocks(ds));
}

std::string ReleaseStalePage(const PageContext& ctx, const Params& p) {
  int ds = SourceIndex(ctx, p);
  std::vector<LockView> released;
  {
    ConnectionLease lease{Variant(ctx.sources.dsn(ds))};
    released = ReleaseStaleLocks(*lease);
  }
  std::string body = "<p>" + std::to_string(released.size()) + " stale locks released.</p>" +
                     (released.empty() ? "" : LocksTable(released, -1));
  return RenderPage(LockFrame(ctx, ds, "Stale locks released"), body + BackToLocks(ds));
}

}  // namespace q6::console
