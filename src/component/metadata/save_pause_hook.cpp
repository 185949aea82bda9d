// PauseInsideSaveIfAsked: create the marker file, wait while it exists.
#include "component/metadata/save_pause_hook.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

namespace q6 {

void PauseInsideSaveIfAsked() noexcept {
  const char* path = std::getenv(kSavePauseVariable);
  if (!path || !*path) return;
  int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const std::string pid = std::to_string(::getpid()) + "\n";
  bool written = ::write(fd, pid.data(), pid.size()) == static_cast<ssize_t>(pid.size());
  ::close(fd);
  if (!written) return;
  const auto deadline = std::chrono::steady_clock::now() + kMaxPause;
  while (::access(path, F_OK) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

}  // namespace q6
