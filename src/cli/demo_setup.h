// Where the demo's data lives: the embedded default data source "demo"
// (var/demo.db, named in ./q6fd.ini), created on first use.
#pragma once

#include <string>

namespace q6::cli {

// Makes sure data source `dsn` can be resolved: for "demo", when the file
// that names are looked up in (DataSourceFilePath) has no [demo] section,
// adds one for ./var/demo.db to the file new sections belong in
// (DataSourceFileForNewSections: that same file when Q6FD_DSN_FILE names it
// or it exists, else a new ./q6fd.ini). The path is written relative when
// the file is in the working folder, absolute otherwise. Returns a line
// saying what it did, or "" when nothing was needed. Raises E_FAIL when the
// file cannot be written.
std::string EnsureDemoDataSource(const std::string& dsn);

}  // namespace q6::cli
