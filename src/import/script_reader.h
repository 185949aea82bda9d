// Reading a script file piece by piece, so that an import's memory does not
// grow with the file.
//
// A piece is a whole batch (the text between GO lines, as SplitBatches
// cuts it), or, for a batch of rows longer than kPieceBytes, a run of its
// whole lines that ends before a line starting a new INSERT statement (not
// inside a string, a quoted name or a comment). Statements never straddle
// two pieces, so parsing the pieces one after the other reads what parsing
// the whole batch reads. The file is read in blocks and decoded a line at a
// time (UTF-8, UTF-16 with a byte-order mark, or the encoding the caller
// names); a piece can be read again from where it lies in the file.
//
// Memory: one block, one piece (kPieceBytes and the longest line), never the
// file. A line longer than kMaxLineBytes is refused.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace q6::import {

inline constexpr size_t kPieceBytes = size_t{1} << 20;
inline constexpr size_t kMaxLineBytes = size_t{64} << 20;

struct ScriptPiece {
  int batch = 0;                        // 1-based number of the batch it belongs to
  int first_line = 0;                   // 1-based line of its first line in the file
  uint64_t raw_begin = 0, raw_end = 0;  // its bytes in the file
  std::string text;                     // decoded, UTF-8
};

// One script file, open for reading. A pipe is copied into a temporary file
// first (its bytes could not be read twice). Not thread-safe.
class ScriptFile {
 public:
  // Opens `path`. Raises E_FAIL naming the file when it cannot be read, and
  // for a device, a directory or a socket (before reading anything), and
  // for an unknown `encoding`.
  ScriptFile(const std::string& path, const std::string& encoding);
  ~ScriptFile();
  ScriptFile(const ScriptFile&) = delete;
  ScriptFile& operator=(const ScriptFile&) = delete;

  const std::string& path() const { return path_; }

  // Reads the pieces from the start: the next one into `*piece`; false after
  // the last. Raises E_FAIL naming the file and line for bytes that are not
  // valid in the file's encoding, a line longer than kMaxLineBytes, or a
  // read error.
  bool Next(ScriptPiece* piece);

  // The decoded text of the piece whose bytes are [raw_begin, raw_end), as
  // Next gave it. Raises as Next. Moves the position Next reads from.
  std::string Read(uint64_t raw_begin, uint64_t raw_end);

 private:
  enum class Form { kUtf8, kUtf16Le, kUtf16Be, kOther };
  // The next raw line (its '\n' included) into `*line`; false at the end.
  bool RawLine(std::string* line);
  std::string Decode(const std::string& raw, int line_no) const;
  void Seek(uint64_t offset);

  std::string path_;
  std::string encoding_;
  Form form_ = Form::kUtf8;
  uint64_t start_ = 0;  // after the byte-order mark
  std::FILE* file_ = nullptr;
  std::string block_;
  size_t block_pos_ = 0;
  uint64_t offset_ = 0;  // of block_[block_pos_] in the file
  bool eof_ = false;
  // Next's state.
  int line_no_ = 0;
  int batch_ = 1;
  bool pending_ = false;  // a line read ahead that starts the next piece
  std::string pending_text_;
  uint64_t pending_offset_ = 0;
  int pending_line_ = 0;
  int splittable_ = -1;  // whether the batch holds rows only: 1, 0, or -1 (not yet known)
  int scan_state_ = 0;   // literal / comment state at the start of the next line
  int comment_depth_ = 0;
};

}  // namespace q6::import
