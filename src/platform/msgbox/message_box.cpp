// The process-wide message box handler.
//
// The handler is copied out under the lock and called outside it, so a
// handler may take as long as it likes (a person reading a dialog) or even
// set another handler without blocking other threads.
#include "platform/msgbox/message_box.h"

#include <cstdio>
#include <mutex>

#include "platform/trace/trace.h"

namespace q6 {
namespace {

std::mutex& HandlerLock() {
  static std::mutex m;
  return m;
}

MessageBoxHandler& Handler() {
  static MessageBoxHandler h;
  return h;
}

}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> lock(HandlerLock());
  Handler() = std::move(handler);
}

int ShowMessageBox(const std::string& text, const std::string& title, int style) {
  MessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> lock(HandlerLock());
    handler = Handler();
  }
  if (handler) return handler(text, title, style);
  TraceNote("MsgBox " + title, text);
  std::string line = title + ": " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return kMbAnswerOk;
}

}  // namespace q6
