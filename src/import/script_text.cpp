// Decoding script files and splitting them at GO lines.
#include "import/script_text.h"

#include <fstream>
#include <sstream>

#include "platform/textfile/text_encoding.h"
#include "runtime/com_error.h"

namespace q6::import {

std::string DecodeScriptBytes(std::string_view bytes) {
  if (bytes.starts_with("\xFE\xFF")) {
    std::string swapped(bytes.substr(2));
    for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    return textfile::Utf16LeToUtf8(swapped);
  }
  if (bytes.starts_with(textfile::kUtf16LeBom)) return textfile::Utf16LeToUtf8(bytes.substr(2));
  if (bytes.starts_with(textfile::kUtf8Bom)) bytes.remove_prefix(3);
  return std::string(bytes);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Throw(E_FAIL, "cannot read " + path);
  std::string bytes;
  // The size, where the file can tell it (-1 for a pipe).
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.clear();
  in.seekg(0);
  in.clear();
  if (size > 0) {
    bytes.resize(static_cast<size_t>(size));
    in.read(bytes.data(), size);
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (in.bad()) Throw(E_FAIL, "cannot read " + path);
    in.clear();
  }
  // Whatever the size did not tell: a pipe's bytes, or a file that grew.
  if (in.peek() != std::ifstream::traits_type::eof()) {
    std::ostringstream rest;
    rest << in.rdbuf();
    bytes += rest.str();
  }
  if (in.bad()) Throw(E_FAIL, "cannot read " + path);
  return bytes;
}

std::string ReadTextFile(const std::string& path) { return DecodeScriptBytes(ReadFileBytes(path)); }

namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Whether `line` is a batch separator: GO, optionally followed by a count.
bool IsGoLine(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && Blank(line[i])) ++i;
  if (i + 2 > line.size() || (line[i] != 'G' && line[i] != 'g') ||
      (line[i + 1] != 'O' && line[i + 1] != 'o'))
    return false;
  i += 2;
  while (i < line.size() && Blank(line[i])) ++i;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
  while (i < line.size() && Blank(line[i])) ++i;
  return i == line.size();
}

bool AllBlank(std::string_view s) {
  for (char c : s)
    if (!Blank(c) && c != '\n') return false;
  return true;
}

}  // namespace

std::vector<Batch> SplitBatches(std::string_view text) {
  std::vector<Batch> out;
  int number = 0, line_no = 1, batch_line = 1;
  size_t start = 0, pos = 0;
  auto close = [&](size_t end) {
    ++number;
    std::string_view body = text.substr(start, end - start);
    if (!AllBlank(body)) out.push_back({number, batch_line, start, body});
  };
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    size_t end = nl == std::string_view::npos ? text.size() : nl;
    if (IsGoLine(text.substr(pos, end - pos))) {
      close(pos);
      start = end < text.size() ? end + 1 : end;
      batch_line = line_no + 1;
    }
    pos = end + 1;
    ++line_no;
  }
  if (start < text.size()) close(text.size());
  return out;
}

}  // namespace q6::import
