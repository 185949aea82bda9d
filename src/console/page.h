// What every page of the console gets and may raise.
//
// A page is a function from the request's parameters to a whole HTML
// document. Pages know nothing of HTTP: the server (server.h) parses the
// request, checks who asks, calls the page and turns what it raises into a
// status: BadRequest 400, NotFoundError 404, a ComError 500 with its text.
// Pages reach the data only through the component's classes and through
// statements the console itself builds from numbers it has checked; no
// text a visitor sends is ever run as SQL.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>

#include "console/data_sources.h"

namespace q6::console {

// A request's query or form parameters (the HTTP library's own type).
using Params = std::multimap<std::string, std::string>;

struct BadRequest : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct NotFoundError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The first value of `name`, or `def` when it is not given.
std::string Param(const Params& p, const std::string& name, const std::string& def = "");
// A whole number parameter; BadRequest naming it when it is missing or not
// a number.
int32_t WholeParam(const Params& p, const std::string& name);

struct PageContext {
  const DataSources& sources;
  bool read_only = false;
  std::string csrf;        // the anti-forgery token forms carry
  std::string trace_path;  // the statement trace this process writes
};

// The served data source `ds` names; BadRequest when it names none.
int SourceIndex(const PageContext& ctx, const Params& p);

// The pages, one file each.
std::string HomePage(const PageContext& ctx);
std::string TypesPage(const PageContext& ctx, const Params& p);
std::string TypePage(const PageContext& ctx, const Params& p);
std::string RecordsPage(const PageContext& ctx, const Params& p);
std::string RecordPage(const PageContext& ctx, const Params& p);
std::string QueryPage(const PageContext& ctx, const Params& p);
std::string TracePage(const PageContext& ctx, const Params& p);
std::string LocksPage(const PageContext& ctx, const Params& p);
// GET: what releasing would do, with the form that does it; POST: does it.
std::string ReleaseLockConfirmPage(const PageContext& ctx, const Params& p);
std::string ReleaseLockPage(const PageContext& ctx, const Params& p);
std::string ReleaseStaleConfirmPage(const PageContext& ctx, const Params& p);
std::string ReleaseStalePage(const PageContext& ctx, const Params& p);

}  // namespace q6::console
