// The engine-independent half of every driver: timing and tracing each
// statement, transaction state checks, the primary key lookup.
#include "platform/drivers/driver.h"

#include <pthread.h>

#include <array>
#include <atomic>
#include <cstdint>

#include "platform/trace/trace.h"

namespace q6 {
namespace {
std::atomic<int64_t> g_next_id{1};

// Counts the forks this process descends from since the library was loaded:
// the child of every fork adds one, so a driver opened before the fork sees
// a different count in the child. Cheaper per statement than asking the
// kernel for the process id.
std::atomic<uint64_t> g_fork_generation{0};
void CountFork() { g_fork_generation.fetch_add(1, std::memory_order_relaxed); }
const bool kForkCounted = (::pthread_atfork(nullptr, nullptr, CountFork), true);
constexpr const char* kSource = "ADODB.Connection";
constexpr const char* kForked =
    "This connection was opened before the process forked and belongs to the parent; "
    "a forked process opens connections of its own";

// No engine takes a NUL character in statement text or in a text value: the
// C interfaces would cut the text short there (and SQLite would stop reading
// a multi-statement text at it), so such text is refused before it is sent.
void RefuseNul(std::string_view text, const char* what) {
  if (text.find('\0') != std::string_view::npos)
    Throw(E_FAIL, std::string(what) + " holds a NUL character, which no engine accepts", kSource);
}
}  // namespace

Driver::Driver()
    : id_(g_next_id++), fork_generation_(g_fork_generation.load(std::memory_order_relaxed)) {}

bool Driver::InheritedAcrossFork() const {
  (void)kForkCounted;
  return fork_generation_ != g_fork_generation.load(std::memory_order_relaxed);
}
Driver::~Driver() = default;

template <class F>
ResultSet Driver::Traced(const std::string& native, std::string_view built, F&& run) {
  if (built.empty()) built = native;
  if (InheritedAcrossFork()) {
    last_error_ = kForked;
    TraceStatement({id_, built, native, 0.0, 0, &last_error_});
    Throw(E_FAIL, last_error_, kSource);
  }
  if (!TraceEnabled()) {
    try {
      return run();
    } catch (const ComError& e) {
      last_error_ = e.description();
      throw;
    }
  }
  auto start = std::chrono::steady_clock::now();
  auto ms = [&] {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
  };
  try {
    ResultSet r = run();
    int64_t rows = r.has_rows ? static_cast<int64_t>(r.row_count)
                              : (r.rows_affected < 0 ? 0 : r.rows_affected);
    TraceStatement({id_, built, native, ms(), rows, nullptr, source_});
    return r;
  } catch (const ComError& e) {
    last_error_ = e.description();
    TraceStatement({id_, built, native, ms(), 0, &last_error_, source_, ErrorKindName(e.kind()),
                    e.native_code()});
    throw;
  }
}

template <class F>
ResultSet Driver::Prepared(const Translation& sql, F&& fallback) {
  thread_local ParameterizedSql literals;
  if (ParameterizeLiterals(sql, engine(), &literals))
    if (std::optional<ResultSet> r = DoExecuteLiterals(literals)) return std::move(*r);
  return fallback();
}

ResultSet Driver::Execute(const Translation& sql, std::string_view built) {
  if (!sql.params.empty()) return ExecuteParams(sql.native, sql.params, built);
  return Traced(sql.native, built, [&] {
    RefuseNul(sql.native, "The statement text");
    return Prepared(sql, [&] { return DoExecute(sql.native); });
  });
}

ResultSet Driver::ExecuteOne(const Translation& sql, std::string_view built) {
  if (!sql.params.empty()) return ExecuteParams(sql.native, sql.params, built);
  return Traced(sql.native, built, [&] {
    RefuseNul(sql.native, "The statement text");
    if (sql.appended > 0 && sql.appended < sql.native.size()) {
      // The statement written, then the dialect's own (a new table's
      // triggers): the written part must be one statement; then all run.
      DoCheckOne(sql.native.substr(0, sql.native.size() - sql.appended));
      return DoExecute(sql.native);
    }
    return Prepared(sql, [&] { return DoExecuteOne(sql.native); });
  });
}

ResultSet Driver::ExecuteParams(const std::string& native, const std::vector<Variant>& params,
                                std::string_view built) {
  // A statement's few values are pointed at from the stack: a keyed
  // statement run again and again allocates nothing here.
  constexpr size_t kOnStack = 16;
  std::array<const Variant*, kOnStack> on_stack;
  std::vector<const Variant*> on_heap;
  const Variant** refs = on_stack.data();
  if (params.size() > kOnStack) {
    on_heap.resize(params.size());
    refs = on_heap.data();
  }
  for (size_t i = 0; i < params.size(); ++i) refs[i] = &params[i];
  return ExecuteParams(native, std::span<const Variant* const>(refs, params.size()), built);
}

ResultSet Driver::ExecuteParams(const std::string& native, std::span<const Variant* const> params,
                                std::string_view built) {
  return Traced(native, built, [&] {
    RefuseNul(native, "The statement text");
    for (const Variant* p : params)
      if (const std::string* text = p->get_if<std::string>()) RefuseNul(*text, "A text value");
    return DoExecuteParams(native, params);
  });
}

std::vector<int32_t> Driver::ParameterTypes(const std::string& native) {
  if (InheritedAcrossFork()) Throw(E_FAIL, kForked, kSource);
  RefuseNul(native, "The statement text");
  try {
    return DoParameterTypes(native);
  } catch (const ComError& e) {
    last_error_ = e.description();
    throw;
  }
}

std::vector<ResultSet> Driver::ExecuteBatch(std::span<const Batched> batch) {
  std::vector<ResultSet> done;
  done.reserve(batch.size());
  if (batch.size() < 2 || !SendsBatchesTogether() || InheritedAcrossFork()) {
    for (const Batched& b : batch) done.push_back(Execute(b.sql, b.built));
    return done;
  }
  for (const Batched& b : batch) {
    RefuseNul(b.sql.native, "The statement text");
    for (const Variant& p : b.sql.params)
      if (p.type() == VarType::String) RefuseNul(p.string(), "A text value");
  }
  const auto start = std::chrono::steady_clock::now();
  auto trace = [&](const ComError* error) {
    if (!TraceEnabled()) return;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (size_t i = 0; i < done.size() + (error ? 1 : 0); ++i) {
      const Batched& b = batch[i];
      const std::string_view built = b.built.empty() ? std::string_view(b.sql.native) : b.built;
      if (i == done.size()) {
        TraceStatement({id_, built, b.sql.native, ms, 0, &last_error_, source_,
                        ErrorKindName(error->kind()), error->native_code()});
        continue;
      }
      const ResultSet& r = done[i];
      const int64_t rows = r.has_rows ? static_cast<int64_t>(r.row_count)
                                      : (r.rows_affected < 0 ? 0 : r.rows_affected);
      TraceStatement({id_, built, b.sql.native, ms, rows, nullptr, source_});
    }
  };
  try {
    DoExecuteBatch(batch, &done);
  } catch (const ComError& e) {
    last_error_ = e.description();
    trace(&e);
    throw;
  }
  trace(nullptr);
  return done;
}

void Driver::DoExecuteBatch(std::span<const Batched>, std::vector<ResultSet>*) {
  Throw(E_FAIL, "This engine does not send statements together", kSource);
}

std::vector<std::string> Driver::PrimaryKey(const std::string& table) {
  ResultSet r = ExecuteParams(PrimaryKeyQuery(), {Variant(table)});
  std::vector<std::string> keys;
  for (size_t i = 0; i < r.row_count; ++i) keys.push_back(r.cells[i * r.columns.size()].ToString());
  return keys;
}

std::vector<std::string> Driver::ExclusionStatements(const ExclusiveResource&) const { return {}; }

std::string Driver::WithRowLock(std::string select) const { return select; }

size_t Driver::MaxIndexedTextBytes() const { return SIZE_MAX; }

void Driver::Begin() {
  if (InTransaction()) {
    last_error_ = "Only one transaction can be active on this session.";
    Throw(kXactOnlyOneTransaction, last_error_, kSource);
  }
  Execute(BeginText(), "BeginTrans");
}

void Driver::BeginWith(const std::vector<std::string>& natives) {
  if (natives.empty() || InTransaction()) return Begin();
  std::vector<Batched> batch{{BeginText(), "BeginTrans"}};
  for (const std::string& sql : natives) batch.push_back({sql, ""});
  ExecuteBatch(batch);
}

void Driver::CommitAfter(const std::vector<Batched>& writes) {
  if (writes.empty() || !InTransaction()) return Commit();
  std::vector<Batched> batch = writes;
  batch.push_back({"COMMIT", "CommitTrans"});
  ExecuteBatch(batch);
}

void Driver::Commit() {
  if (!InTransaction()) {
    last_error_ = "CommitTrans failed: no transaction is active.";
    Throw(kXactNoTransaction, last_error_, kSource);
  }
  Execute("COMMIT", "CommitTrans");
}

void Driver::Rollback() {
  if (!InTransaction()) {
    last_error_ = "RollbackTrans failed: no transaction is active.";
    Throw(kXactNoTransaction, last_error_, kSource);
  }
  Execute("ROLLBACK", "RollbackTrans");
}

}  // namespace q6
