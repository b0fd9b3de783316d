#include "volumes/computer.h"

#include "app/app.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "app/strings.h"
#include "platform/text.h"

CLocalComputer* g_pComputer = nullptr;

namespace {

constexpr int kLetterCount = 26;

// The computer object whose steps the volumes' information queries call.
std::atomic<CLocalComputer*> g_hookOwner{nullptr};

// The drive letter of the lowest unit in the mask; '?' when the mask names none.
char16_t LetterOfUnitMask(uint32_t mask) {
  for (int bit = 0; bit < kLetterCount; ++bit)
    if (mask & (uint32_t{1} << bit)) return static_cast<char16_t>(u'A' + bit);
  return u'?';
}

void LogInfoText(const std::u16string& text) {
  if (g_pLog) g_pLog->Add(LogLevelInfo, text);
}

}  // namespace

CLocalComputer::CLocalComputer()
    : Volumes([this] { return NextRecordId(); }),
      Status(g_pApp ? &g_pApp->Status : &ownStatus_),
      Analysis(*this, *Status) {
  ComputerNode.Kind = VolumeKindComputer;
  ComputerNode.RootRecord.Id = IdMyComputer;
  ComputerNode.RootRecord.ParentId = 0;
  ComputerNode.RootRecord.Flags = FoundDriveNode;
  RecycleBinNode.Kind = VolumeKindRecycleBin;
  RecycleBinNode.RootRecord.Id = IdRecycleBin;
  RecycleBinNode.RootRecord.Flags = FoundDriveNode;

  CVolumeQueryHooks& hooks = CVolume::QueryHooks();
  hooks.FindParentDisk = [this](CVolume& drive) { FindParentDisk(drive); };
  hooks.AnalyzeBootSector = [](CVolume& volume) { volume.AnalyzeBootSector(); };
  g_hookOwner = this;
}

CLocalComputer::~CLocalComputer() {
  Analysis.Shutdown();
  Volumes.WaitForRescan(CVolumesList::kRescanWaitMs);
  Volumes.WaitForQueries();
  CLocalComputer* self = this;
  if (g_hookOwner.compare_exchange_strong(self, nullptr)) CVolume::QueryHooks() = CVolumeQueryHooks{};
  if (g_pComputer == this) g_pComputer = nullptr;
}

CLocalComputer* CreateLocalComputer() {
  // Lives until the process ends: worker threads may still use it while the process exits.
  auto* computer = new CLocalComputer();
  g_pComputer = computer;
  g_pLog = &computer->Log;
  g_pFileTypes = &computer->FileTypes;
  return computer;
}

void CLocalComputer::FindParentDisk(CVolume& drive) {
  std::unique_lock lock = Volumes.Lock();
  // A query that outlived its rescan belongs to a volume that is no longer listed.
  if (drive.DeviceNumber.Number < 0 || !Volumes.IsListedLocked(&drive)) return;
  for (CVolume* disk : Volumes.ItemsLocked()) {
    if (disk->Kind == VolumeKindPhysical && disk->DeviceNumber.Number == drive.DeviceNumber.Number) {
      CVolumesList::AttachChildLocked(*disk, drive);
      return;
    }
  }
}

int CLocalComputer::OnDeviceChange(uintptr_t wParam, intptr_t lParam) {
  if ((wParam != kDeviceArrival && wParam != kDeviceRemoveComplete) || lParam == 0) return 0;
  const auto* broadcast = reinterpret_cast<const DeviceBroadcastVolume*>(lParam);
  if (broadcast->DeviceType != kDeviceTypeVolume || broadcast->Size < offsetof(DeviceBroadcastVolume, Flags))
    return 0;
  const char16_t letter = LetterOfUnitMask(broadcast->UnitMask);
  if (wParam == kDeviceArrival) {
    LogInfoText(platform::Format(LanguageString(180), letter));
    Volumes.RescanAndWait();
  } else {
    LogInfoText(platform::Format(LanguageString(181), letter));
  }
  if (g_pApp)
    if (IMessageTarget* window = g_pApp->MainWindow()) window->Post(UM_DEVICE_CHANGE, wParam, lParam);
  return 0;
}
