// FileSystemObject: opens text files with POSIX calls so that "create only
// if new" is one atomic open (O_EXCL) and every system error maps to the
// numbers callers test for. Streams are handed out as new objects that the
// caller owns; the file-system object itself keeps nothing.
#include "platform/textfile/file_system_object.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/textfile/file_errors.h"
#include "runtime/binder.h"
#include "runtime/class_table.h"

namespace q6::textfile {

namespace {

const InterfaceInfo& FileSystemInterface() {
  using C = FileSystemObject;
  static const InterfaceInfo info{
      "IFileSystem",
      Guid::Of("{5C2B7E31-4F0A-4B8E-9D61-0A6E1C3F7B01}"),
      {
          Method<C>("CreateTextFile", 0x44C, &C::CreateTextFile,
                    {Req("FileName"), Opt("Overwrite", true), Opt("Unicode", false)}, "TextStream"),
          Method<C>("OpenTextFile", 0x44D, &C::OpenTextFile,
                    {Req("FileName"), Opt("IOMode", int32_t{kForReading}), Opt("Create", false),
                     Opt("Format", int32_t{kTristateFalse})},
                    "TextStream"),
          Method<C>("FileExists", 0x2710, &C::FileExists, {Req("FileSpec")}),
          Method<C>("DeleteFile", 0x4B0, &C::DeleteFile, {Req("FileSpec"), Opt("Force", false)}),
      }};
  return info;
}

const ClassRegistrar kRegistrar({
    FileSystemProgId(),
    "FileSystemObject",
    Guid::Of("{5C2B7E31-4F0A-4B8E-9D61-0A6E1C3F7B00}"),
    FileSystemInterface,
    [] { return ObjectRef(std::make_shared<FileSystemObject>()); },
});

// A name the system can take as it stands: not empty and without a NUL
// character, which would cut the name short and name another file.
bool UsableName(const std::string& name) {
  return !name.empty() && name.find('\0') == std::string::npos;
}

// Opens `name` with `flags`; raises the mapped error on failure.
FilePtr OpenFile(const std::string& name, int flags, FileOp op, const char* mode) {
  if (!UsableName(name)) RaiseFileError(kBadFileNameOrNumber);
  int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) RaiseSystemError(errno, op);
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    RaiseFileError(kPermissionDenied);
  }
  std::FILE* f = ::fdopen(fd, mode);
  if (!f) {
    int err = errno;
    ::close(fd);
    RaiseSystemError(err, op);
  }
  return FilePtr(f);
}

std::string ReadRest(std::FILE* f) {
  std::string bytes;
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  if (std::ferror(f)) RaiseFileError(kDeviceIoError);
  return bytes;
}

void PutBom(std::FILE* f) {
  if (std::fwrite(kUtf16LeBom.data(), 1, kUtf16LeBom.size(), f) != kUtf16LeBom.size() ||
      std::fflush(f) != 0)
    RaiseSystemError(errno, FileOp::kWrite);
}

// The encoding of an existing file, judged by its first bytes.
TextEncoding EncodingOnDisk(const std::string& name) {
  FilePtr f(std::fopen(name.c_str(), "rbe"));
  if (!f) return TextEncoding::kUtf8;
  char head[2];
  size_t n = std::fread(head, 1, sizeof head, f.get());
  return DetectEncoding(std::string_view(head, n), TextEncoding::kUtf8);
}

}  // namespace

const char* FileSystemProgId() { return "Q6Sys.FileSystemObject"; }

const InterfaceInfo& FileSystemObject::Interface() const { return FileSystemInterface(); }

std::shared_ptr<TextStream> FileSystemObject::CreateTextFile(const std::string& FileName,
                                                             bool Overwrite, bool Unicode) {
  int flags = O_WRONLY | O_CREAT | (Overwrite ? O_TRUNC : O_EXCL);
  FilePtr f = OpenFile(FileName, flags, FileOp::kCreate, "wb");
  TextEncoding encoding = Unicode ? TextEncoding::kUtf16Le : TextEncoding::kUtf8;
  if (Unicode) PutBom(f.get());
  return std::make_shared<TextStream>(std::move(f), encoding);
}

std::shared_ptr<TextStream> FileSystemObject::OpenTextFile(const std::string& FileName,
                                                           int32_t IOMode, bool Create,
                                                           int32_t Format) {
  if (Format != kTristateUseDefault && Format != kTristateTrue && Format != kTristateFalse)
    ThrowVb(kVbInvalidProcedureCall);
  FileOp op = Create ? FileOp::kCreate : FileOp::kOpenExisting;
  int create = Create ? O_CREAT : 0;
  TextEncoding asked = Format == kTristateTrue ? TextEncoding::kUtf16Le : TextEncoding::kUtf8;
  switch (IOMode) {
    case kForReading: {
      FilePtr f = OpenFile(FileName, O_RDONLY | create, op, "rb");
      return std::make_shared<TextStream>(DecodeFile(ReadRest(f.get()), asked));
    }
    case kForWriting: {
      FilePtr f = OpenFile(FileName, O_WRONLY | O_TRUNC | create, op, "wb");
      if (asked == TextEncoding::kUtf16Le) PutBom(f.get());
      return std::make_shared<TextStream>(std::move(f), asked);
    }
    case kForAppending: {
      FilePtr f = OpenFile(FileName, O_WRONLY | O_APPEND | create, op, "ab");
      struct stat st;
      bool empty = ::fstat(::fileno(f.get()), &st) == 0 && st.st_size == 0;
      TextEncoding encoding = asked;
      if (Format == kTristateUseDefault && !empty) encoding = EncodingOnDisk(FileName);
      if (encoding == TextEncoding::kUtf16Le && empty) PutBom(f.get());
      return std::make_shared<TextStream>(std::move(f), encoding);
    }
    default:
      ThrowVb(kVbInvalidProcedureCall);
  }
}

bool FileSystemObject::FileExists(const std::string& FileSpec) {
  struct stat st;
  return UsableName(FileSpec) && ::stat(FileSpec.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void FileSystemObject::DeleteFile(const std::string& FileSpec, bool Force) {
  struct stat st;
  if (!FileSpec.empty() && !UsableName(FileSpec)) RaiseFileError(kBadFileNameOrNumber);
  if (FileSpec.empty() || ::stat(FileSpec.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    RaiseFileError(kFileNotFound);
  if (!Force && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    RaiseFileError(kPermissionDenied);
  if (::unlink(FileSpec.c_str()) != 0) RaiseSystemError(errno, FileOp::kOpenExisting);
}

}  // namespace q6::textfile
