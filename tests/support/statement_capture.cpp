// StatementCapture: reads the statement trace back.
#include "support/statement_capture.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "platform/trace/trace.h"

namespace q6::test {

namespace {

// Reads the JSON string literal starting at `s[i]` (a '"'), advancing `i`.
std::string ReadJsonString(const std::string& s, size_t& i) {
  std::string out;
  ++i;  // opening quote
  while (i < s.size() && s[i] != '"') {
    char c = s[i++];
    if (c != '\\') {
      out += c;
      continue;
    }
    char e = s[i++];
    switch (e) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'u': {
        unsigned cp = std::stoul(s.substr(i, 4), nullptr, 16);
        i += 4;
        if (cp < 0x80) {
          out += static_cast<char>(cp);
        } else if (cp < 0x800) {
          out += static_cast<char>(0xC0 | (cp >> 6));
          out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
          out += static_cast<char>(0xE0 | (cp >> 12));
          out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (cp & 0x3F));
        }
        break;
      }
      default:
        out += e;
    }
  }
  ++i;  // closing quote
  return out;
}

std::atomic<int> counter{0};

}  // namespace

StatementCapture::StatementCapture() {
  path_ = (std::filesystem::temp_directory_path() /
           ("q6capture-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".jsonl"))
              .string();
  std::filesystem::remove(path_);
  SetTraceFile(path_);
}

StatementCapture::~StatementCapture() {
  SetTraceFile("");
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}

void StatementCapture::Clear() {
  SetTraceFile("");
  std::filesystem::remove(path_);
  SetTraceFile(path_);
}

std::vector<std::string> StatementCapture::Values(const std::string& key) const {
  std::vector<std::string> out;
  std::ifstream in(path_);
  std::string line;
  const std::string needle = "\"" + key + "\": ";
  while (std::getline(in, line)) {
    if (line.find("\"sql\": ") == std::string::npos) continue;  // not a statement
    size_t at = line.find(needle);
    if (at == std::string::npos) {
      out.emplace_back();
      continue;
    }
    size_t i = at + needle.size();
    out.push_back(ReadJsonString(line, i));
  }
  return out;
}

std::vector<std::string> StatementCapture::Sql() const { return Values("sql"); }
std::vector<std::string> StatementCapture::Native() const { return Values("native"); }
std::vector<std::string> StatementCapture::Errors() const { return Values("error"); }

}  // namespace q6::test
