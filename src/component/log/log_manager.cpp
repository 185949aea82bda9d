// LogManager: one scratch text log per object.
//
// The file-system object is created by its ProgID and, like the stream it
// hands out, called by name, so any class that answers those names can stand
// in for it. StartLog catches every failure into its result; the other
// members skip a step that fails and go on, so a client's logging can never
// break the client.
//
// Two things differ from a plain reading of the log's contract, both to keep
// other people's files safe:
//   - The name is used in the case given (only trimmed). Lower-casing it only
//     normalised names on a case-insensitive file system; on this one it
//     would write to another file than the one asked for.
//   - Only a file that this object's own StartLog created (or overwrote) is
//     ever deleted. When a start fails after the new name is stored (the file
//     exists and may not be overwritten, the folder is missing), the name
//     still shows in GetLogFileName but StopLog(True) and the end of the
//     object leave that file alone.
#include "component/frame/log_manager.h"

#include <exception>

#include "platform/textfile/file_system_object.h"
#include "platform/trace/trace.h"
#include "runtime/class_table.h"
#include "runtime/com_error.h"

namespace q6 {

namespace {

constexpr char kStartMarker[] = "-----------开始------------";
constexpr char kEndMarker[] = "-----------结束------------";

constexpr int kErrSameFile = 888;
constexpr char kErrSameFileText[] = "文件已经存在!";
constexpr int kErrOpenFailed = 8888;
constexpr char kErrOpenFailedText[] = "打开文件失败!";

// Removes leading and trailing spaces (only U+0020, as the automation
// language's Trim does).
std::string TrimSpaces(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

// Runs one step whose failure is ignored.
template <class F>
void Ignoring(F&& step) noexcept {
  try {
    step();
  } catch (const std::exception&) {
  }
}

}  // namespace

struct LogManager::State {
  std::string file_system_prog_id;
  std::string file_name;  // as StartLog last stored it
  ObjectRef stream;       // kept (closed) after StopLog
  bool created = false;   // file_name names a file this object's StartLog created
};

LogManager::LogManager() : LogManager(textfile::FileSystemProgId()) {}

LogManager::LogManager(std::string file_system_prog_id) : state_(std::make_unique<State>()) {
  state_->file_system_prog_id = std::move(file_system_prog_id);
}

LogManager::~LogManager() {
  Ignoring([&] {
    if (state_->file_name.empty()) return;
    bool kill = true;
    StopLog(kill);
  });
}

std::string LogManager::GetLogFileName() { return state_->file_name; }

bool LogManager::StartLog(std::string strFile, bool& bOverride, std::string& strError,
                          bool& bUnicode) {
  State& s = *state_;
  try {
    ObjectRef fso = CreateObject(s.file_system_prog_id);
    strFile = TrimSpaces(strFile);
    if (strFile == TrimSpaces(s.file_name) && !bOverride) ThrowVb(kErrSameFile, kErrSameFileText);
    bool keep = false;
    StopLog(keep);
    s.file_name = strFile;
    s.created = false;
    Variant stream =
        fso->Call("CreateTextFile", {Variant(s.file_name), Variant(bOverride), Variant(bUnicode)});
    s.stream = stream.IsObject() ? stream.object() : ObjectRef();
    if (!s.stream) ThrowVb(kErrOpenFailed, kErrOpenFailedText);
    s.created = true;
    std::string marker = kStartMarker;
    WriteLine(marker);
    return true;
  } catch (const ComError& e) {
    strError = e.description();
  } catch (const std::exception& e) {
    strError = e.what();
  }
  TraceNote("LogManager.StartLog", strError);
  return false;
}

void LogManager::StopLog(bool& bKill) {
  State& s = *state_;
  Ignoring([&] {
    if (s.stream) s.stream->Call("Write", {Variant(kEndMarker)});
  });
  Ignoring([&] {
    if (s.stream) s.stream->Call("Close");
  });
  if (!bKill) return;
  Ignoring([&] {
    if (s.created) CreateObject(s.file_system_prog_id)->Call("DeleteFile", {Variant(s.file_name)});
  });
  s.file_name.clear();
  s.created = false;
}

std::string LogManager::ReadLine(bool& bAll) {
  std::string line;
  Ignoring([&] {
    if (state_->stream)
      line = TrimSpaces(state_->stream->Call(bAll ? "ReadAll" : "ReadLine").ToString());
  });
  return line;
}

void LogManager::WriteLine(std::string& strInfo) {
  Ignoring([&] {
    if (state_->stream) state_->stream->Call("WriteLine", {Variant(TrimSpaces(strInfo))});
  });
}

}  // namespace q6
