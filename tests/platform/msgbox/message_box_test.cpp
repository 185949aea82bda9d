// The message box: a host's handler sees every message and answers for it;
// without one, the message goes to the trace and standard error and the
// call returns OK at once.
#include "platform/msgbox/message_box.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/trace/trace.h"

namespace q6 {
namespace {

TEST(MessageBoxTest, TheHandlerAnswers) {
  std::string seen;
  int style_seen = -1;
  SetMessageBoxHandler([&](const std::string& text, const std::string& title, int style) {
    seen = title + "|" + text;
    style_seen = style;
    return 2;
  });
  EXPECT_EQ(ShowMessageBox("单据类型名称不能重复!", "标题", 64), 2);
  EXPECT_EQ(seen, "标题|单据类型名称不能重复!");
  EXPECT_EQ(style_seen, 64);
  SetMessageBoxHandler(nullptr);
}

TEST(MessageBoxTest, WithoutAHandlerTraceAndStandardError) {
  SetMessageBoxHandler(nullptr);
  std::string path = (std::filesystem::temp_directory_path() /
                      ("q6msgbox-" + std::to_string(::getpid()) + ".jsonl"))
                         .string();
  std::filesystem::remove(path);
  SetTraceFile(path);
  ::testing::internal::CaptureStderr();
  int answer = ShowMessageBox("单据类型名称不能重复!", "HalvoERP-Q6资金管理", 64);
  std::string err = ::testing::internal::GetCapturedStderr();
  SetTraceFile("");
  EXPECT_EQ(answer, kMbAnswerOk);
  EXPECT_NE(err.find("单据类型名称不能重复!"), std::string::npos) << err;
  EXPECT_NE(err.find("HalvoERP-Q6资金管理"), std::string::npos) << err;
  std::ifstream in(path);
  std::stringstream trace;
  trace << in.rdbuf();
  EXPECT_NE(trace.str().find("\"note\""), std::string::npos) << trace.str();
  EXPECT_NE(trace.str().find("HalvoERP-Q6"), std::string::npos) << trace.str();
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace q6
