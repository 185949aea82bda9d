// LogManager: a plain text log file per object.
//
// Errors (HRESULTs): StartLog reports problems through its result False and
// strError; StopLog, ReadLine and WriteLine ignore errors.
#pragma once

#include <memory>
#include <string>

#include "frame/component.h"

namespace q6 {

class LogManager final : public ComponentObject {
 public:
  LogManager();
  ~LogManager() override;
  const InterfaceInfo& Interface() const override;

  std::string GetLogFileName();
  bool StartLog(std::string strFile, bool& bOverride, std::string& strError, bool& bUnicode);
  void StopLog(bool& bKill);
  std::string ReadLine(bool& bAll);
  void WriteLine(std::string& strInfo);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace q6
