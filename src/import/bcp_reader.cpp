// Reading bulk-copy character exports.
#include "import/bcp_reader.h"

#include <sstream>

#include "import/script_text.h"
#include "platform/textfile/text_encoding.h"
#include "runtime/com_error.h"

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

BcpReader::BcpReader(std::string_view bytes, BcpFormat format) : format_(std::move(format)) {
  bool wide = false;
  for (const BcpField& f : format_.fields) {
    wide = wide || f.wide;
    if (f.server_order != 0) columns_.push_back(f.column);
  }
  if (wide) {
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
    if (bytes.starts_with("\xFF\xFE")) bytes.remove_prefix(2);
    text_ = textfile::Utf16LeToUtf8(bytes);
  } else {
    text_ = DecodeScriptBytes(bytes);
  }
}

bool BcpReader::Next(std::vector<Literal>* row) {
  if (pos_ >= text_.size()) return false;
  ++row_;
  row->resize(columns_.size());
  size_t out = 0;
  for (const BcpField& f : format_.fields) {
    size_t end = text_.find(f.terminator, pos_);
    if (end == std::string::npos)
      Throw(E_FAIL, "row " + std::to_string(row_) + " ends before field " + f.column);
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
