// Reading the end of the trace: only this process's whole lines are shown.
#include "console/trace_tail.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/trace/trace.h"

namespace q6::console {
namespace {

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
