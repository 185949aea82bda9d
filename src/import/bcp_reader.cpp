// Reading bulk-copy character exports.
#include "import/bcp_reader.h"

#include <sys/stat.h>

#include <sstream>

#include "import/script_text.h"
#include "platform/textfile/text_encoding.h"
#include "runtime/com_error.h"
#include "runtime/value_utf8.h"

namespace q6::import {
namespace {

// The terminator as written in quotes, escapes resolved.
std::string Unescape(std::string_view quoted) {
  std::string out;
  for (size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] != '\\' || i + 1 == quoted.size()) {
      out += quoted[i];
      continue;
    }
    switch (quoted[++i]) {
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case '0':
        out += '\0';
        break;
      default:
        out += quoted[i];
    }
  }
  return out;
}

}  // namespace

BcpFormat ParseFormatFile(std::string_view text) {
  std::istringstream in{std::string(DecodeScriptBytes(text))};
  std::string version_line, count_line, line;
  std::getline(in, version_line);
  std::getline(in, count_line);
  int count = 0, line_no = 2;
  auto fail = [&](const std::string& why) {
    Throw(E_FAIL, "format file line " + std::to_string(line_no) + ": " + why);
  };
  try {
    count = std::stoi(count_line);
  } catch (const std::exception&) {
    fail("expected the number of fields (an XML format file is not read; use the plain one)");
  }
  BcpFormat f;
  while (static_cast<int>(f.fields.size()) < count && std::getline(in, line)) {
    ++line_no;
    std::istringstream ls(line);
    std::string order, type, prefix, length, rest;
    if (!(ls >> order >> type >> prefix >> length)) fail("expected a field description");
    ls >> std::ws;
    std::getline(ls, rest);
    if (rest.empty() || rest[0] != '"') fail("expected a quoted terminator");
    size_t close = 1;
    while (close < rest.size() && !(rest[close] == '"' && rest[close - 1] != '\\')) ++close;
    if (close >= rest.size()) fail("unterminated terminator");
    BcpField fld;
    fld.terminator = Unescape(std::string_view(rest).substr(1, close - 1));
    std::istringstream tail(rest.substr(close + 1));
    std::string server_order;
    if (!(tail >> server_order >> fld.column)) fail("expected the column order and name");
    fld.server_order = std::stoi(server_order);
    fld.wide = type == "SQLNCHAR";
    if (type != "SQLCHAR" && type != "SQLNCHAR")
      fail("host type " + type + " is not character format (export with -c or -w)");
    if (prefix != "0") fail("prefixed fields are native format (export with -c or -w)");
    if (fld.terminator.empty()) fail("fields without a terminator are not read");
    f.fields.push_back(std::move(fld));
  }
  if (static_cast<int>(f.fields.size()) != count) fail("fewer fields than announced");
  return f;
}

namespace {

constexpr size_t kBlockBytes = 256 * 1024;
constexpr size_t kMaxRowBytes = size_t{64} << 20;

// How many bytes at the end of `bytes` begin a UTF-8 character that the
// next block completes.
size_t CutUtf8Tail(std::string_view bytes) {
  for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    const auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return need > back ? back : 0;
  }
  return 0;
}

}  // namespace

BcpReader::BcpReader(const std::string& path, BcpFormat format)
    : path_(path), format_(std::move(format)) {
  for (const BcpField& f : format_.fields) {
    wide_ = wide_ || f.wide;
    if (f.server_order != 0) columns_.push_back(f.column);
  }
  if (wide_) {
    // Terminators of a wide export are UTF-16 too ("\t\0"): keep their
    // characters, as the data is decoded.
    for (BcpField& f : format_.fields) {
      std::string narrow;
      bool utf16 = f.terminator.size() % 2 == 0;
      for (size_t i = 0; utf16 && i < f.terminator.size(); i += 2) {
        narrow += f.terminator[i];
        utf16 = f.terminator[i + 1] == '\0';
      }
      if (utf16) f.terminator = narrow;
    }
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
    Throw(E_FAIL, path + " is not a regular file (a device, a directory or a socket): refused");
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) Throw(E_FAIL, "cannot read " + path);
}

BcpReader::~BcpReader() {
  if (file_) std::fclose(file_);
}

bool BcpReader::Fill() {
  if (eof_) return false;
  std::string bytes = std::move(carry_);
  carry_.clear();
  const bool read = AppendBlock(file_, path_, kBlockBytes, &bytes);
  eof_ = !read;
  if (!started_) {
    started_ = true;
    // A byte-order mark says how the file is written, whatever the format.
    if (std::string_view(bytes).starts_with("\xFF\xFE")) {
      wide_ = true;
      bytes.erase(0, 2);
    } else if (std::string_view(bytes).starts_with(textfile::kUtf8Bom)) {
      bytes.erase(0, 3);
    }
  }
  if (!eof_) {
    // A character cut by the block's end waits for the next block.
    size_t keep = 0;
    if (wide_) {
      keep = bytes.size() % 2;
      const size_t whole = bytes.size() - keep;
      if (whole >= 2) {
        const auto hi = static_cast<unsigned char>(bytes[whole - 1]);
        if (hi >= 0xD8 && hi <= 0xDB) keep += 2;  // a high surrogate without its low half
      }
    } else {
      keep = CutUtf8Tail(bytes);
    }
    carry_.assign(bytes, bytes.size() - keep, keep);
    bytes.resize(bytes.size() - keep);
  }
  if (wide_) {
    text_ += textfile::Utf16LeToUtf8(bytes);
  } else {
    const size_t bad = value::FirstInvalidUtf8(bytes);
    if (bad != std::string::npos)
      Throw(E_FAIL, "row " + std::to_string(row_ + 1) +
                        " or after it holds bytes that are not "
                        "valid UTF-8 (export with -w, or convert the file to UTF-8)");
    text_ += bytes;
  }
  return read || !bytes.empty();
}

bool BcpReader::Next(std::vector<Literal>* row) {
  // Rows read are dropped once they are most of what is held.
  if (pos_ > kBlockBytes && pos_ * 2 > text_.size()) {
    text_.erase(0, pos_);
    pos_ = 0;
  }
  while (pos_ >= text_.size())
    if (!Fill()) return false;
  ++row_;
  row->resize(columns_.size());
  size_t out = 0;
  for (const BcpField& f : format_.fields) {
    size_t end;
    while ((end = text_.find(f.terminator, pos_)) == std::string::npos) {
      if (text_.size() - pos_ > kMaxRowBytes)
        Throw(E_FAIL, "row " + std::to_string(row_) + " is longer than " +
                          std::to_string(kMaxRowBytes >> 20) + " MB");
      if (!Fill()) Throw(E_FAIL, "row " + std::to_string(row_) + " ends before field " + f.column);
    }
    std::string_view field(text_.data() + pos_, end - pos_);
    pos_ = end + f.terminator.size();
    if (f.server_order == 0) continue;
    Literal& lit = (*row)[out++];
    if (field.empty()) {
      lit.kind = Literal::kNull;
      lit.text.clear();
    } else {
      lit.kind = Literal::kString;
      if (field == std::string_view("\0", 1)) field = {};
      lit.text.assign(field);
    }
  }
  return true;
}

}  // namespace q6::import
