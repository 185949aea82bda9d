// Progress lines.
#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace q6::cli {

bool ProgressLine::Wanted() {
  const char* term = std::getenv("TERM");
  return ::isatty(STDERR_FILENO) == 1 && !(term && std::strcmp(term, "dumb") == 0);
}

ProgressLine::ProgressLine(std::string label, int64_t total)
    : label_(std::move(label)), total_(total), active_(Wanted()) {}

ProgressLine::~ProgressLine() { Finish(); }

void ProgressLine::Update(int64_t done) {
  if (!active_) return;
  int permille = total_ > 0 ? static_cast<int>(1000 * done / total_) : 1000;
  if (permille == last_permille_) return;
  last_permille_ = permille;
  constexpr int kWidth = 30;
  int filled = permille * kWidth / 1000;
  std::fprintf(stderr, "\r%s [%s%s] %lld/%lld", label_.c_str(), std::string(filled, '#').c_str(),
               std::string(kWidth - filled, ' ').c_str(), static_cast<long long>(done),
               static_cast<long long>(total_));
  std::fflush(stderr);
}

void ProgressLine::Finish() {
  if (!active_) return;
  if (last_permille_ >= 0) std::fputc('\n', stderr);
  active_ = false;
}

}  // namespace q6::cli
