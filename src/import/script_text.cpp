// Decoding script files and splitting them at GO lines.
#include "import/script_text.h"

#include <iconv.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/textfile/text_encoding.h"
#include "runtime/com_error.h"
#include "runtime/value_utf8.h"

namespace q6::import {

namespace {

// "line N (byte 0xHH)": where `offset` of `bytes` lies, the first line of
// `bytes` being `first_line`.
std::string Place(std::string_view bytes, size_t offset, int first_line) {
  size_t line = static_cast<size_t>(first_line);
  for (size_t i = 0; i < offset; ++i) line += bytes[i] == '\n';
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(bytes[offset]));
  return "line " + std::to_string(line) + " (byte " + hex + ")";
}

// `bytes` converted from `encoding` to UTF-8 by iconv.
std::string FromEncoding(std::string_view bytes, const std::string& encoding, int first_line) {
  iconv_t cd = ::iconv_open("UTF-8", encoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1))
    Throw(E_FAIL, "unknown encoding " + encoding + " (GBK, BIG5, CP1252, CP936 ... are known)");
  std::string out(bytes.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size();
  size_t done = 0;
  while (in_left > 0) {
    char* dst = out.data() + done;
    size_t out_left = out.size() - done;
    const size_t r = ::iconv(cd, &in, &in_left, &dst, &out_left);
    done = static_cast<size_t>(dst - out.data());
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    ::iconv_close(cd);
    const size_t at = bytes.size() - in_left;
    Throw(E_FAIL, Place(bytes, at, first_line) + " is not valid " + encoding);
  }
  ::iconv_close(cd);
  out.resize(done);
  return out;
}

}  // namespace

std::string DecodeScriptBytes(std::string_view bytes, const std::string& encoding) {
  if (bytes.starts_with("\xFE\xFF")) {
    std::string swapped(bytes.substr(2));
    for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    return textfile::Utf16LeToUtf8(swapped);
  }
  if (bytes.starts_with(textfile::kUtf16LeBom)) return textfile::Utf16LeToUtf8(bytes.substr(2));
  if (bytes.starts_with(textfile::kUtf8Bom)) return DecodeLines(bytes.substr(3), "", 1);
  return DecodeLines(bytes, encoding, 1);
}

std::string DecodeLines(std::string_view bytes, const std::string& encoding, int first_line) {
  if (!encoding.empty()) return FromEncoding(bytes, encoding, first_line);
  const size_t bad = value::FirstInvalidUtf8(bytes);
  if (bad != std::string_view::npos)
    Throw(E_FAIL, Place(bytes, bad, first_line) +
                      " is not valid UTF-8: name the file's encoding with --encoding "
                      "(GBK, BIG5, CP1252, ...)");
  return std::string(bytes);
}

std::string ReadFileBytes(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
    Throw(E_FAIL, path + " is not a regular file (a device, a directory or a socket): refused");
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

bool AppendBlock(std::FILE* file, const std::string& path, size_t max, std::string* buf) {
  const size_t had = buf->size();
  buf->resize(had + max);
  const size_t n = std::fread(buf->data() + had, 1, max, file);
  buf->resize(had + n);
  if (n == 0 && std::ferror(file)) Throw(E_FAIL, "cannot read " + path);
  return n > 0;
}

std::string ReadTextFile(const std::string& path, const std::string& encoding) {
  const std::string bytes = ReadFileBytes(path);
  try {
    return DecodeScriptBytes(bytes, encoding);
  } catch (const ComError& e) {
    Throw(E_FAIL, path + ": " + e.description());
  }
}

namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool AllBlank(std::string_view s) {
  for (char c : s)
    if (!Blank(c) && c != '\n') return false;
  return true;
}

}  // namespace

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
