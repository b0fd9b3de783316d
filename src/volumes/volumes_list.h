// The drive list: every volume the program knows (disks, drives, images, found partitions),
// under one lock. A rescan replaces the enumerated volumes; volumes that an analysis, an image
// copy or a recovery holds through a CVolumeUse are only taken off the list, and freed when the
// last use ends.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/drive_sources.h"

class CVolume;
class CVolumesList;

enum class RescanMode { OnThisThread, OnNewThread };

// Keeps a volume, and the disk it lies on, alive while it is held. Move-only; empty when the
// volume was not the list's. Every use ends before the list goes away.
class CVolumeUse {
 public:
  CVolumeUse() = default;
  ~CVolumeUse();
  CVolumeUse(CVolumeUse&& other) noexcept;
  CVolumeUse& operator=(CVolumeUse&& other) noexcept;
  CVolumeUse(const CVolumeUse&) = delete;
  CVolumeUse& operator=(const CVolumeUse&) = delete;

  CVolume* Volume() const { return volume_; }
  explicit operator bool() const { return volume_ != nullptr; }
  void Release();

 private:
  friend class CVolumesList;
  CVolumeUse(CVolumesList* list, CVolume* volume, std::vector<CVolume*> held)
      : list_(list), volume_(volume), held_(std::move(held)) {}
  CVolumesList* list_ = nullptr;
  CVolume* volume_ = nullptr;
  // The volume and the disks below it that this use counts on.
  std::vector<CVolume*> held_;
};

class CVolumesList {
 public:
  using DriveSourceFunction = std::function<std::vector<platform::DriveSource>()>;

  // nextRecordId hands out the identifiers of the volumes' records (the computer object's).
  explicit CVolumesList(std::function<int32_t()> nextRecordId);
  ~CVolumesList();
  CVolumesList(const CVolumesList&) = delete;
  CVolumesList& operator=(const CVolumesList&) = delete;

  size_t Count() const;
  // The volume at index, or null.
  CVolume* GetAt(size_t index) const;
  // Appends and takes ownership; the new count. A volume without an identifier gets one.
  size_t Add(std::unique_ptr<CVolume> volume);
  // A copy of the list as it is now.
  std::vector<CVolume*> Items() const;
  std::vector<CVolume*> ItemsLocked() const;
  bool IsListed(const CVolume* volume) const;
  // The listed volume whose RootRecord has the identifier, or null.
  CVolume* FindById(int32_t id) const;

  // The lock over the list and over every volume's Children. Callers that walk the list or
  // change Children hold it; the list's own operations take it themselves.
  std::unique_lock<std::mutex> Lock() const { return std::unique_lock(lock_); }
  // The same operations for a caller that holds the lock.
  CVolume* FindByIdLocked(int32_t id) const;
  bool IsListedLocked(const CVolume* volume) const;
  size_t AddLocked(std::unique_ptr<CVolume> volume);
  // Makes disk the Parent of child and registers child among its Children (once).
  static void AttachChildLocked(CVolume& disk, CVolume& child);

  // A use of a listed volume (or of one a rescan took off the list and keeps while it is used).
  CVolumeUse Use(CVolume* volume);
  CVolumeUse UseLocked(CVolume* volume);
  bool InUse(const CVolume* volume) const;

  // OnThisThread: rescans and returns the number of volumes. OnNewThread: starts the rescan
  // on a thread of its own and returns 1 (0 when no thread could be started); a rescan that
  // is running already is waited for first, so two never run at once.
  int Rescan(RescanMode mode);
  // True when no threaded rescan runs any more after at most timeoutMs.
  bool WaitForRescan(uint32_t timeoutMs);
  bool RescanRunning() const { return rescanRunning_; }
  // A threaded rescan, waited for at most 15000 ms (the wait cursor is the window's); 0.
  int RescanAndWait();

  // Where a rescan learns the machine's disks and drives; the system's by default.
  void SetDriveSource(DriveSourceFunction source);
  // Waits for the information queries that are still running (a shutdown, a test).
  void WaitForQueries();

  // The bounds of a rescan.
  static constexpr uint32_t kQueryWaitMs = 4000;
  static constexpr uint32_t kRescanWaitMs = 15000;

 private:
  friend class CVolumeUse;

  size_t RescanNow();
  // Takes the enumerated volumes off the list: kept ones stay, busy ones go to the graveyard,
  // the rest is returned to be destroyed outside the lock.
  std::vector<std::unique_ptr<CVolume>> TakeOffEnumeratedLocked();
  void DetachLocked(CVolume& volume);
  void MoveToGraveyardLocked(std::unique_ptr<CVolume> volume);
  std::unique_ptr<CVolume> CreateVolume(const platform::DriveSource& source);
  void InsertEnumeratedLocked(std::unique_ptr<CVolume> volume);
  // Moves kept partition volumes from a disk that left the list to the disk that took its place;
  // the uses of the old disks are returned to be released outside the lock.
  std::vector<CVolumeUse> RelinkKeptPartitionsLocked();
  void ReleaseUse(const std::vector<CVolume*>& held);
  // Graveyard volumes nobody uses any more, taken out to be destroyed outside the lock.
  std::vector<std::unique_ptr<CVolume>> TakeUnusedGraveyardLocked();
  void RescanThreadBody();
  bool OwnsLocked(const CVolume* volume) const;

  mutable std::mutex lock_;
  std::vector<std::unique_ptr<CVolume>> items_;
  // Taken off the list by a rescan while in use; freed by the last release.
  std::vector<std::unique_ptr<CVolume>> graveyard_;
  std::map<const CVolume*, int> uses_;
  // Each kept partition volume holds its disk, which a rescan would otherwise free.
  std::map<const CVolume*, CVolumeUse> keptParents_;
  // Where the next enumerated volume goes: before the kept ones.
  size_t insertAt_ = 0;

  std::function<int32_t()> nextRecordId_;
  DriveSourceFunction source_;

  std::mutex rescanLock_;  // one rescan at a time
  std::mutex threadLock_;  // the rescan thread and its state
  std::condition_variable rescanEnded_;
  std::thread rescanThread_;
  std::atomic<bool> rescanRunning_{false};
  // A threaded rescan asked for while one ran: the running thread goes round once more.
  bool rescanAgain_ = false;
};
