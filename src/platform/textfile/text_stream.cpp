// TextStream: writing encodes and flushes each piece at once, since a log
// file is often followed by another program while it grows; reading works on
// a decoded copy taken when the file was opened, which keeps line splitting
// independent of the encoding on disk.
#include "platform/textfile/text_stream.h"

#include <cerrno>

#include "platform/textfile/file_errors.h"
#include "runtime/binder.h"
#include "runtime/com_error.h"

namespace q6::textfile {

namespace {

const InterfaceInfo& TextStreamInterface() {
  using C = TextStream;
  static const InterfaceInfo info{
      "TextStream",
      Guid::Of("{5C2B7E31-4F0A-4B8E-9D61-0A6E1C3F7B02}"),
      {
          PropGet<C>("AtEndOfStream", 0x2712, &C::AtEndOfStream),
          Method<C>("Close", 0x2710, &C::Close, {}),
          Method<C>("ReadLine", 0x2714, &C::ReadLine, {}),
          Method<C>("ReadAll", 0x2715, &C::ReadAll, {}),
          Method<C>("Write", 0x2716, &C::Write, {Req("Text")}),
          Method<C>("WriteLine", 0x2717, &C::WriteLine, {Opt("Text", "")}),
      }};
  return info;
}

constexpr char kLineEnd[] = "\r\n";

}  // namespace

TextStream::TextStream(FilePtr file, TextEncoding encoding)
    : state_(State::kWriting), file_(std::move(file)), encoding_(encoding) {}

TextStream::TextStream(std::string text) : state_(State::kReading), text_(std::move(text)) {}

TextStream::~TextStream() = default;

const InterfaceInfo& TextStream::Interface() const { return TextStreamInterface(); }

void TextStream::RequireOpen() const {
  if (state_ == State::kClosed) RaiseFileError(kBadFileNameOrNumber);
}

void TextStream::RequireReading() const {
  RequireOpen();
  if (state_ != State::kReading) RaiseFileError(kBadFileMode);
}

void TextStream::RequireWriting() const {
  RequireOpen();
  if (state_ != State::kWriting) RaiseFileError(kBadFileMode);
}

void TextStream::Put(const std::string& utf8) {
  std::string bytes = EncodeText(utf8, encoding_);
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size() ||
      std::fflush(file_.get()) != 0) {
    RaiseSystemError(errno, FileOp::kWrite);
  }
}

void TextStream::Write(const std::string& Text) {
  RequireWriting();
  Put(Text);
}

void TextStream::WriteLine(const std::string& Text) {
  RequireWriting();
  Put(Text + kLineEnd);
}

std::string TextStream::ReadLine() {
  RequireReading();
  if (pos_ >= text_.size()) RaiseFileError(kInputPastEndOfFile);
  size_t lf = text_.find('\n', pos_);
  size_t end = lf == std::string::npos ? text_.size() : lf;
  size_t next = lf == std::string::npos ? text_.size() : lf + 1;
  if (lf != std::string::npos && end > pos_ && text_[end - 1] == '\r') --end;
  std::string line = text_.substr(pos_, end - pos_);
  pos_ = next;
  return line;
}

std::string TextStream::ReadAll() {
  RequireReading();
  if (pos_ >= text_.size()) RaiseFileError(kInputPastEndOfFile);
  std::string rest = text_.substr(pos_);
  pos_ = text_.size();
  return rest;
}

bool TextStream::AtEndOfStream() {
  RequireReading();
  return pos_ >= text_.size();
}

void TextStream::Close() {
  RequireOpen();
  state_ = State::kClosed;
  FilePtr file = std::move(file_);
  text_.clear();
  pos_ = 0;
  if (file && std::fclose(file.release()) != 0) RaiseSystemError(errno, FileOp::kWrite);
}

}  // namespace q6::textfile
