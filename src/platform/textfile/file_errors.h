// The run-time errors the file-system object and its text streams raise.
//
// Each is a ComError with the HRESULT 0x800A0000 + number, the number's
// built-in text as description and "Q6Sys.FileSystemObject" as source.
#pragma once

#include <string>

namespace q6::textfile {

enum FileError : int {
  kBadFileNameOrNumber = 52,  // empty name, or a stream already closed
  kFileNotFound = 53,
  kBadFileMode = 54,  // reading a stream opened for writing, or the reverse
  kDeviceIoError = 57,
  kFileAlreadyExists = 58,
  kDiskFull = 61,
  kInputPastEndOfFile = 62,
  kPermissionDenied = 70,
  kPathFileAccessError = 75,
  kPathNotFound = 76,
};

// The built-in text of a file error number ("File already exists" for 58).
std::string FileErrorText(FileError number);

// Raises `number` with its built-in text.
[[noreturn]] void RaiseFileError(FileError number);

// What a failing system call was doing: a missing directory entry means
// "File not found" when an existing file was wanted and "Path not found"
// when a file was to be created.
enum class FileOp { kOpenExisting, kCreate, kWrite };

// Raises the file error that `errno_value` stands for during `op`.
[[noreturn]] void RaiseSystemError(int errno_value, FileOp op);

}  // namespace q6::textfile
