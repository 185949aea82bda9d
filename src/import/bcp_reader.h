// Character-format bulk-copy exports and their (non-XML) format files.
//
// A format file lists one host field a line: order, host type (SQLCHAR or
// SQLNCHAR), prefix length (0 in character format), length, terminator in
// quotes ("\t", "\r\n"), server column order (0: field not loaded), column
// name and collation. The data file is UTF-16LE when a field is SQLNCHAR
// (a byte-order mark is allowed), else UTF-8. An empty field is NULL; a
// field holding one NUL character is the empty string.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "import/type_map.h"

namespace q6::import {

struct BcpField {
  std::string terminator;
  int server_order = 0;
  std::string column;
  bool wide = false;  // SQLNCHAR
};

struct BcpFormat {
  std::vector<BcpField> fields;
};

// Raises E_FAIL naming the line for a file that is not a format file, and
// for prefixed (native-format) fields.
BcpFormat ParseFormatFile(std::string_view text);

// Reads a data file a block at a time: memory holds one block and the row
// being read, never the file. Not thread-safe.
class BcpReader {
 public:
  // Opens the data file `path`. Raises E_FAIL naming it when it cannot be
  // read, and for a device, a directory or a socket.
  BcpReader(const std::string& path, BcpFormat format);
  ~BcpReader();
  BcpReader(const BcpReader&) = delete;
  BcpReader& operator=(const BcpReader&) = delete;

  // Names of the columns the rows hold, in field order.
  const std::vector<std::string>& columns() const { return columns_; }
  // The next row (one Literal a column: kNull or kString); false after the
  // last. Raises E_FAIL naming the row for a row cut short or longer than
  // kMaxRowBytes, and for bytes that are not valid UTF-8 in a narrow export.
  bool Next(std::vector<Literal>* row);
  // 1-based number of the row Next returned last.
  int64_t row_number() const { return row_; }

 private:
  // Decodes the next block of the file onto text_; false at the end.
  bool Fill();

  std::FILE* file_ = nullptr;
  std::string path_;
  bool wide_ = false;
  bool started_ = false;  // the byte-order mark has been looked at
  bool eof_ = false;
  std::string carry_;  // undecoded bytes that end a block (a character cut in two)
  std::string text_;   // decoded, from pos_ on not yet read
  BcpFormat format_;
  std::vector<std::string> columns_;
  size_t pos_ = 0;
  int64_t row_ = 0;
};

}  // namespace q6::import
