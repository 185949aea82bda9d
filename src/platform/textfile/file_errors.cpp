// Error numbers and texts of the file-system object, and the one place where
// system error codes become them.
#include "platform/textfile/file_errors.h"

#include <cerrno>

#include "runtime/com_error.h"

namespace q6::textfile {

namespace {

constexpr const char* kSource = "Q6Sys.FileSystemObject";

struct ErrorText {
  FileError number;
  const char* text;
};

constexpr ErrorText kTexts[] = {
    {kBadFileNameOrNumber, "Bad file name or number"},
    {kFileNotFound, "File not found"},
    {kBadFileMode, "Bad file mode"},
    {kDeviceIoError, "Device I/O error"},
    {kFileAlreadyExists, "File already exists"},
    {kDiskFull, "Disk full"},
    {kInputPastEndOfFile, "Input past end of file"},
    {kPermissionDenied, "Permission denied"},
    {kPathFileAccessError, "Path/File access error"},
    {kPathNotFound, "Path not found"},
};

struct ErrnoRow {
  int errno_value;
  FileError number;
};

// System codes that do not depend on the operation; ENOENT does (see below).
constexpr ErrnoRow kErrnoRows[] = {
    {EEXIST, kFileAlreadyExists}, {EACCES, kPermissionDenied},
    {EPERM, kPermissionDenied},   {EROFS, kPermissionDenied},
    {EISDIR, kPermissionDenied},  {ETXTBSY, kPermissionDenied},
    {ENOTDIR, kPathNotFound},     {ENAMETOOLONG, kBadFileNameOrNumber},
    {ENOSPC, kDiskFull},          {EDQUOT, kDiskFull},
    {EFBIG, kDiskFull},           {EIO, kDeviceIoError},
};

}  // namespace

std::string FileErrorText(FileError number) {
  for (const ErrorText& row : kTexts)
    if (row.number == number) return row.text;
  return VbErrorText(number);
}

void RaiseFileError(FileError number) { Throw(VbHr(number), FileErrorText(number), kSource); }

void RaiseSystemError(int errno_value, FileOp op) {
  if (errno_value == ENOENT)
    RaiseFileError(op == FileOp::kOpenExisting ? kFileNotFound : kPathNotFound);
  for (const ErrnoRow& row : kErrnoRows)
    if (row.errno_value == errno_value) RaiseFileError(row.number);
  RaiseFileError(kPathFileAccessError);
}

}  // namespace q6::textfile
