// Statement trace: one JSON object per statement sent to an engine.
//
// When the environment variable Q6FD_TRACE names a file, every statement any
// connection sends appends one line to it:
//   {"conn": 3, "sql": "...", "native": "...", "ms": 0.412, "rows": 1}
// with "error": "..." added when the statement failed. "sql" is the text as
// the caller built it, "native" the text sent to the engine. Each line is
// written with one write(2) on a descriptor opened with O_APPEND, so lines
// from several threads and processes never interleave and another process can
// follow the file as it grows. Statements carry no passwords, and nothing
// else is written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace q6 {

struct TraceRecord {
  int64_t conn = 0;                    // connection id, unique in the process
  std::string_view sql;                // as built by the caller
  std::string_view native;             // as sent
  double ms = 0;                       // duration
  int64_t rows = 0;                    // rows returned, or rows affected
  const std::string* error = nullptr;  // the failure's text; null on success
};

// True when a trace file is configured. Cheap: callers may skip building a
// record when it is false.
bool TraceEnabled();

// Appends `r` as one line; does nothing when tracing is off. Never raises: a
// trace that cannot be written is given up silently.
void TraceStatement(const TraceRecord& r);

// Appends {"note": source, "error": text}: an error that a method swallowed
// by design (it returned False or a fallback), so a user can still learn
// why. Does nothing when tracing is off; never raises.
void TraceNote(std::string_view source, std::string_view error);

// Sends the trace to `path` from now on ("" turns it off), overriding
// Q6FD_TRACE. For the command line and tests.
void SetTraceFile(const std::string& path);

// The line TraceStatement writes for `r`, newline included.
std::string TraceLine(const TraceRecord& r);

// `s` as a JSON string literal, quotes included. Invalid UTF-8 bytes are
// written as \u00XX escapes of their byte value.
std::string JsonString(std::string_view s);

}  // namespace q6
