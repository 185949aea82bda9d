// Reading the trace back: every line the trace writes must come back as it
// was built, and only this process's lines are shown.
#include "console/trace_tail.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/trace/trace.h"

namespace q6::console {
namespace {

TEST(TraceTailTest, LinesComeBackAsWritten) {
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

TEST(TraceTailTest, BrokenLinesAreLeftOut) {
  for (const char* line : {"", "{", "{\"sql\": \"x", "{\"sql\" \"x\"}", "{\"a\": 1} trailing",
                           "[1]", "{\"a\": \"\\u12\"}"})
    EXPECT_TRUE(ParseTraceLine(line).empty()) << line;
}

TEST(TraceTailTest, TheLastLinesOfThisProcessOldestFirst) {
  auto path =
      std::filesystem::temp_directory_path() / ("q6fd-trace-tail-" + std::to_string(::getpid()));
  {
    std::ofstream f(path);
    f << "{\"sql\": \"half";  // cut off: no closing
    f << "\n";
    for (int i = 0; i < 5; ++i)
      f << "{\"sql\": \"s" << i << "\", \"pid\": " << (i == 3 ? 1 : ::getpid()) << "}\n";
  }
  std::vector<TraceEntry> got = ReadTraceTail(path.string(), 3, ::getpid());
  std::filesystem::remove(path);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0]["sql"], "s1");
  EXPECT_EQ(got[1]["sql"], "s2");
  EXPECT_EQ(got[2]["sql"], "s4");
  EXPECT_TRUE(ReadTraceTail("/nonexistent/trace", 3, ::getpid()).empty());
}

}  // namespace
}  // namespace q6::console
