// The latest lines of a statement trace file, read back.
//
// The console writes its statement trace to a file (platform/trace) and
// reads its end for the trace page: at most the last kTailBytes of the
// file, so a page costs the same however long the trace has grown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/trace/trace.h"

namespace q6::console {

inline constexpr size_t kTailBytes = 1 << 20;

// The last `count` whole lines of `path` written by process `pid` (its
// "pid" member), oldest first. Empty when the file cannot be read.
std::vector<TraceEntry> ReadTraceTail(const std::string& path, size_t count, int64_t pid);

}  // namespace q6::console
