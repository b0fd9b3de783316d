// The settings record: every user setting in one fixed-layout binary record of 112004 bytes,
// stored as the registry value "Settings" with a checksum in its first word.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/time.h"

#pragma pack(push, 1)
struct SettingsRecord {
  uint32_t Checksum;              // sum mod 2^32 of the 28000 words after it
  int32_t Reserved4[8];
  int32_t RescanPending;          // 36
  int32_t Reserved40;             // 1
  int32_t Reserved44;             // 1
  int32_t LanguageIndex;          // 48
  int32_t Reserved52;
  int32_t Reserved56;             // 1
  int32_t ShowLegend;             // 60
  int32_t ShowLog;
  int32_t ShowStatusBar;
  int32_t ShowToolbar;
  int32_t ShowSplash;             // 76
  int32_t Reserved80;             // 1
  int32_t ConfirmExit;            // 84
  int32_t ConfirmStopScanning;
  int32_t ConfirmRecoveryAbort;
  int32_t ConfirmFileOverwrite;
  int32_t HideTryOpenWarning;     // 100
  int32_t Reserved104;            // 5400
  int32_t TempFolderChoice;       // 108
  int32_t LogToFile;              // 112
  int32_t LogToDebugger;
  int32_t ClearLogOnStartup;
  int32_t MaxLogSizeKB;           // 124
  int32_t UpdateCheckDays;        // 128
  platform::FileTime NextUpdateCheck;  // 132
  int32_t AutoPilot;              // 140
  int32_t KeepFolderStructure;
  int32_t Reserved148;
  int32_t LogFoundFiles;          // 152
  int32_t AutoSectorScan;
  int32_t AnalyzeQueued;
  int32_t ScanMode;               // 164
  int32_t ScanBySector;
  int32_t SearchThreads;          // 172
  int32_t ReadRetries;            // 176
  int32_t RetryPauseMs;
  int32_t SearchBlockSize;        // 184
  int32_t Reserved188;            // 1
  uint8_t Reserved192[17604 - 192];
  int32_t AppMode;                // 17604
  uint8_t Reserved17608[17744 - 17608];
  uint8_t WizardPlacement[44];    // a WINDOWPLACEMENT
  char16_t DestinationFolder[4096];   // 17788
  char16_t TemporaryFolder[4096];     // 25980
  char16_t LogFileName[1024];         // 34172
  char16_t ReservedText[(112004 - 36220) / 2];  // 36220, "*"
};
#pragma pack(pop)

static_assert(sizeof(SettingsRecord) == 112004);
static_assert(offsetof(SettingsRecord, RescanPending) == 36);
static_assert(offsetof(SettingsRecord, LanguageIndex) == 48);
static_assert(offsetof(SettingsRecord, ShowLegend) == 60);
static_assert(offsetof(SettingsRecord, ShowSplash) == 76);
static_assert(offsetof(SettingsRecord, ConfirmExit) == 84);
static_assert(offsetof(SettingsRecord, HideTryOpenWarning) == 100);
static_assert(offsetof(SettingsRecord, TempFolderChoice) == 108);
static_assert(offsetof(SettingsRecord, LogToFile) == 112);
static_assert(offsetof(SettingsRecord, MaxLogSizeKB) == 124);
static_assert(offsetof(SettingsRecord, UpdateCheckDays) == 128);
static_assert(offsetof(SettingsRecord, NextUpdateCheck) == 132);
static_assert(offsetof(SettingsRecord, AutoPilot) == 140);
static_assert(offsetof(SettingsRecord, LogFoundFiles) == 152);
static_assert(offsetof(SettingsRecord, ScanMode) == 164);
static_assert(offsetof(SettingsRecord, SearchThreads) == 172);
static_assert(offsetof(SettingsRecord, ReadRetries) == 176);
static_assert(offsetof(SettingsRecord, SearchBlockSize) == 184);
static_assert(offsetof(SettingsRecord, Reserved188) == 188);
static_assert(offsetof(SettingsRecord, AppMode) == 17604);
static_assert(offsetof(SettingsRecord, WizardPlacement) == 17744);
static_assert(offsetof(SettingsRecord, DestinationFolder) == 17788);
static_assert(offsetof(SettingsRecord, TemporaryFolder) == 25980);
static_assert(offsetof(SettingsRecord, LogFileName) == 34172);
static_assert(offsetof(SettingsRecord, ReservedText) == 36220);

// The settings operations (loading, defaults, saving, the .filesig association) are declared
// in app/settings_store.h.
