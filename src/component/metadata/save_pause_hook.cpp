// The installed save hook, shared by the threads of the process.
#include "component/metadata/save_pause_hook.h"

#include <memory>
#include <mutex>

namespace q6 {
namespace {

std::mutex g_mu;
std::shared_ptr<const std::function<void()>> g_hook;  // guarded by g_mu

}  // namespace

void SetSavePauseHook(std::function<void()> hook) {
  auto next = hook ? std::make_shared<const std::function<void()>>(std::move(hook)) : nullptr;
  std::lock_guard<std::mutex> l(g_mu);
  g_hook = std::move(next);
}

void RunSavePauseHook() noexcept {
  std::shared_ptr<const std::function<void()>> hook;
  {
    std::lock_guard<std::mutex> l(g_mu);
    hook = g_hook;
  }
  if (!hook) return;
  try {
    (*hook)();
  } catch (...) {
    // A test hook that fails lets the save go on.
  }
}

}  // namespace q6
