// Apartments under load: threads that each use their own per-apartment
// services while sharing the process-wide class table and registration store.
//
// Run under ThreadSanitizer by `make test-tsan` (and normally with the other
// tests); the checks below catch the lost updates and mixed-up instances a
// race would cause even where no sanitizer watches.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "outside/services/connection_manager.h"
#include "outside/services/public_service.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "runtime/class_table.h"
#include "runtime/com_error.h"
#include "runtime/registry.h"
#include "support/test_db.h"

namespace q6::test {
namespace {

constexpr HRESULT kWrongThread = MakeHr(0x8001010Eu);
constexpr int kThreads = 2;
constexpr int kRounds = 40;

// Runs `body(t)` on kThreads threads at once and returns the first failure
// text of each thread ("" when it finished cleanly).
std::vector<std::string> RunThreads(const std::function<void(int)>& body) {
  std::vector<std::string> failures(kThreads);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready.load() < kThreads) std::this_thread::yield();  // start together
      try {
        body(t);
      } catch (const ComError& e) {
        failures[t] = e.description();
      } catch (const std::exception& e) {
        failures[t] = e.what();
      }
    });
  }
  for (auto& th : threads) th.join();
  return failures;
}

class ApartmentsTest : public EngineTest {};

TEST_P(ApartmentsTest, EachThreadKeepsItsOwnServicesAndConnections) {
  Exec("create table apt_rows (thread_no integer, round_no integer)");
  std::vector<const void*> managers(kThreads), services(kThreads);
  std::vector<size_t> idle(kThreads);
  auto failures = RunThreads([&](int t) {
    auto cm = ApartmentConnectionManager();
    managers[t] = cm.get();
    services[t] = ApartmentPublicService().get();
    // The same instance for the whole apartment, by typed call and by ProgID.
    if (CreateObject("Q6Sys.ConnectionManager").get() != cm.get())
      throw std::runtime_error("ProgID gave another ConnectionManager");
    if (CreateObject("Q6Sys.PublicService").get() != services[t])
      throw std::runtime_error("ProgID gave another PublicService");
    for (int r = 0; r < kRounds; ++r) {
      ConnectionLease lease{Variant(dsn())};
      lease->Execute("insert into apt_rows values (" + std::to_string(t) + ", " +
                     std::to_string(r) + ")");
    }
    idle[t] = cm->IdleCount();
  });
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], "") << "thread " << t;
  EXPECT_NE(managers[0], managers[1]);
  EXPECT_NE(services[0], services[1]);
  // Each apartment's pool handed its one connection back and forth.
  EXPECT_EQ(idle, std::vector<size_t>(kThreads, 1));
  EXPECT_EQ(Scalar("select count(*) from apt_rows").ToLong(), kThreads * kRounds);
  EXPECT_EQ(Scalar("select count(distinct thread_no) from apt_rows").ToLong(), kThreads);
}

TEST_P(ApartmentsTest, AnObjectRefusesCallsFromAnotherApartment) {
  ObjectRef con = CreateObject("ADODB.Connection");
  con->Invoke("Open", MemberKind::Method, {Variant(dsn())});
  std::vector<HRESULT> seen(kThreads, S_OK);
  RunThreads([&](int t) {
    try {
      con->Invoke("Execute", MemberKind::Method, {Variant("select 1")});
    } catch (const ComError& e) {
      seen[t] = e.hr();
    }
  });
  EXPECT_EQ(seen, std::vector<HRESULT>(kThreads, kWrongThread));
  // Still whole for its own apartment.
  EXPECT_NO_THROW(con->Invoke("Execute", MemberKind::Method, {Variant("select 1")}));
}

TEST(ApartmentsSharedTest, ClassTableTakesNewClassesWhileOthersCreate) {
  std::atomic<int> created{0};
  auto failures = RunThreads([&](int t) {
    for (int r = 0; r < kRounds; ++r) {
      if (t == 0) {
        ClassInfo info;
        info.prog_id = "Q6Test.Apartment" + std::to_string(r);
        info.class_name = "Apartment" + std::to_string(r);
        char clsid[40];
        std::snprintf(clsid, sizeof clsid, "{7E57A9A0-0000-4000-8000-%012X}", r);
        info.clsid = Guid::Of(clsid);  // classes are told apart by CLSID
        info.interface_info = []() -> const InterfaceInfo& {
          return ApartmentConnectionManager()->Interface();
        };
        info.create = [] { return ObjectRef(ApartmentConnectionManager()); };
        ClassTable::Linked().Add(std::move(info));
      } else {
        if (!CreateLinkedObject("Q6Sys.PublicService")) throw std::runtime_error("no object");
        ClassTable::Linked().All();
        ++created;
      }
    }
  });
  EXPECT_EQ(failures, std::vector<std::string>(kThreads, ""));
  EXPECT_EQ(created.load(), kRounds);
  for (int r = 0; r < kRounds; ++r)
    EXPECT_NE(ClassTable::Linked().FindProgId("q6test.apartment" + std::to_string(r)), nullptr);
}

TEST(ApartmentsSharedTest, RegistrationStoreLosesNoConcurrentWrite) {
  const std::string path = ::testing::TempDir() + "q6-apartments-registry.txt";
  std::remove(path.c_str());
  auto failures = RunThreads([&](int t) {
    RegistryStore store(path);
    for (int r = 0; r < kRounds; ++r) {
      const std::string key = "Test\\T" + std::to_string(t) + "\\R" + std::to_string(r);
      store.SetAll({{key, std::to_string(r)}});
      if (store.Get(key) != std::to_string(r)) throw std::runtime_error("lost " + key);
    }
  });
  EXPECT_EQ(failures, std::vector<std::string>(kThreads, ""));
  EXPECT_EQ(RegistryStore(path).Load().size(), static_cast<size_t>(kThreads * kRounds));
  std::remove(path.c_str());
  std::remove((path + ".lock").c_str());
}

Q6_INSTANTIATE_ENGINE_TEST(ApartmentsTest);

}  // namespace
}  // namespace q6::test
