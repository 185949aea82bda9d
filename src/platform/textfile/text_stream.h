// TextStream: a text file opened by the file-system object, for reading or
// for writing.
//
// A stream for writing appends what it is given to its file at once (each
// call reaches the file before it returns, so another reader sees it); text
// is encoded as UTF-8, or as UTF-16LE when the stream was opened in Unicode.
// A stream for reading holds the file's content as it stood when opened,
// decoded to UTF-8 text, and hands it out line by line or all at once.
//
// Automation members (interface "TextStream"; all raise ComErrors with the
// numbers of file_errors.h):
//   Write(Text)      writes Text as it is.
//   WriteLine([Text]) writes Text (default "") and CR LF.
//     Both raise 54 "Bad file mode" on a stream for reading, 52 "Bad file
//     name or number" after Close, 61/57/75 when the system refuses to write.
//   ReadLine()       the next line without its CR LF or LF.
//   ReadAll()        the rest of the text, line breaks included.
//     Both raise 54 on a stream for writing, 52 after Close and 62 "Input
//     past end of file" at the end of the text.
//   AtEndOfStream    (property) True when no text is left to read; 54 on a
//                    stream for writing, 52 after Close.
//   Close()          closes the file; 52 when already closed.
// The stream closes its file when it ends, if Close was not called.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "platform/textfile/text_encoding.h"
#include "runtime/dispatch.h"

namespace q6::textfile {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

class TextStream final : public Dispatchable {
 public:
  // A stream that writes to `file` (owned) in `encoding`. A byte-order mark,
  // where wanted, is the opener's business.
  TextStream(FilePtr file, TextEncoding encoding);
  // A stream that reads `text` (UTF-8, byte-order mark already removed).
  explicit TextStream(std::string text);
  ~TextStream() override;

  const InterfaceInfo& Interface() const override;

  void Write(const std::string& Text);
  void WriteLine(const std::string& Text);
  std::string ReadLine();
  std::string ReadAll();
  bool AtEndOfStream();
  void Close();

 private:
  void RequireOpen() const;
  void RequireReading() const;
  void RequireWriting() const;
  void Put(const std::string& utf8);

  enum class State { kReading, kWriting, kClosed };
  State state_;
  FilePtr file_;  // streams for writing only
  TextEncoding encoding_ = TextEncoding::kUtf8;
  std::string text_;  // streams for reading only
  size_t pos_ = 0;
};

}  // namespace q6::textfile
