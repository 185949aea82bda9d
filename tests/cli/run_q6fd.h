// Running the built q6fd as a user runs it, from a folder, with standard
// output and standard error kept apart.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace q6::test {

struct CmdResult {
  int status;
  std::string out;  // standard output
  std::string err;  // standard error
  std::string both() const { return out + err; }
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs `command` (a shell command line) in `cwd`. Standard error goes to a
// file of this call's own: test programs run side by side in the same
// folders, and a shared name let one read or remove another's.
inline CmdResult RunShell(const std::string& command, const std::string& cwd) {
  char err_name[] = "/tmp/q6fd-stderr.XXXXXX";
  const int fd = ::mkstemp(err_name);
  if (fd < 0) return CmdResult{-1, "", "mkstemp failed"};
  ::close(fd);
  const std::string err_file = err_name;
  std::string cmd = "cd " + Quote(cwd) + " && " + command + " 2>" + Quote(err_file);
  CmdResult r{-1, "", ""};
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  std::ifstream in(err_file);
  std::stringstream ss;
  ss << in.rdbuf();
  r.err = ss.str();
  std::remove(err_file.c_str());
  return r;
}

// Runs q6fd with `args` (already quoted where needed) in `cwd`.
inline CmdResult Q6fd(const std::string& args, const std::string& cwd) {
  return RunShell(Quote(Q6FD_BIN) + " " + args, cwd);
}

}  // namespace q6::test
