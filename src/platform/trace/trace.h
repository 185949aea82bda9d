// Statement trace: one JSON object per statement sent to an engine.
//
// When the environment variable Q6FD_TRACE names a file, every statement any
// connection sends appends one line to it:
//   {"conn": 3, "sql": "...", "native": "...", "ms": 0.412, "rows": 1,
//    "time": "2026-12-08T05:30:00.123Z", "pid": 4711, "source": "demo"}
// with "error": "..." after "rows" when the statement failed, followed by
// "kind": "busy" and "code": "5" (the kind of failure and the engine's own
// code, see ErrorKind; "code" only when the engine gave one). "time" is UTC,
// "pid" the writing process and "source" the data source's name (or its
// description without password for a connection string), so that the lines
// of several processes appending to one file can be told apart. "sql" is the text as
// the caller built it, "native" the text sent to the engine. Each line is
// written with one write(2) on a descriptor opened with O_APPEND, so lines
// from several threads and processes never interleave and another process can
// follow the file as it grows. Statements carry no passwords, and nothing
// else is written. A trace file that cannot be opened for writing is reported
// once on standard error, and tracing stays off.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "runtime/internal_export.h"

namespace q6 {

struct Q6FD_INTERNAL TraceRecord {
  int64_t conn = 0;                    // connection id, unique in the process
  std::string_view sql;                // as built by the caller
  std::string_view native;             // as sent
  double ms = 0;                       // duration
  int64_t rows = 0;                    // rows returned, or rows affected
  const std::string* error = nullptr;  // the failure's text; null on success
  std::string_view source;             // the data source's name
  std::string_view kind;               // with error: the kind's name ("busy")
  std::string_view code;               // with error: the engine's code; may be ""
};

// True when a trace file is configured. Cheap: callers may skip building a
// record when it is false.
Q6FD_INTERNAL bool TraceEnabled();

// Appends `r` as one line with the time, process id and source; does nothing
// when tracing is off. Never raises.
Q6FD_INTERNAL void TraceStatement(const TraceRecord& r);

// Appends {"note": source, "error": text}: an error that a method swallowed
// by design (it returned False or a fallback), so a user can still learn
// why. Does nothing when tracing is off; never raises.
Q6FD_INTERNAL void TraceNote(std::string_view source, std::string_view error);

// Sends the trace to `path` from now on ("" turns it off), overriding
// Q6FD_TRACE. For the command line and tests.
Q6FD_INTERNAL void SetTraceFile(const std::string& path);

// The members of `r` as a line, newline included: what TraceStatement
// writes, before the time, process and source members it adds.
Q6FD_INTERNAL std::string TraceLine(const TraceRecord& r);

// `line` (a TraceLine) with "time", "pid" and "source" (when not empty)
// added as its last members.
Q6FD_INTERNAL std::string WithContext(std::string line, std::string_view source);

// `s` as a JSON string literal, quotes included. Invalid UTF-8 bytes are
// written as \u00XX escapes of their byte value.
Q6FD_INTERNAL std::string JsonString(std::string_view s);

// One trace line read back: its members by name, strings decoded, numbers,
// true, false and null as written ("0.412"). A \u escape decodes to its code
// point, so an invalid byte JsonString wrote as \u00ff comes back as U+00FF.
using TraceEntry = std::map<std::string, std::string>;

// The members of `line` if it is one flat JSON object as TraceLine and
// WithContext write it; empty otherwise (a line cut by a partial read, or
// half written by another process).
Q6FD_INTERNAL TraceEntry ParseTraceLine(std::string_view line);

}  // namespace q6
