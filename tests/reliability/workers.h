// Forked worker processes for the multi-process tests.
//
//   Workers w;
//   for (int i = 0; i < 4; ++i) w.Spawn([&, i] { return Work(i); });
//   w.Start();                                  // every child begins now
//   std::vector<int> codes = w.WaitAll(std::chrono::seconds(60));
//
// A child runs its body after the start gate opens and leaves with _exit and
// the body's result (70 when the body throws), so no test teardown and no
// destructor of anything the parent owns runs in it. A child must open its
// own connections: nothing the parent opened may be used across the fork
// (an inherited SQLite handle or libpq socket is shared state, not a
// connection of the child's own). In particular the parent must not have
// called the component with a data source its children use, or the
// apartment's pool, copied into each child, would hand them the parent's
// connection.
//
// Children report through files: AppendLine writes one line with one
// write(2) on an O_APPEND descriptor, so lines of several processes never
// mix; ReadLines reads them back.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace q6::test {

// Exit codes with a meaning of their own.
constexpr int kExitThrew = 70;        // the body raised
constexpr int kExitTimedOut = 99;     // WaitAll killed the child at its deadline
constexpr int kExitSignalBase = 100;  // 100 + signal number: killed by a signal

class Workers {
 public:
  Workers() {
    if (::pipe(gate_) != 0) throw std::runtime_error("pipe failed");
  }
  ~Workers() {
    CloseGate();
    for (pid_t pid : pids_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // Forks a child that waits for Start() (or, with `gated` false, begins at
  // once) and then runs `body`. Returns the child's process id.
  pid_t Spawn(const std::function<int()>& body, bool gated = true) {
    std::fflush(nullptr);  // buffered output must not be written twice
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
      ::close(gate_[1]);
      if (gated) {
        char c;
        while (::read(gate_[0], &c, 1) > 0) {
        }
      }
      int code = kExitThrew;
      try {
        code = body();
      } catch (...) {
      }
      ::_exit(code);
    }
    pids_.push_back(pid);
    return pid;
  }

  // Opens the gate: every gated child, spawned so far or later, runs now.
  void Start() { CloseGate(); }

  // Waits for one child; kills it with SIGKILL once `deadline` has passed.
  // Returns its exit code, kExitTimedOut when it was killed at the deadline,
  // or kExitSignalBase + signal when a signal ended it.
  int Wait(pid_t pid, std::chrono::steady_clock::time_point deadline) {
    int status = 0;
    bool timed_out = false;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        timed_out = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Forget(pid);
    if (timed_out) return kExitTimedOut;
    return WIFEXITED(status) ? WEXITSTATUS(status) : kExitSignalBase + WTERMSIG(status);
  }

  // Whether the child has not ended yet (it is not reaped here).
  bool Running(pid_t pid) const {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }

  // Kills one child with SIGKILL and reaps it.
  void Kill(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    Forget(pid);
  }

  // Opens the gate and waits for every child still running, in spawn order.
  std::vector<int> WaitAll(std::chrono::seconds limit) {
    Start();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<int> codes;
    for (pid_t pid : std::vector<pid_t>(pids_)) codes.push_back(Wait(pid, deadline));
    return codes;
  }

 private:
  void CloseGate() {
    if (gate_[0] >= 0) ::close(gate_[0]);
    if (gate_[1] >= 0) ::close(gate_[1]);
    gate_[0] = gate_[1] = -1;
  }
  void Forget(pid_t pid) { std::erase(pids_, pid); }

  int gate_[2] = {-1, -1};
  std::vector<pid_t> pids_;
};

// Appends `line` and a newline to `path` with one write. Returns false when
// the file cannot be written.
inline bool AppendLine(const std::string& path, const std::string& line) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::string text = line + "\n";
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

// The lines of `path`; none when it does not exist.
inline std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Waits until `path` exists, for at most `limit`. Returns whether it does.
inline bool WaitForFile(const std::string& path, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (::access(path.c_str(), F_OK) != 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// A pause for a hook inside the code under test: creates `path` (holding
// the process id) and waits while it exists, at most `limit`. The test
// waits for the file, does what it must while the child is held, and
// removes the file to let the child go on.
inline std::function<void()> PauseWhileFileExists(
    const std::string& path, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
  return [path, limit] {
    if (!AppendLine(path, std::to_string(::getpid()))) return;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (::access(path.c_str(), F_OK) == 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  };
}

}  // namespace q6::test
