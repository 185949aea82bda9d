// Reading scripts in pieces. The file is read in blocks; each line is
// decoded on its own (every encoding a script may be in is stateless across
// a newline, and a newline byte is never part of another character in
// them), so a piece can also be read again alone from its place in the file.
#include "import/script_reader.h"

#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <string_view>

#include "import/script_text.h"
#include "platform/textfile/text_encoding.h"
#include "runtime/com_error.h"

namespace q6::import {

namespace {

constexpr size_t kBlockBytes = 64 * 1024;

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool AllBlank(std::string_view s) {
  for (char c : s)
    if (!Blank(c) && c != '\n') return false;
  return true;
}

// `text` with leading blanks removed.
std::string_view Trimmed(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && Blank(text[i])) ++i;
  return text.substr(i);
}

// Whether `text` starts with the keyword `word` (any case).
bool StartsWord(std::string_view text, std::string_view word) {
  if (text.size() < word.size() || ::strncasecmp(text.data(), word.data(), word.size()) != 0)
    return false;
  if (text.size() == word.size()) return true;
  const char c = text[word.size()];
  return !(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' ||
           c == '$');
}

// The scanner's states at the start of a line.
enum ScanState { kCode = 0, kString, kBracket, kQuoted, kComment };

// Carries the literal and comment state over `line`.
void Scan(std::string_view line, int* state, int* depth) {
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    const char next = i + 1 < line.size() ? line[i + 1] : '\0';
    switch (*state) {
      case kCode:
        if (c == '\'') *state = kString;
        if (c == '[') *state = kBracket;
        if (c == '"') *state = kQuoted;
        if (c == '-' && next == '-') return;  // the rest of the line is a comment
        if (c == '/' && next == '*') *state = kComment, *depth = 1, ++i;
        break;
      case kString:
      case kBracket:
      case kQuoted: {
        const char close = *state == kString ? '\'' : *state == kBracket ? ']' : '"';
        if (c != close) break;
        if (next == close)
          ++i;  // a doubled closing character stands for itself
        else
          *state = kCode;
        break;
      }
      case kComment:
        if (c == '/' && next == '*') ++*depth, ++i;
        if (c == '*' && next == '/') {
          ++i;
          if (--*depth == 0) *state = kCode;
        }
        break;
    }
  }
}

}  // namespace

ScriptFile::ScriptFile(const std::string& path, const std::string& encoding)
    : path_(path), encoding_(encoding) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
    Throw(E_FAIL, path + " is not a regular file (a device, a directory or a socket): refused");
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) Throw(E_FAIL, "cannot read " + path);
  if (S_ISFIFO(st.st_mode)) {
    // A pipe is read once into a temporary file, which the second pass and
    // the re-reading of pieces can seek in.
    file_ = std::tmpfile();
    if (!file_) {
      std::fclose(in);
      Throw(E_FAIL, "cannot read " + path + ": no temporary file for its contents");
    }
    std::string buf(kBlockBytes, '\0');
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0)
      std::fwrite(buf.data(), 1, n, file_);
    const bool failed = std::ferror(in) || std::ferror(file_);
    std::fclose(in);
    if (failed) Throw(E_FAIL, "cannot read " + path);
  } else {
    file_ = in;
  }
  unsigned char head[3] = {0, 0, 0};
  std::rewind(file_);
  const size_t got = std::fread(head, 1, 3, file_);
  if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
    form_ = Form::kUtf16Le, start_ = 2;
  } else if (got >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
    form_ = Form::kUtf16Be, start_ = 2;
  } else if (got == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
    form_ = Form::kUtf8, start_ = 3;
  } else if (!encoding.empty()) {
    form_ = Form::kOther;
    DecodeLines("", encoding, 1);  // an unknown encoding is refused now
  }
  Seek(start_);
}

ScriptFile::~ScriptFile() {
  if (file_) std::fclose(file_);
}

void ScriptFile::Seek(uint64_t offset) {
  if (::fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0)
    Throw(E_FAIL, "cannot read " + path_);
  block_.clear();
  block_pos_ = 0;
  offset_ = offset;
  eof_ = false;
}

bool ScriptFile::RawLine(std::string* line) {
  const bool wide = form_ == Form::kUtf16Le || form_ == Form::kUtf16Be;
  size_t from = block_pos_;
  for (;;) {
    size_t end = std::string::npos;
    if (!wide) {
      end = block_.find('\n', from);
      if (end != std::string::npos) ++end;
    } else {
      for (size_t i = from; i + 1 < block_.size(); i += 2) {
        const bool nl = form_ == Form::kUtf16Le ? block_[i] == '\n' && block_[i + 1] == '\0'
                                                : block_[i] == '\0' && block_[i + 1] == '\n';
        if (nl) {
          end = i + 2;
          break;
        }
      }
    }
    if (end == std::string::npos && eof_) end = block_.size();
    if (end != std::string::npos) {
      if (end == block_pos_) return false;
      line->assign(block_, block_pos_, end - block_pos_);
      offset_ += end - block_pos_;
      block_pos_ = end;
      return true;
    }
    if (block_.size() - block_pos_ > kMaxLineBytes)
      Throw(E_FAIL, path_ + ": line " + std::to_string(line_no_ + 1) + " is longer than " +
                        std::to_string(kMaxLineBytes >> 20) + " MB: not a script");
    // Keep the unfinished line, read the next block behind it.
    block_.erase(0, block_pos_);
    from = wide ? block_.size() & ~size_t{1} : block_.size();
    if (wide && from >= 2) from -= 2;
    block_pos_ = 0;
    eof_ = !AppendBlock(file_, path_, kBlockBytes, &block_);
  }
}

std::string ScriptFile::Decode(const std::string& raw, int line_no) const {
  try {
    switch (form_) {
      case Form::kUtf16Le:
        return textfile::Utf16LeToUtf8(raw);
      case Form::kUtf16Be: {
        std::string swapped = raw;
        for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
        return textfile::Utf16LeToUtf8(swapped);
      }
      case Form::kUtf8:
        return DecodeLines(raw, "", line_no);
      case Form::kOther:
        return DecodeLines(raw, encoding_, line_no);
    }
  } catch (const ComError& e) {
    Throw(E_FAIL, path_ + ": " + e.description());
  }
  return raw;
}

bool ScriptFile::Next(ScriptPiece* piece) {
  piece->text.clear();
  bool have = false;
  for (;;) {
    std::string text;
    uint64_t at;
    int line_no;
    if (pending_) {
      pending_ = false;
      text = std::move(pending_text_);
      at = pending_offset_;
      line_no = pending_line_;
    } else {
      at = offset_;
      std::string raw;
      if (!RawLine(&raw)) break;
      line_no = ++line_no_;
      text = Decode(raw, line_no);
    }
    std::string_view body(text);
    if (body.ends_with('\n')) body.remove_suffix(1);
    if (IsGoLine(body)) {
      const int number = batch_++;
      scan_state_ = kCode, comment_depth_ = 0, splittable_ = -1;
      if (have && !AllBlank(piece->text)) {
        piece->batch = number;
        piece->raw_end = at;
        return true;
      }
      have = false;
      piece->text.clear();
      continue;
    }
    if (scan_state_ == kCode && splittable_ < 0) {
      // The batch's first statement says whether it holds rows only.
      std::string_view word = Trimmed(body);
      if (!word.empty() && !word.starts_with("--") && !word.starts_with("/*"))
        splittable_ = StartsWord(word, "INSERT") || StartsWord(word, "SET");
    }
    if (have && splittable_ == 1 && scan_state_ == kCode && piece->text.size() >= kPieceBytes &&
        StartsWord(Trimmed(body), "INSERT")) {
      pending_ = true;
      pending_text_ = std::move(text);
      pending_offset_ = at;
      pending_line_ = line_no;
      piece->batch = batch_;
      piece->raw_end = at;
      return true;
    }
    if (!have) {
      have = true;
      piece->first_line = line_no;
      piece->raw_begin = at;
    }
    Scan(body, &scan_state_, &comment_depth_);
    piece->text += text;
  }
  if (have && !AllBlank(piece->text)) {
    piece->batch = batch_++;
    piece->raw_end = offset_;
    return true;
  }
  return false;
}

std::string ScriptFile::Read(uint64_t raw_begin, uint64_t raw_end) {
  Seek(raw_begin);
  std::string raw(raw_end - raw_begin, '\0');
  if (!raw.empty() && std::fread(raw.data(), 1, raw.size(), file_) != raw.size())
    Throw(E_FAIL, "cannot read " + path_ + ": it changed while it was imported");
  offset_ = raw_end;
  return Decode(raw, 1);
}

}  // namespace q6::import
