// The C++ classes of <q6fd/q6fd.h>: a call with variables reaches the typed
// method and writes back into them; a call with temporaries and omitted
// arguments gets the interface's defaults.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "q6fd/q6fd.h"
#include "sample/sample_data.h"
#include "support/test_db.h"

namespace q6 {
namespace {

class CppClassesTest : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    sample::SeedSample(*OpenConnection(), sample::SeedOptions{2, {}});
  }
};

TEST_P(CppClassesTest, DefaultsAreTheInterfaces) {
  q6fd::DataManager dm;
  auto brief = As<EntityObject>(dm.LoadEOMetaData(dsn(), 51));
  Variant d(dsn());
  int32_t type = 51, only_used = 0;
  bool only_eo = false, get_child = true;
  auto full = As<EntityObject>(dm.LoadEOMetaData(d, type, only_eo, only_used, get_child));
  ASSERT_TRUE(brief && full);
  EXPECT_EQ(brief->Fields()->Count(), full->Fields()->Count());
  ASSERT_TRUE(full->ChildEOs()->ChildEO());
  EXPECT_TRUE(brief->ChildEOs()->ChildEO()) << "GetChildEO defaults to True";

  // The lock level defaults to one record: a second holder conflicts on the
  // same identifier only.
  q6fd::LockManager ann, bob;
  EXPECT_TRUE(ann.LockIt(dsn(), "510000000000001", "ann", "pc1", "fd"));
  EXPECT_EQ(Scalar("select class_flag from FD_Locks").ToString(), "7");
  EXPECT_THROW(bob.LockIt(dsn(), "510000000000001", "bob", "pc2", "fd"), ComError);
  EXPECT_TRUE(bob.LockIt(dsn(), "510000000000002", "bob", "pc2", "fd"));
  EXPECT_TRUE(ann.UnlockIt(dsn(), "510000000000001", "ann", "pc1", "fd"));
  EXPECT_TRUE(bob.LockIt(dsn(), "510000000000001", "bob", "pc2", "fd"));
}

Q6_INSTANTIATE_ENGINE_TEST(CppClassesTest);

// LogManager: only the form with variables hands back the reason of a
// failed start; by default a start replaces an existing file and a stop
// keeps it.
TEST(CppClasses, WriteBackOnlyIntoVariables) {
  auto dir =
      std::filesystem::temp_directory_path() / ("q6fd-classes-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string file = (dir / "a.log").string();
  std::ofstream(file) << "old";

  q6fd::LogManager log;
  EXPECT_FALSE(log.StartLog(file, false));
  bool override_ = false, unicode = false;
  std::string error;
  EXPECT_FALSE(log.StartLog(file, override_, error, unicode));
  EXPECT_FALSE(error.empty());

  ASSERT_TRUE(log.StartLog(file));  // bOverride defaults to True
  log.WriteLine("  entry  ");
  log.StopLog();  // bKill defaults to False: the file stays
  std::ifstream in(file);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all.find("old"), std::string::npos);
  EXPECT_NE(all.find("entry"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace q6
