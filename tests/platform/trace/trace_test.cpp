// The statement trace: one JSON line per statement, on both engines.
#include "platform/trace/trace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/drivers/driver.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

class TraceTest : public test::EngineTest {
 protected:
  void TearDown() override {
    SetTraceFile("");
    EngineTest::TearDown();
  }
};

TEST_P(TraceTest, EveryStatementWithBuiltAndNativeTextRowsAndErrors) {
  auto con = OpenConnection();
  std::string path = folder() + "/trace.jsonl";
  SetTraceFile(path);
  con->Execute("insert into FD_Locks values ('a\"b', 'u', 'w', 'm', '7', 'line\nbreak')");
  con->Execute("select top 1 locks_id from FD_Locks");
  EXPECT_THROW(con->Execute("select * from nowhere"), ComError);
  con->BeginTrans();
  con->CommitTrans();
  SetTraceFile("");
  con->Execute("select 1");  // not traced any more
  auto lines = Lines(path);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_THAT(lines[0], HasSubstr("\"rows\": 1"));
  EXPECT_THAT(lines[0], HasSubstr("a\\\"b"));
  EXPECT_THAT(lines[0], HasSubstr("line\\nbreak"));
  EXPECT_THAT(lines[1], HasSubstr("\"sql\": \"select top 1 locks_id from FD_Locks\""));
  EXPECT_THAT(
      lines[1],
      HasSubstr("\"native\": \"" +
                TranslateSql("select top 1 locks_id from FD_Locks", engine()).native + "\""));
  EXPECT_THAT(lines[2], HasSubstr("\"error\": "));
  EXPECT_THAT(lines[2], HasSubstr("nowhere"));
  EXPECT_THAT(lines[2], HasSubstr("\"kind\": \"other\", \"code\": \""));
  EXPECT_THAT(lines[3], HasSubstr("\"sql\": \"BeginTrans\""));
  EXPECT_THAT(lines[4], HasSubstr("\"sql\": \"CommitTrans\", \"native\": \"COMMIT\""));
  for (const std::string& l : lines) {
    EXPECT_EQ(l.front(), '{');
    EXPECT_EQ(l.back(), '}');
    EXPECT_THAT(l, HasSubstr("\"conn\": " + std::to_string(con->driver().id()) + ","));
    EXPECT_THAT(l, HasSubstr("\"ms\": "));
    EXPECT_THAT(l, ContainsRegex("\"time\": \"20[0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-9:.]+Z\""));
    EXPECT_THAT(l, HasSubstr("\"pid\": " + std::to_string(::getpid()) + ","));
    EXPECT_THAT(l, HasSubstr("\"source\": " + JsonString(con->driver().source()) + "}"));
    EXPECT_FALSE(con->driver().source().empty());
  }
}

Q6_INSTANTIATE_ENGINE_TEST(TraceTest);

TEST(TraceLines, ThreadsAndProcessesNeverInterleave) {
  char dir[] = "/tmp/q6trace.XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  std::string path = std::string(dir) + "/t.jsonl";
  SetTraceFile(path);
  const std::string big(3000, 'x');
  auto burst = [&] {
    for (int i = 0; i < 200; ++i) TraceStatement({7, big, "n", 1.0, 1, nullptr});
  };
  pid_t child = ::fork();
  if (child == 0) {
    burst();
    ::_exit(0);
  }
  std::thread a(burst), b(burst);
  a.join();
  b.join();
  int status = 0;
  ::waitpid(child, &status, 0);
  SetTraceFile("");
  auto lines = Lines(path);
  EXPECT_EQ(lines.size(), 600u);
  std::string record = TraceLine({7, big, "n", 1.0, 1, nullptr});
  record.resize(record.size() - 2);  // the members without "}\n"
  for (const std::string& l : lines) {
    ASSERT_EQ(l.substr(0, record.size()), record);
    ASSERT_EQ(l.back(), '}');
  }
  std::filesystem::remove_all(dir);
}

TEST(TraceLines, JsonEscapes) {
  EXPECT_EQ(JsonString("a\"b\\c\td\x01"), "\"a\\\"b\\\\c\\td\\u0001\"");
  EXPECT_EQ(JsonString("Grüße"), "\"Grüße\"");
  EXPECT_EQ(JsonString("\xff"), "\"\\u00ff\"");
  std::string err = "boom";
  EXPECT_EQ(TraceLine({3, "s", "n", 0.5, 2, &err}),
            "{\"conn\": 3, \"sql\": \"s\", \"native\": \"n\", \"ms\": 0.500, \"rows\": 2, "
            "\"error\": \"boom\"}\n");
}

TEST(TraceLines, ReadBackAsWritten) {
  const std::string sql = "select '\"<x>\\' from t\n\twhere a = 'ü'";
  const std::string error = "bad \x01 byte \xff";
  TraceRecord r;
  r.conn = 7;
  r.sql = sql;
  r.native = "select 1";
  r.ms = 1.5;
  r.rows = 3;
  r.error = &error;
  r.kind = "busy";
  TraceEntry e = ParseTraceLine(WithContext(TraceLine(r), "demo"));
  EXPECT_EQ(e["sql"], sql);
  EXPECT_EQ(e["native"], "select 1");
  EXPECT_EQ(e["conn"], "7");
  EXPECT_EQ(e["rows"], "3");
  EXPECT_EQ(e["error"], "bad \x01 byte \xc3\xbf");  // an invalid byte shows as its code point
  EXPECT_EQ(e["source"], "demo");
  EXPECT_EQ(e["pid"], std::to_string(::getpid()));
}

TEST(TraceLines, BrokenLinesAreLeftOut) {
  for (const char* line : {"", "{", "{\"sql\": \"x", "{\"sql\" \"x\"}", "{\"a\": 1} trailing",
                           "[1]", "{\"a\": \"\\u12\"}"})
    EXPECT_TRUE(ParseTraceLine(line).empty()) << line;
}

TEST(TraceLines, AnUnwritablePathIsReportedOnceAndTracingStaysOff) {
  testing::internal::CaptureStderr();
  SetTraceFile("/nonexistent-folder/trace.jsonl");
  TraceStatement({1, "s", "n", 0.1, 0, nullptr});
  TraceNote("x", "y");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(TraceEnabled());
  EXPECT_THAT(err, HasSubstr("/nonexistent-folder/trace.jsonl"));
  EXPECT_EQ(err.find("trace.jsonl"), err.rfind("trace.jsonl")) << err;
  SetTraceFile("");
}

}  // namespace
}  // namespace q6
