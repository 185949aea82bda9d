// Where the demo's data lives: the embedded default data source "demo"
// (var/demo.db, named in ./q6fd.ini), created on first use.
#pragma once

#include <string>

namespace q6::cli {

// Makes sure data source `dsn` can be resolved: for "demo" without any
// data-source file naming it, writes ./q6fd.ini with a [demo] section for
// var/demo.db (appending to an existing ./q6fd.ini that lacks it). Returns a
// line saying what it did, or "" when nothing was needed.
std::string EnsureDemoDataSource(const std::string& dsn);

}  // namespace q6::cli
