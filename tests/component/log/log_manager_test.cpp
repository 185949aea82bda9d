// LogManager on real files, and on a stand-in file system that records the
// calls the log makes (for what real files cannot show: a stream that reads,
// a file-system object that hands back no stream, the order of the last
// calls when the object ends).
#include "component/frame/log_manager.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/textfile/scratch_dir.h"
#include "runtime/binder.h"
#include "runtime/class_table.h"

namespace q6 {
namespace {

using namespace std::string_literals;
using q6::testing::Exists;
using q6::testing::ReadBytes;
using q6::testing::ScratchDir;
using q6::testing::Utf16LeBytes;
using q6::testing::WriteBytes;

const std::string kStart = "-----------开始------------";
const std::string kEnd = "-----------结束------------";

// Starts a log with every argument given; the reason lands in *error.
bool Start(LogManager& log, const std::string& file, bool override_, std::string* error,
           bool unicode = false) {
  return log.StartLog(file, override_, *error, unicode);
}
void Stop(LogManager& log, bool kill) { log.StopLog(kill); }
void Write(LogManager& log, std::string text) { log.WriteLine(text); }
std::string Read(LogManager& log, bool all) { return log.ReadLine(all); }

class LogManagerTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  std::string error_ = "untouched";
};

struct ContentRow {
  bool unicode;
  std::string bytes;
};

TEST_F(LogManagerTest, StartLinesAndEndMarkerInEitherEncoding) {
  const ContentRow rows[] = {
      {false, kStart + "\r\nhello  world\r\n\r\n" + kEnd},
      {true, "\xFF\xFE"s + Utf16LeBytes(u"-----------开始------------\r\nhello  world\r\n\r\n"
                                        u"-----------结束------------")},
  };
  for (const ContentRow& r : rows) {
    std::string file = dir_ / (r.unicode ? "wide.log" : "narrow.log");
    LogManager log;
    ASSERT_TRUE(Start(log, file, true, &error_, r.unicode));
    EXPECT_EQ(error_, "untouched") << "success leaves strError alone";
    Write(log, "  hello  world  ");
    Write(log, "   ");
    Stop(log, false);
    EXPECT_EQ(ReadBytes(file), r.bytes) << "unicode " << r.unicode;
  }
}

TEST_F(LogManagerTest, NameIsTrimmedAndKeepsItsCase) {
  LogManager log;
  std::string file = dir_ / "Run.LOG";
  ASSERT_TRUE(Start(log, "  " + file + "  ", true, &error_));
  EXPECT_EQ(log.GetLogFileName(), file);
  EXPECT_TRUE(Exists(file));
  EXPECT_FALSE(Exists(dir_ / "run.log"));
}

TEST_F(LogManagerTest, SameNameWithoutOverrideFailsAndKeepsTheLogOpen) {
  LogManager log;
  std::string file = dir_ / "a.log";
  ASSERT_TRUE(Start(log, file, false, &error_));
  EXPECT_FALSE(Start(log, " " + file + " ", false, &error_));
  EXPECT_EQ(error_, "文件已经存在!");
  Write(log, "still open");
  Stop(log, false);
  EXPECT_EQ(ReadBytes(file), kStart + "\r\nstill open\r\n" + kEnd);
}

TEST_F(LogManagerTest, SameNameWithOverrideStartsTheFileAfresh) {
  LogManager log;
  std::string file = dir_ / "a.log";
  ASSERT_TRUE(Start(log, file, true, &error_));
  Write(log, "first run");
  ASSERT_TRUE(Start(log, file, true, &error_));
  EXPECT_EQ(ReadBytes(file), kStart + "\r\n");
}

TEST_F(LogManagerTest, ANewNameEndsThePreviousLog) {
  LogManager log;
  std::string first = dir_ / "1.log", second = dir_ / "2.log";
  ASSERT_TRUE(Start(log, first, true, &error_));
  ASSERT_TRUE(Start(log, second, false, &error_));
  EXPECT_EQ(ReadBytes(first), kStart + "\r\n" + kEnd);
  EXPECT_EQ(log.GetLogFileName(), second);
}

struct FailRow {
  const char* what;
  std::string file;
  bool override_;
  std::string error;
};

TEST_F(LogManagerTest, FileSystemRefusalsComeBackAsFalseWithTheirText) {
  std::string foreign = dir_ / "foreign.log";
  const FailRow rows[] = {
      {"foreign file, no override", foreign, false, "File already exists"},
      {"missing folder", dir_ / "nope/x.log", true, "Path not found"},
      {"a folder", dir_.path().string(), true, "Permission denied"},
  };
  for (const FailRow& r : rows) {
    WriteBytes(foreign, "someone else's");
    {
      LogManager log;
      std::string error;
      EXPECT_FALSE(Start(log, r.file, r.override_, &error)) << r.what;
      EXPECT_EQ(error, r.error) << r.what;
      EXPECT_EQ(log.GetLogFileName(), r.file) << r.what << ": the name is stored before opening";
    }
    EXPECT_EQ(ReadBytes(foreign), "someone else's") << r.what << ": the end of the object";
  }
}

TEST_F(LogManagerTest, AFailedStartNeverDeletesAForeignFile) {
  std::string own = dir_ / "own.log", foreign = dir_ / "foreign.log";
  WriteBytes(foreign, "keep");
  LogManager log;
  ASSERT_TRUE(Start(log, own, true, &error_));
  EXPECT_FALSE(Start(log, foreign, false, &error_));
  Stop(log, true);
  EXPECT_EQ(ReadBytes(foreign), "keep");
  EXPECT_EQ(log.GetLogFileName(), "");
  EXPECT_EQ(ReadBytes(own), kStart + "\r\n" + kEnd) << "the earlier log was ended, not deleted";
}

TEST_F(LogManagerTest, StopWithKillDeletesTheFileAndClearsTheName) {
  LogManager log;
  std::string file = dir_ / "k.log";
  ASSERT_TRUE(Start(log, file, true, &error_));
  Stop(log, true);
  EXPECT_FALSE(Exists(file));
  EXPECT_EQ(log.GetLogFileName(), "");
  Stop(log, true);  // again: nothing left to do
}

TEST_F(LogManagerTest, AStoppedLogLivesUntilTheObjectEnds) {
  std::string file = dir_ / "s.log";
  {
    LogManager log;
    ASSERT_TRUE(Start(log, file, true, &error_));
    Stop(log, false);
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ(log.GetLogFileName(), file);
    Write(log, "after stop");  // the stream is closed: ignored
    Stop(log, false);          // writing and closing again fail silently
    EXPECT_EQ(ReadBytes(file), kStart + "\r\n" + kEnd);
  }
  EXPECT_FALSE(Exists(file));
}

TEST_F(LogManagerTest, CallsOutOfOrderDoNothing) {
  LogManager log;
  Write(log, "nobody listens");
  EXPECT_EQ(Read(log, false), "");
  EXPECT_EQ(Read(log, true), "");
  Stop(log, false);
  Stop(log, true);
  EXPECT_EQ(log.GetLogFileName(), "");
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(LogManagerTest, ReadingTheLogsOwnStreamGivesEmptyText) {
  LogManager log;
  std::string file = dir_ / "r.log";
  ASSERT_TRUE(Start(log, file, true, &error_));
  Write(log, "line");
  EXPECT_EQ(Read(log, false), "");
  EXPECT_EQ(Read(log, true), "");
  Write(log, "more");
  Stop(log, false);
  EXPECT_EQ(ReadBytes(file), kStart + "\r\nline\r\nmore\r\n" + kEnd);
}

TEST_F(LogManagerTest, CalledByNameWithNamedArgumentsAndDefaults) {
  auto log = std::make_shared<LogManager>();
  std::string file = dir_ / "byname.log";
  WriteBytes(file, "old");
  Variant error("before");
  // bOverride defaults to True, bUnicode to False.
  EXPECT_TRUE(log->Invoke("startlog", MemberKind::Method, {Variant("  " + file)},
                          {{"STRERROR", Variant::Ref(&error)}})
                  .ToBool());
  EXPECT_EQ(error.ToString(), "before");
  EXPECT_FALSE(log->Invoke("StartLog", MemberKind::Method, {Variant(file)},
                           {{"bOverride", Variant(false)}, {"strError", Variant::Ref(&error)}})
                   .ToBool());
  EXPECT_EQ(error.ToString(), "文件已经存在!");
  Variant info(" by name ");
  log->Call("WriteLine", {Variant::Ref(&info)});
  EXPECT_EQ(info.ToString(), " by name ") << "strInfo is read, not trimmed in place";
  EXPECT_EQ(log->Call("ReadLine").ToString(), "");
  EXPECT_EQ(log->Call("GetLogFileName").ToString(), file);
  log->Call("StopLog");
  EXPECT_EQ(ReadBytes(file), kStart + "\r\nby name\r\n" + kEnd);
  log->Invoke("StopLog", MemberKind::Method, {}, {{"bkill", Variant(true)}});
  EXPECT_FALSE(Exists(file));
}

// ---- A stand-in file system that records what the log asks of it. ----

std::vector<std::string> g_calls;       // "CreateTextFile name", "Write text", ...
bool g_create_returns_nothing = false;  // CreateTextFile hands back Nothing

class FakeStream final : public Dispatchable {
 public:
  const InterfaceInfo& Interface() const override { return Info(); }
  static const InterfaceInfo& Info() {
    using C = FakeStream;
    static const InterfaceInfo info{"FakeStream",
                                    Guid::Of("{5C2B7E31-4F0A-4B8E-9D61-0A6E1C3F7BF1}"),
                                    {
                                        Method<C>("Write", 1, &C::Write, {Req("Text")}),
                                        Method<C>("WriteLine", 2, &C::WriteLine, {Req("Text")}),
                                        Method<C>("ReadLine", 3, &C::ReadLine, {}),
                                        Method<C>("ReadAll", 4, &C::ReadAll, {}),
                                        Method<C>("Close", 5, &C::Close, {}),
                                    }};
    return info;
  }
  void Write(const std::string& t) { g_calls.push_back("Write " + t); }
  void WriteLine(const std::string& t) { g_calls.push_back("WriteLine " + t); }
  std::string ReadLine() { return "  one line  "; }
  std::string ReadAll() { return "  all\r\nof it  "; }
  void Close() { g_calls.push_back("Close"); }
};

class FakeFileSystem final : public Dispatchable {
 public:
  const InterfaceInfo& Interface() const override { return Info(); }
  static const InterfaceInfo& Info() {
    using C = FakeFileSystem;
    static const InterfaceInfo info{
        "FakeFileSystem",
        Guid::Of("{5C2B7E31-4F0A-4B8E-9D61-0A6E1C3F7BF2}"),
        {
            Method<C>("CreateTextFile", 1, &C::CreateTextFile,
                      {Req("FileName"), Req("Overwrite"), Req("Unicode")}),
            Method<C>("DeleteFile", 2, &C::DeleteFile, {Req("FileSpec")}),
        }};
    return info;
  }
  ObjectRef CreateTextFile(const std::string& name, bool overwrite, bool unicode) {
    g_calls.push_back("CreateTextFile " + name + (overwrite ? " T" : " F") +
                      (unicode ? " T" : " F"));
    if (g_create_returns_nothing) return nullptr;
    return std::make_shared<FakeStream>();
  }
  void DeleteFile(const std::string& name) { g_calls.push_back("DeleteFile " + name); }
};

constexpr char kFakeProgId[] = "Q6Test.FakeFileSystem";

const ClassRegistrar kFakeRegistrar({
    kFakeProgId,
    "FakeFileSystem",
    Guid::Of("{5C2B7E31-4F0A-4B8E-9D61-0A6E1C3F7BF0}"),
    FakeFileSystem::Info,
    [] { return ObjectRef(std::make_shared<FakeFileSystem>()); },
});

class LogManagerCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_create_returns_nothing = false;
  }
  std::string error_;
};

TEST_F(LogManagerCallsTest, NoStreamFromTheFileSystemIsError8888) {
  g_create_returns_nothing = true;
  {
    LogManager log(kFakeProgId);
    EXPECT_FALSE(Start(log, "x.log", true, &error_, true));
    EXPECT_EQ(error_, "打开文件失败!");
  }
  // The file was never created, so the end of the object deletes nothing.
  EXPECT_EQ(g_calls, (std::vector<std::string>{"CreateTextFile x.log T T"}));
}

TEST_F(LogManagerCallsTest, ReadLineTrimsTheStreamsLineOrAllOfIt) {
  LogManager log(kFakeProgId);
  ASSERT_TRUE(Start(log, "r.log", true, &error_));
  EXPECT_EQ(Read(log, false), "one line");
  EXPECT_EQ(Read(log, true), "all\r\nof it");
}

TEST_F(LogManagerCallsTest, TheEndOfTheObjectWritesTheEndMarkerClosesAndDeletes) {
  {
    LogManager log(kFakeProgId);
    ASSERT_TRUE(Start(log, " e.log ", false, &error_));
    Write(log, " x ");
  }
  EXPECT_EQ(g_calls, (std::vector<std::string>{"CreateTextFile e.log F F", "WriteLine " + kStart,
                                               "WriteLine x", "Write " + kEnd, "Close",
                                               "DeleteFile e.log"}));
}

}  // namespace
}  // namespace q6
