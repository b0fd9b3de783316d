// The engine objects that a command of lumenard-cli needs: the application object with the
// default settings and the log, reached through g_pApp and g_pLog while the session lives.
// Every log line goes to standard error as it is added, so that the engine's reports reach the
// user while the results stay alone on standard output.
#pragma once

#include <memory>

class CApp;
class CLog;

class EngineSession {
 public:
  EngineSession();
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

 private:
  class LogPrinter;
  std::unique_ptr<CApp> app_;
  std::unique_ptr<CLog> log_;
  std::unique_ptr<LogPrinter> printer_;
  CApp* previousApp_;
  CLog* previousLog_;
};
