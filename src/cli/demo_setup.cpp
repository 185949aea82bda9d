// The demo's data-source file.
//
// Where names are looked up, and where a new section goes, is the data-source
// module's business (DataSourceFilePath, DataSourceFileForNewSections): the
// demo only adds its section when the file that lookups read lacks it.
#include "cli/demo_setup.h"

#include <filesystem>
#include <fstream>

#include "platform/datasource/data_source.h"
#include "platform/datasource/ini_file.h"
#include "runtime/com_error.h"

namespace q6::cli {

namespace fs = std::filesystem;

std::string EnsureDemoDataSource(const std::string& dsn) {
  if (dsn != "demo") return "";
  if (auto file = LoadIniFile(DataSourceFilePath()); file && file->sections.contains("demo"))
    return "";
  const fs::path target = DataSourceFileForNewSections();
  fs::create_directories("var");
  // A relative Database is read relative to the file's folder.
  const bool beside = target.parent_path() == fs::current_path();
  const std::string database = beside ? "var/demo.db" : fs::absolute("var/demo.db").string();
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  const bool existed = fs::exists(target);
  std::ofstream out(target, std::ios::app);
  out << (existed ? "\n" : "# Data sources of q6fd: one section per name.\n")
      << "[demo]\nDriver=sqlite\nDatabase=" << database << "\n";
  out.close();
  if (!out) Throw(E_FAIL, "cannot write the data-source file " + target.string(), "q6fd");
  return "wrote data source [demo] (SQLite var/demo.db) into " + target.string();
}

}  // namespace q6::cli
