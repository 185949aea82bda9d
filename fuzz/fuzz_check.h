// What the fuzz targets share: a check that stops the run with a message
// when an invariant fails (libFuzzer then saves the input that broke it).
#pragma once

#include <cstdio>
#include <cstdlib>

#define Q6_FUZZ_CHECK(cond, what)                                                        \
  do {                                                                                   \
    if (!(cond)) {                                                                       \
      std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, what); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)
