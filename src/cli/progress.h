// A progress line for long work, on a terminal only.
//
//   ProgressLine p("seeding", total);     // nothing at all unless stderr is a terminal
//   for (...) p.Update(done);              // redraws when the shown figure changes
//   p.Finish();                            // ends the line (the destructor does too)
//
// On a pipe or a file nothing is written, so scripts and logs stay clean.
#pragma once

#include <cstdint>
#include <string>

namespace q6::cli {

class ProgressLine {
 public:
  // Shows "label [####    ] done/total" on standard error when it is a
  // terminal (and TERM is not "dumb").
  ProgressLine(std::string label, int64_t total);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Update(int64_t done);
  void Finish();
  bool active() const { return active_; }

  // True when standard error is a terminal that can redraw a line.
  static bool Wanted();

 private:
  std::string label_;
  int64_t total_;
  int last_permille_ = -1;
  bool active_;
};

}  // namespace q6::cli
