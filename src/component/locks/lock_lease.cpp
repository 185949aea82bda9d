// The lease keeper: one thread per process, started by the first lock that
// needs it, renewing each data source where this process holds locks.
//
// The thread opens a connection of its own per data source (a pooled one
// belongs to its apartment), drops it when it fails and opens it again on
// the next round. A forked child has no keeper thread: it starts its own
// when it takes a lock, and leaves the parent's alone.
#include "component/locks/lock_lease.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "component/frame/sql_text.h"
#include "component/locks/lock_holders.h"
#include "platform/adodb/connection.h"
#include "platform/drivers/driver.h"
#include "platform/trace/trace.h"

namespace q6 {
namespace {

class LeaseKeeper {
 public:
  ~LeaseKeeper() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    // In a forked child the thread object names a thread of the parent:
    // it is left alone.
    if (thread_ && owner_ == ::getpid()) {
      thread_->join();
      delete thread_;
    }
  }

  void Keep(const DataSource& ds) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (owner_ != ::getpid()) {  // first use, or the first in a forked child
      owner_ = ::getpid();
      sources_.clear();
      thread_ = new std::thread([this] { Run(); });
    }
    Source& s = sources_[ds.Describe()];
    s.ds = ds;
    ++s.generation;
  }

 private:
  struct Source {
    DataSource ds;
    uint64_t generation = 0;  // raised by every Keep, so a round that found
                              // no rows cannot drop a source just locked again
  };

  void Run() {
    std::map<std::string, std::unique_ptr<Connection>> connections;
    std::unique_lock<std::mutex> hold(mutex_);
    while (!stop_) {
      wake_.wait_for(hold, std::chrono::seconds(kLeaseRenewSeconds), [&] { return stop_; });
      if (stop_) break;
      const std::map<std::string, Source> round = sources_;
      hold.unlock();
      std::map<std::string, uint64_t> done;  // sources with no row left
      for (const auto& [key, source] : round) {
        std::unique_ptr<Connection>& con = connections[key];
        try {
          if (!con) {
            con = std::make_unique<Connection>();
            con->OpenResolved(source.ds, key);
          }
          if (RenewLeases(*con) == 0) done[key] = source.generation;
        } catch (const std::exception& e) {
          TraceNote("LockManager (lease)", std::string("renewal failed: ") + e.what());
          con.reset();
        }
      }
      hold.lock();
      for (const auto& [key, generation] : done) {
        auto it = sources_.find(key);
        if (it != sources_.end() && it->second.generation == generation) {
          sources_.erase(it);
          connections.erase(key);
        }
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  pid_t owner_ = 0;
  std::thread* thread_ = nullptr;  // a pointer, so that a child can leave it alone
  std::map<std::string, Source> sources_;
};

}  // namespace

void KeepLeaseFor(const Connection& con) {
  static LeaseKeeper keeper;
  keeper.Keep(con.data_source());
}

int64_t RenewLeases(Connection& con) {
  // Holder rows of transactions whose locks are all released go first, so
  // that a process that holds nothing more renews nothing and stops.
  DropReleasedTransactionHolders(con);
  const ProcessIdentity& me = ThisProcess();
  ResultSet r = con.driver().Execute(
      "update FD_LockHolders set renewed_at = " + UtcNowSql(con.engine()) +
      " where host = " + SqlQuoted(me.host) + " and machine_id = " + SqlQuoted(me.machine_id) +
      " and pid_ns = " + SqlQuoted(me.pid_ns) + " and pid = " + SqlNumber(me.pid) +
      " and process_start = " + SqlQuoted(me.boot_id + "/" + me.start_tick));
  return r.rows_affected;
}

}  // namespace q6
