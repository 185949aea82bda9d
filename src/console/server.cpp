// The console's HTTP side: the route table, the access checks every route
// goes through, the mapping of a page's failure to a status, and the
// start and stop of the server.
//
// Every response carries headers that keep the pages to themselves: a
// content security policy that allows no script and nothing from
// elsewhere, no caching, no referrer (a login URL holds the token), and
// no framing by other sites.
#include "console/server.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <charconv>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <thread>

#include "console/auth.h"
#include "console/html.h"
#include "console/page.h"
#include "console/trace_file.h"
#include "runtime/com_error.h"

namespace q6::console {
namespace {

// Threads serving requests: each an apartment with its own connections.
// A browser keeps a few connections open (and opens some before it needs
// them); each holds a thread while it waits, so there are more threads than
// requests at a time, and an idle connection is closed after a second.
constexpr size_t kWorkers = 8;
constexpr time_t kKeepAliveSeconds = 1;

using PageFn = std::function<std::string(const PageContext&, const Params&)>;

// What a route does: shows data, offers a change (a confirmation page with
// its form) or makes one (a POST).
enum class Kind { kView, kOffer, kChange };

struct Route {
  const char* method;
  const char* path;
  PageFn page;
  Kind kind;  // kOffer and kChange are refused when read-only; kChange needs
              // the anti-forgery token
};

const std::vector<Route>& Routes() {
  static const std::vector<Route> routes = {
      {"GET", "/", [](const PageContext& c, const Params&) { return HomePage(c); }, Kind::kView},
      {"GET", "/types", TypesPage, Kind::kView},
      {"GET", "/type", TypePage, Kind::kView},
      {"GET", "/records", RecordsPage, Kind::kView},
      {"GET", "/record", RecordPage, Kind::kView},
      {"GET", "/query", QueryPage, Kind::kView},
      {"GET", "/trace", TracePage, Kind::kView},
      {"GET", "/locks", LocksPage, Kind::kView},
      {"GET", "/locks/release", ReleaseLockConfirmPage, Kind::kOffer},
      {"POST", "/locks/release", ReleaseLockPage, Kind::kChange},
      {"GET", "/locks/release-stale", ReleaseStaleConfirmPage, Kind::kOffer},
      {"POST", "/locks/release-stale", ReleaseStalePage, Kind::kChange},
  };
  return routes;
}

void Headers(httplib::Response& res) {
  res.set_header("Content-Security-Policy",
                 "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'; "
                 "frame-ancestors 'none'; base-uri 'none'");
  res.set_header("X-Content-Type-Options", "nosniff");
  res.set_header("Referrer-Policy", "no-referrer");
  res.set_header("Cache-Control", "no-store");
  res.set_header("X-Frame-Options", "DENY");
}

void Html(httplib::Response& res, int status, const std::string& html) {
  res.status = status;
  res.set_content(html, "text/html; charset=utf-8");
}

std::string Message(const std::string& title, const std::string& text, bool read_only) {
  Frame f{title};
  f.read_only = read_only;
  return RenderPage(f, "<p class=\"err\">" + Escape(text) + "</p>");
}

std::string LoginPage(bool wrong, bool read_only) {
  Frame f{"Log in"};
  f.read_only = read_only;
  std::string body;
  if (wrong) body += "<p class=\"err\">That is not the console's token.</p>";
  body +=
      "<p>Give the token that <code>q6fd serve</code> printed when it started.</p>"
      "<form method=\"post\" action=\"/login\"><label>Token <input name=\"token\" "
      "type=\"password\" autocomplete=\"off\" size=\"70\"></label> "
      "<button type=\"submit\">Log in</button></form>";
  return RenderPage(f, body);
}

class Console {
 public:
  Console(const ServeOptions& opt, const DataSources& sources, ConsoleTrace& trace)
      : opt_(opt), trace_(trace), ctx_{sources, opt.read_only, auth_.csrf_token(), trace.path()} {
    server_.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    server_.set_keep_alive_timeout(kKeepAliveSeconds);
    for (const Route& r : Routes()) {
      auto handler = [this, &r](const httplib::Request& req, httplib::Response& res) {
        Handle(r, req, res);
      };
      if (std::string(r.method) == "GET")
        server_.Get(r.path, handler);
      else
        server_.Post(r.path, handler);
    }
    server_.Post("/login", [this](const httplib::Request& req, httplib::Response& res) {
      Headers(res);
      if (!auth_.IsLoginToken(Param(req.params, "token"))) {
        Html(res, 401, LoginPage(true, opt_.read_only));
        return;
      }
      res.set_header("Set-Cookie", auth_.SessionCookie());
      res.set_redirect("/", 303);
    });
    server_.set_error_handler([this](const httplib::Request&, httplib::Response& res) {
      if (res.status == 404) {
        Headers(res);
        Html(res, 404, Message("Not found", "There is no such page.", opt_.read_only));
      }
    });
  }

  const Auth& auth() const { return auth_; }
  httplib::Server& server() { return server_; }

 private:
  void Handle(const Route& r, const httplib::Request& req, httplib::Response& res) {
    Headers(res);
    // A login URL: the token gives the cookie, then the same page without it.
    const bool changes = r.kind == Kind::kChange;
    if (!changes && req.has_param("token")) {
      if (!auth_.IsLoginToken(req.get_param_value("token"))) {
        Html(res, 401, LoginPage(true, opt_.read_only));
        return;
      }
      std::vector<std::pair<std::string, std::string>> rest;
      for (const auto& [k, v] : req.params)
        if (k != "token") rest.emplace_back(k, v);
      res.set_header("Set-Cookie", auth_.SessionCookie());
      res.set_redirect(Url(req.path, rest), 303);
      return;
    }
    if (!auth_.HasSession(req.get_header_value("Cookie"))) {
      if (changes)
        Html(res, 403, Message("Refused", "Log in first.", opt_.read_only));
      else
        Html(res, 401, LoginPage(false, opt_.read_only));
      return;
    }
    if (r.kind != Kind::kView && opt_.read_only) {
      Html(res, 403, Message("Refused", "The console is read-only: nothing can be changed.", true));
      return;
    }
    if (changes && !auth_.IsCsrfToken(Param(req.params, Auth::kCsrfField))) {
      Html(res, 403,
           Message("Refused",
                   "The request does not carry the console's anti-forgery token: send "
                   "changes from the console's own forms.",
                   opt_.read_only));
      return;
    }
    try {
      Html(res, 200, r.page(ctx_, req.params));
    } catch (const BadRequest& e) {
      Html(res, 400, Message("Bad request", e.what(), opt_.read_only));
    } catch (const NotFoundError& e) {
      Html(res, 404, Message("Not found", e.what(), opt_.read_only));
    } catch (const ComError& e) {
      Html(
          res, 500,
          Message("Error", "error " + HrToString(e.hr()) + ": " + e.description(), opt_.read_only));
    } catch (const std::exception& e) {
      Html(res, 500, Message("Error", e.what(), opt_.read_only));
    }
    trace_.Trim();
  }

  const ServeOptions& opt_;
  ConsoleTrace& trace_;
  Auth auth_;
  PageContext ctx_;
  httplib::Server server_;
};

// Blocks SIGINT and SIGTERM in this thread (and so in every thread started
// from it) and waits for them on a thread of its own, which stops the
// server. The destructor wakes that thread if no signal came.
class StopOnSignal {
 public:
  explicit StopOnSignal(httplib::Server& server) {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &set_, &old_);
    waiter_ = std::thread([this, &server] {
      int sig = 0;
      sigwait(&set_, &sig);
      server.stop();
    });
  }
  ~StopOnSignal() {
    pthread_kill(waiter_.native_handle(), SIGUSR1);
    waiter_.join();
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;

 private:
  sigset_t set_, old_;
  std::thread waiter_;
};

}  // namespace

void ParseListen(const std::string& text, ServeOptions& opt) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos) throw std::invalid_argument("--listen wants ADDR:PORT");
  std::string host = text.substr(0, colon), port = text.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  int p = -1;
  auto r = std::from_chars(port.data(), port.data() + port.size(), p);
  if (port.empty() || r.ec != std::errc() || r.ptr != port.data() + port.size() || p < 0 ||
      p > 65535)
    throw std::invalid_argument("--listen: the port must be a number from 0 to 65535");
  opt.host = host.empty() ? "127.0.0.1" : host;
  opt.port = p;
}

int Serve(const ServeOptions& opt, std::ostream& out) {
  DataSources sources(opt.dsns);
  for (size_t i = 0; i < sources.size(); ++i) sources.Check(i);
  ConsoleTrace trace;
  Console console(opt, sources, trace);
  StopOnSignal stop(console.server());
  httplib::Server& server = console.server();
  int port = opt.port;
  if (port == 0)
    port = server.bind_to_any_port(opt.host);
  else if (!server.bind_to_port(opt.host, port))
    port = -1;
  if (port < 0)
    throw std::runtime_error("cannot listen on " + opt.host + ":" + std::to_string(opt.port));
  bool v6 = opt.host.find(':') != std::string::npos;
  std::string base =
      "http://" + (v6 ? "[" + opt.host + "]" : opt.host) + ":" + std::to_string(port) + "/";
  out << "q6fd console on " << base << (opt.read_only ? " (read-only)" : "") << "\n"
      << "log in: " << base << "?token=" << console.auth().login_token() << "\n"
      << "statement trace: " << trace.path() << "\n"
      << "stop with Ctrl-C" << std::endl;
  if (opt.host != "127.0.0.1" && opt.host != "::1" && opt.host != "localhost")
    out << "note: listening on " << opt.host
        << ", reachable from other machines; anyone there with the token can use the console"
        << std::endl;
  server.listen_after_bind();
  return 0;
}

}  // namespace q6::console
