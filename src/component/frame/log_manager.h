// LogManager: a plain text log file per object.
//
// StartLog creates the file and writes the start line
// "-----------开始------------"; WriteLine appends lines; StopLog writes the
// end marker "-----------结束------------" (no line break after it), closes
// the stream and, with bKill, deletes the file; the end of the object does
// StopLog(True) while a file name is stored. Only a file that this object's
// own StartLog created is ever deleted.
//
// Errors: no member raises. StartLog catches every failure into the result
// False and strError: "文件已经存在!" (888) for the current log's name again
// with bOverride False, "打开文件失败!" (8888) when the file-system object
// hands back no stream, or the file-system object's own description (for
// example "File already exists" for a foreign file and bOverride False,
// "Path not found" for a missing folder). StopLog, ReadLine and WriteLine
// skip a step that fails: writing without an open log does nothing, reading
// gives "" (the log's stream is open for writing, so a read on it fails).
// GetLogFileName cannot fail.
#pragma once

#include <memory>
#include <string>

#include "component/frame/component.h"
#include "runtime/export.h"

namespace q6 {

class Q6FD_API LogManager final : public ComponentObject {
 public:
  LogManager();
  // A log that creates its file-system object from `file_system_prog_id`
  // instead of the platform's; that class must answer CreateTextFile and
  // DeleteFile by name and hand back a stream that answers Write, WriteLine,
  // ReadLine, ReadAll and Close.
  explicit LogManager(std::string file_system_prog_id);
  ~LogManager() override;
  const InterfaceInfo& Interface() const override;

  // The name StartLog last stored (trimmed, case kept); "" before the first
  // start and after StopLog(True). Kept after a failed start that got past
  // the same-name test.
  std::string GetLogFileName();
  // True when the log was started; False with the reason in strError
  // (untouched on success). strFile is trimmed of spaces. bOverride
  // (default True) lets an existing file be replaced; bUnicode (default
  // False) writes UTF-16LE with a byte-order mark instead of UTF-8.
  bool StartLog(std::string strFile, bool& bOverride, std::string& strError, bool& bUnicode);
  // Ends the current log; bKill (default False) also deletes its file and
  // clears the name.
  void StopLog(bool& bKill);
  // The next line of the log's stream, or all the rest with bAll, trimmed of
  // spaces; "" when the read fails.
  std::string ReadLine(bool& bAll);
  // Appends strInfo trimmed of spaces and CR LF; strInfo is not changed.
  void WriteLine(std::string& strInfo);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace q6
