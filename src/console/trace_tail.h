// The latest lines of a statement trace file, read back.
//
// The console writes its statement trace to a file (platform/trace) and
// reads its end for the trace page: at most the last kTailBytes of the
// file, so a page costs the same however long the trace has grown.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace q6::console {

// One line of the trace: its members by name, strings decoded, numbers as
// written ("0.412").
using TraceEntry = std::map<std::string, std::string>;

// The members of one trace line (a flat JSON object of strings, numbers,
// true, false and null); empty when the line is not such an object.
TraceEntry ParseTraceLine(std::string_view line);

inline constexpr size_t kTailBytes = 1 << 20;

// The last `count` whole lines of `path` written by process `pid` (its
// "pid" member), oldest first. Empty when the file cannot be read.
std::vector<TraceEntry> ReadTraceTail(const std::string& path, size_t count, int64_t pid);

}  // namespace q6::console
