// LogManager: not landed yet.
#include "frame/log_manager.h"

#include "frame/not_implemented.h"

namespace q6 {

struct LogManager::State {};

LogManager::LogManager() : state_(std::make_unique<State>()) {}
LogManager::~LogManager() = default;

std::string LogManager::GetLogFileName() { NotImplemented("LogManager.GetLogFileName"); }
bool LogManager::StartLog(std::string strFile, bool& bOverride, std::string& strError,
                          bool& bUnicode) {
  NotImplemented("LogManager.StartLog");
}
void LogManager::StopLog(bool& bKill) { NotImplemented("LogManager.StopLog"); }
std::string LogManager::ReadLine(bool& bAll) { NotImplemented("LogManager.ReadLine"); }
void LogManager::WriteLine(std::string& strInfo) { NotImplemented("LogManager.WriteLine"); }

}  // namespace q6
