// Reading the data-source ini file.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/internal_export.h"

namespace q6 {

// One section: its keys and values in file order (keys keep their case).
using IniSection = std::vector<std::pair<std::string, std::string>>;

struct Q6FD_INTERNAL IniFile {
  std::string path;
  // Sections by lower-cased name.
  std::map<std::string, IniSection> sections;
};

// The parsed file at `path`, or null when it does not exist or cannot be
// read. Lines: "[name]", "key=value", comments starting with ';' or '#',
// blank lines; blanks around names, keys and values are dropped, and so is a
// UTF-8 byte-order mark at the start. Only regular files are read. Parsed
// files are kept and parsed again only when their modification time or size
// changes. Safe from any thread.
Q6FD_INTERNAL std::shared_ptr<const IniFile> LoadIniFile(const std::string& path);

// Why the file at `path` cannot be used, for messages: "does not exist", "is
// a folder, not a file", "is a pipe, not a file", "cannot be read:
// Permission denied"; "" when it is a readable regular file.
Q6FD_INTERNAL std::string IniFileProblem(const std::string& path);

// Parses `text` by the same rules as LoadIniFile; `path` is only recorded.
// Never throws except std::bad_alloc.
Q6FD_INTERNAL IniFile ParseIniText(const std::string& path, std::string_view text);

}  // namespace q6
