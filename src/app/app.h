// The application object: the settings record, the main and log windows, the application mode.
// One per process, reached through g_pApp.
#pragma once

#include <string>

#include "app/settings.h"

class IMessageTarget;

class CApp {
 public:
  CApp();
  virtual ~CApp();

  SettingsRecord Settings{};

  // The current top-level window, which receives the engine's notifications; null before
  // the first window exists.
  IMessageTarget* MainWindow() const { return mainWindow_; }
  IMessageTarget* LogWindow() const { return logWindow_; }
  void SetMainWindowTarget(IMessageTarget* target) { mainWindow_ = target; }
  void SetLogWindowTarget(IMessageTarget* target) { logWindow_ = target; }

  // "Software\Corvane\Lumenard\2.0" under HKEY_CURRENT_USER.
  const std::u16string& GetRegistryKey() const { return registryKey_; }
  void SetRegistryKey(std::u16string key) { registryKey_ = std::move(key); }

 private:
  IMessageTarget* mainWindow_ = nullptr;
  IMessageTarget* logWindow_ = nullptr;
  std::u16string registryKey_ = u"Software\\Corvane\\Lumenard\\2.0";
};

extern CApp* g_pApp;
