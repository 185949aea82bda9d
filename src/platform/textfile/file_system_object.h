// FileSystemObject: text files by name, for programs that create it by its
// ProgID and call it late-bound (and for C++ callers, through the typed
// methods below).
//
// File names are paths in the process's file system, UTF-8, used as given
// (relative names are relative to the working directory). Errors are
// ComErrors with the numbers of file_errors.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/textfile/text_stream.h"
#include "runtime/dispatch.h"
#include "runtime/internal_export.h"

namespace q6::textfile {

// The ProgID the class is created by: "Q6Sys.FileSystemObject".
Q6FD_INTERNAL const char* FileSystemProgId();

// OpenTextFile's IOMode.
enum IoMode : int32_t { kForReading = 1, kForWriting = 2, kForAppending = 8 };
// OpenTextFile's Format.
enum Tristate : int32_t { kTristateUseDefault = -2, kTristateTrue = -1, kTristateFalse = 0 };

class Q6FD_INTERNAL FileSystemObject final : public Dispatchable {
 public:
  const InterfaceInfo& Interface() const override;

  // Creates the file and returns a stream for writing it; the caller owns
  // the stream. Unicode True: UTF-16LE, the byte-order mark FF FE written at
  // once; False: UTF-8 without a mark. Overwrite (default True) False on an
  // existing file raises 58 "File already exists"; a missing folder raises
  // 76 "Path not found"; an empty name, or one with a NUL character, 52; no
  // right to write 70. (The same name rule holds for OpenTextFile.)
  std::shared_ptr<TextStream> CreateTextFile(const std::string& FileName, bool Overwrite,
                                             bool Unicode);

  // Opens a file. IOMode (default kForReading): reading gets the file's text
  // as it stands now; writing truncates; appending adds at the end. Create
  // (default False) makes a missing file, else a missing file raises 53 "File
  // not found". Format (default kTristateFalse): kTristateTrue reads and
  // writes UTF-16LE; kTristateFalse UTF-8; kTristateUseDefault UTF-8 for a
  // new file and the existing file's encoding otherwise. Reading always
  // follows a byte-order mark FF FE. A bad IOMode or Format raises 5.
  std::shared_ptr<TextStream> OpenTextFile(const std::string& FileName, int32_t IOMode, bool Create,
                                           int32_t Format);

  // True when FileSpec names an existing regular file (not a folder); False
  // for a name with a NUL character.
  bool FileExists(const std::string& FileSpec);

  // Deletes the file. A missing file raises 53, a name with a NUL character
  // 52 (it would name another file); a file without write
  // permission raises 70 unless Force (default False) is True; the system's
  // refusal raises its own error.
  void DeleteFile(const std::string& FileSpec, bool Force);
};

}  // namespace q6::textfile
