// q6fd serve: the web console, served by this process over HTTP.
//
// Serve resolves and checks every data source, binds the listening socket,
// prints where to open the console (with the login token) and serves until
// SIGINT or SIGTERM. Requests are served by a few threads; each is an
// apartment of its own, with its own pooled connections, and every object a
// page makes lives and dies within its request.
//
// Access: a request needs the session cookie, which the login token (once,
// as ?token= or through the login form) gives; a POST, the only method
// that changes anything, needs the anti-forgery token of the console's
// forms as well, and is refused (403) altogether in read-only mode, where
// pages show no forms. See auth.h.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace q6::console {

struct ServeOptions {
  std::vector<std::string> dsns;
  std::string host = "127.0.0.1";
  int port = 8765;  // 0: any free port
  bool read_only = false;
};

// "ADDR:PORT", "[v6addr]:PORT" or ":PORT" (localhost) into `opt`; raises
// std::invalid_argument saying what is wrong.
void ParseListen(const std::string& text, ServeOptions& opt);

// Serves until SIGINT or SIGTERM and returns 0; the address, the login URL
// and the trace file go to `out` (flushed) once the socket listens. Raises
// ComError for a data source that cannot be reached or has no metadata
// tables, std::runtime_error when the address cannot be bound.
int Serve(const ServeOptions& opt, std::ostream& out);

}  // namespace q6::console
