#include "cli/engine_session.h"

#include <iostream>
#include <string>

#include "app/app.h"
#include "app/log.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "app/settings_store.h"
#include "platform/text.h"

// Receives each new log line as the log window would, and prints it.
class EngineSession::LogPrinter : public IMessageTarget {
 public:
  void Post(uint32_t message, uintptr_t wParam, intptr_t) override {
    if (message != UM_LOG_LINE || wParam == 0) return;
    std::cerr << platform::Utf16ToUtf8(reinterpret_cast<const char16_t*>(wParam)) << '\n';
  }
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Post(message, wParam, lParam);
    return 0;
  }
};

EngineSession::EngineSession()
    : app_(std::make_unique<CApp>()),
      log_(std::make_unique<CLog>()),
      printer_(std::make_unique<LogPrinter>()),
      previousApp_(g_pApp),
      previousLog_(g_pLog) {
  FillDefaults(app_->Settings);
  app_->SetLogWindowTarget(printer_.get());
  log_->SetTimestamps(false);
  g_pApp = app_.get();
  g_pLog = log_.get();
}

EngineSession::~EngineSession() {
  g_pLog = previousLog_;
  g_pApp = previousApp_;
}
