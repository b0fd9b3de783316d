// The drive list: its lock, the uses that keep volumes alive, and the rescan.
#include "volumes/volumes_list.h"

#include <algorithm>
#include <chrono>

#include "platform/text.h"
#include "volumes/volume.h"
#include "volumes/volume_log.h"

namespace {

// A volume lies on a disk, which lies on nothing: more links than this are a damaged list.
constexpr int kMaxParentLinks = 8;
constexpr auto kQueryPoll = std::chrono::milliseconds(5);

bool IsKeptByRescan(const CVolume& volume) {
  return volume.Kind == VolumeKindImage || volume.Kind == VolumeKindPartition;
}

bool HasParent(const CVolume& volume) {
  return volume.Parent != nullptr && volume.Parent != &volume;
}

// Disks that the system numbers are the same disk by their number; others by their path.
bool IsSameDisk(const CVolume& a, const CVolume& b) {
  if (a.DiskNumber >= 0 || b.DiskNumber >= 0) return a.DiskNumber == b.DiskNumber;
  return a.DevicePath == b.DevicePath;
}

// Queries that take longer than the deadline finish in the background.
void WaitForQueriesUntil(const std::vector<CVolume*>& volumes, std::chrono::steady_clock::time_point deadline) {
  for (CVolume* volume : volumes) {
    while (volume->IsQueryRunning() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(kQueryPoll);
  }
}

}  // namespace

// Uses.

CVolumeUse::~CVolumeUse() { Release(); }

CVolumeUse::CVolumeUse(CVolumeUse&& other) noexcept
    : list_(other.list_), volume_(other.volume_), held_(std::move(other.held_)) {
  other.list_ = nullptr;
  other.volume_ = nullptr;
  other.held_.clear();
}

CVolumeUse& CVolumeUse::operator=(CVolumeUse&& other) noexcept {
  if (this != &other) {
    Release();
    list_ = other.list_;
    volume_ = other.volume_;
    held_ = std::move(other.held_);
    other.list_ = nullptr;
    other.volume_ = nullptr;
    other.held_.clear();
  }
  return *this;
}

void CVolumeUse::Release() {
  if (list_ && volume_) list_->ReleaseUse(held_);
  list_ = nullptr;
  volume_ = nullptr;
  held_.clear();
}

CVolumeUse CVolumesList::Use(CVolume* volume) {
  std::lock_guard lock(lock_);
  return UseLocked(volume);
}

CVolumeUse CVolumesList::UseLocked(CVolume* volume) {
  if (!volume || !OwnsLocked(volume)) return {};
  std::vector<CVolume*> held;
  for (CVolume* link = volume; link && held.size() < kMaxParentLinks; link = link->Parent) {
    ++uses_[link];
    held.push_back(link);
    if (!HasParent(*link)) break;
  }
  return CVolumeUse(this, volume, std::move(held));
}

void CVolumesList::ReleaseUse(const std::vector<CVolume*>& held) {
  std::vector<std::unique_ptr<CVolume>> unused;
  {
    std::lock_guard lock(lock_);
    for (CVolume* volume : held) {
      auto use = uses_.find(volume);
      if (use != uses_.end() && --use->second <= 0) uses_.erase(use);
    }
    unused = TakeUnusedGraveyardLocked();
  }
  // Destroyed outside the lock: a volume waits for its query thread, which may want the lock.
}

bool CVolumesList::InUse(const CVolume* volume) const {
  std::lock_guard lock(lock_);
  return uses_.count(volume) != 0;
}

std::vector<std::unique_ptr<CVolume>> CVolumesList::TakeUnusedGraveyardLocked() {
  std::vector<std::unique_ptr<CVolume>> unused;
  for (auto it = graveyard_.begin(); it != graveyard_.end();) {
    if (uses_.count(it->get()) != 0) {
      ++it;
      continue;
    }
    DetachLocked(**it);
    unused.push_back(std::move(*it));
    it = graveyard_.erase(it);
  }
  return unused;
}

// The list.

CVolumesList::CVolumesList(std::function<int32_t()> nextRecordId)
    : nextRecordId_(std::move(nextRecordId)), source_(platform::EnumerateDriveSources) {}

CVolumesList::~CVolumesList() {
  {
    std::lock_guard lock(threadLock_);
    rescanAgain_ = false;
  }
  if (rescanThread_.joinable()) rescanThread_.join();
  WaitForQueries();
  std::map<const CVolume*, CVolumeUse> keptParents;
  {
    std::lock_guard lock(lock_);
    keptParents.swap(keptParents_);
  }
}

size_t CVolumesList::Count() const {
  std::lock_guard lock(lock_);
  return items_.size();
}

CVolume* CVolumesList::GetAt(size_t index) const {
  std::lock_guard lock(lock_);
  return index < items_.size() ? items_[index].get() : nullptr;
}

size_t CVolumesList::Add(std::unique_ptr<CVolume> volume) {
  std::lock_guard lock(lock_);
  return AddLocked(std::move(volume));
}

size_t CVolumesList::AddLocked(std::unique_ptr<CVolume> volume) {
  if (!volume) return items_.size();
  // Every listed volume is a node of the drive tree with an identifier of its own.
  if (volume->RootRecord.Id == 0 && nextRecordId_) volume->RootRecord.Id = nextRecordId_();
  volume->RootRecord.Flags |= FoundDriveNode;
  items_.push_back(std::move(volume));
  return items_.size();
}

std::vector<CVolume*> CVolumesList::Items() const {
  std::lock_guard lock(lock_);
  return ItemsLocked();
}

std::vector<CVolume*> CVolumesList::ItemsLocked() const {
  std::vector<CVolume*> items;
  items.reserve(items_.size());
  for (const auto& volume : items_) items.push_back(volume.get());
  return items;
}

bool CVolumesList::IsListed(const CVolume* volume) const {
  std::lock_guard lock(lock_);
  return IsListedLocked(volume);
}

bool CVolumesList::IsListedLocked(const CVolume* volume) const {
  return std::any_of(items_.begin(), items_.end(), [&](const auto& item) { return item.get() == volume; });
}

bool CVolumesList::OwnsLocked(const CVolume* volume) const {
  return IsListedLocked(volume) ||
         std::any_of(graveyard_.begin(), graveyard_.end(), [&](const auto& item) { return item.get() == volume; });
}

CVolume* CVolumesList::FindById(int32_t id) const {
  std::lock_guard lock(lock_);
  return FindByIdLocked(id);
}

CVolume* CVolumesList::FindByIdLocked(int32_t id) const {
  for (const auto& volume : items_)
    if (volume->RootRecord.Id == id) return volume.get();
  return nullptr;
}

void CVolumesList::AttachChildLocked(CVolume& disk, CVolume& child) {
  if (&disk == &child) return;
  if (HasParent(child) && child.Parent != &disk) std::erase(child.Parent->Children, &child);
  child.Parent = &disk;
  if (std::find(disk.Children.begin(), disk.Children.end(), &child) == disk.Children.end())
    disk.Children.push_back(&child);
}

// Nothing may point to a volume that is about to be freed: its disk forgets it, and the
// volumes on it (freed with it, or kept by an image) stop naming it as their disk.
void CVolumesList::DetachLocked(CVolume& volume) {
  if (HasParent(volume)) std::erase(volume.Parent->Children, &volume);
  for (CVolume* child : volume.Children)
    if (child && child->Parent == &volume) child->Parent = child;
  volume.Children.clear();
  volume.Parent = &volume;
}

void CVolumesList::SetDriveSource(DriveSourceFunction source) {
  std::lock_guard lock(rescanLock_);
  source_ = std::move(source);
}

void CVolumesList::WaitForQueries() {
  for (CVolume* volume : Items()) volume->WaitForQuery();
}

// Rescan.

int CVolumesList::Rescan(RescanMode mode) {
  if (mode == RescanMode::OnThisThread) return static_cast<int>(RescanNow());
  std::lock_guard lock(threadLock_);
  if (rescanRunning_) {
    rescanAgain_ = true;
    return 1;
  }
  if (rescanThread_.joinable()) rescanThread_.join();
  rescanRunning_ = true;
  try {
    rescanThread_ = std::thread([this] { RescanThreadBody(); });
  } catch (...) {
    rescanRunning_ = false;
    volume_log::Error(u"CVolumesList::Rescan: no thread for the rescan");
    return 0;
  }
  return 1;
}

void CVolumesList::RescanThreadBody() {
  for (;;) {
    RescanNow();
    std::lock_guard lock(threadLock_);
    if (!rescanAgain_) {
      rescanRunning_ = false;
      rescanEnded_.notify_all();
      return;
    }
    rescanAgain_ = false;
  }
}

bool CVolumesList::WaitForRescan(uint32_t timeoutMs) {
  std::unique_lock lock(threadLock_);
  return rescanEnded_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !rescanRunning_; });
}

int CVolumesList::RescanAndWait() {
  if (Rescan(RescanMode::OnNewThread)) WaitForRescan(kRescanWaitMs);
  return 0;
}

size_t CVolumesList::RescanNow() {
  std::lock_guard serial(rescanLock_);
  std::vector<std::unique_ptr<CVolume>> doomed;
  {
    std::lock_guard lock(lock_);
    doomed = TakeOffEnumeratedLocked();
  }
  doomed.clear();

  std::vector<platform::DriveSource> sources;
  try {
    if (source_) sources = source_();
  } catch (...) {
    volume_log::Error(u"CVolumesList::Rescan except");
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kQueryWaitMs);
  // Disks are queried first: a drive's query looks for its disk by the disk's device number.
  std::vector<CVolume*> queried;
  for (int pass = 0; pass < 2; ++pass) {
    for (const platform::DriveSource& source : sources) {
      const bool isDrive = source.Kind == platform::DriveSourceKind::Drive;
      if (isDrive != (pass == 1)) continue;
      if (isDrive && (source.DriveType == platform::kDriveTypeRemote || source.DriveType == platform::kDriveTypeCdRom))
        continue;
      std::unique_ptr<CVolume> volume = CreateVolume(source);
      CVolume* created = volume.get();
      {
        std::lock_guard lock(lock_);
        InsertEnumeratedLocked(std::move(volume));
      }
      created->StartQuery();
      queried.push_back(created);
    }
    WaitForQueriesUntil(queried, deadline);
  }

  std::vector<CVolumeUse> oldDisks;
  size_t count = 0;
  {
    std::lock_guard lock(lock_);
    oldDisks = RelinkKeptPartitionsLocked();
    count = items_.size();
  }
  return count;
}

std::vector<std::unique_ptr<CVolume>> CVolumesList::TakeOffEnumeratedLocked() {
  for (const auto& volume : items_)
    if (IsKeptByRescan(*volume) && HasParent(*volume) && keptParents_.count(volume.get()) == 0)
      keptParents_.emplace(volume.get(), UseLocked(volume->Parent));

  std::vector<std::unique_ptr<CVolume>> kept;
  std::vector<std::unique_ptr<CVolume>> doomed;
  for (auto& volume : items_) {
    if (IsKeptByRescan(*volume))
      kept.push_back(std::move(volume));
    else if (uses_.count(volume.get()) != 0)
      MoveToGraveyardLocked(std::move(volume));
    else
      doomed.push_back(std::move(volume));
  }
  for (auto& volume : doomed) DetachLocked(*volume);
  items_ = std::move(kept);
  insertAt_ = 0;
  return doomed;
}

// A volume in use keeps its Parent (held by the same use), but its disk no longer lists it
// among its Children: nothing that walks the disk finds a volume that has left the list.
void CVolumesList::MoveToGraveyardLocked(std::unique_ptr<CVolume> volume) {
  if (HasParent(*volume)) std::erase(volume->Parent->Children, volume.get());
  graveyard_.push_back(std::move(volume));
}

void CVolumesList::InsertEnumeratedLocked(std::unique_ptr<CVolume> volume) {
  insertAt_ = std::min(insertAt_, items_.size());
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(insertAt_), std::move(volume));
  ++insertAt_;
}

std::unique_ptr<CVolume> CVolumesList::CreateVolume(const platform::DriveSource& source) {
  auto volume = std::make_unique<CVolume>();
  volume->RootRecord.Id = nextRecordId_ ? nextRecordId_() : 0;
  volume->RootRecord.Flags = FoundDriveNode;
  volume->DevicePath = source.Path;
  // What the system knows of the size until the query reads it from the device.
  volume->TotalBytes = source.Bytes;
  volume->SectorCount = source.Bytes / kSectorSize;
  volume->ClusterCount = volume->SectorCount;
  if (source.Kind == platform::DriveSourceKind::Drive) {
    volume->Kind = VolumeKindLogical;
    volume->Letter = source.Letter;
    volume->DriveType = source.DriveType;
    volume->Label = source.Label;
    volume->State = VolumeStateNotReady;
    return volume;
  }
  volume->Kind = VolumeKindPhysical;
  volume->DriveType = platform::kDriveTypeFixed;
  // Ports keep their own name; a disk opens by its number, which may have several digits.
  volume->DiskNumber = source.Kind == platform::DriveSourceKind::Disk ? source.Number : -1;
  if (source.Number >= 0 && source.Number <= 9) volume->Letter = static_cast<char16_t>(u'0' + source.Number);
  volume->Description = source.Name;
  volume->State = VolumeStateReady;
  return volume;
}

std::vector<CVolumeUse> CVolumesList::RelinkKeptPartitionsLocked() {
  std::vector<CVolumeUse> released;
  for (auto it = keptParents_.begin(); it != keptParents_.end();) {
    CVolume* kept = const_cast<CVolume*>(it->first);
    CVolume* oldDisk = it->second.Volume();
    if (!IsListedLocked(kept)) {
      released.push_back(std::move(it->second));
      it = keptParents_.erase(it);
      continue;
    }
    if (!oldDisk || IsListedLocked(oldDisk)) {
      ++it;
      continue;
    }
    CVolume* newDisk = nullptr;
    for (const auto& volume : items_)
      if (volume->Kind == VolumeKindPhysical && IsSameDisk(*volume, *oldDisk)) newDisk = volume.get();
    if (!newDisk) {
      ++it;
      continue;
    }
    AttachChildLocked(*newDisk, *kept);
    released.push_back(std::move(it->second));
    it->second = UseLocked(newDisk);
    ++it;
  }
  return released;
}
