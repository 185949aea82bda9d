// q6bench's main: the benchmark runner, or one worker of a throughput
// benchmark when started by RunWorkers (bench_util.h).
#include "bench_util.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == q6::bench::kWorkerFlag) {
    const int status = q6::bench::WorkerMain(argc, argv);
    // The work is timed and reported; skip the static destructors.
    std::fflush(nullptr);
    _exit(status);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
