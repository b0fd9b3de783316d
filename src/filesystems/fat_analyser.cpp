#include "filesystems/fat_analyser.h"

#include <algorithm>
#include <exception>
#include <new>

#include "app/log.h"
#include "app/strings.h"
#include "filesystems/fat_directory.h"
#include "filesystems/found_object_sink.h"
#include "volumes/analysis_status.h"
#include "volumes/volume.h"
#include "volumes/volume_log.h"

namespace {

// FAT allows a folder at most 65536 entries.
constexpr uint64_t kMaxFolderBytes = 65536 * kFatEntrySize;
// Clusters of a directory found by the sector scan that are read from its position.
constexpr int kFragmentClusters = 10;

template <typename... Args>
void LogDebug(std::u16string_view format, const Args&... args) {
  if (g_pLog) g_pLog->Add(LogLevelDebug, platform::Format(format, args...));
}

platform::FileTime DosTime(uint16_t date, uint16_t time) {
  platform::FileTime result = 0;
  if (!platform::DosDateTimeToFileTime(date, time, &result)) return 0;
  return result;
}

}  // namespace

CFileSystem_FAT::CFileSystem_FAT(CVolume& volume, AnalysisStatus* status, IFoundObjectSink* sink)
    : CFileSystem(volume),
      status_(status),
      sink_(sink),
      rootId_(std::max(RootIdForType(TypeCode), IdRootFat)) {
  RootFolder.Id = rootId_;
}

CFileSystem_FAT::~CFileSystem_FAT() {
  try {
    Volume->Close();
  } catch (...) {
  }
}

bool CFileSystem_FAT::MayContinue() const {
  return !status_ || status_->Running.load(std::memory_order_relaxed) != 0;
}

int CFileSystem_FAT::Analyse() {
  try {
    if (!EnsureLoaded(LoadMode::Stoppable)) return 0;
    FillClusterBitmap();
    WalkFolders();
  } catch (const std::bad_alloc&) {
    volume_log::Error(StringResource(193));
  } catch (const std::exception& error) {
    volume_log::Error(u"FAT analysis ended early: %S", error.what());
  }
  return 0;
}

bool CFileSystem_FAT::EnsureLoaded(LoadMode mode) {
  std::lock_guard lock(loadLock_);
  if (!parametersTried_) {
    parametersTried_ = true;
    LoadParameters();
  }
  if (layout_ && !table_ && !tableRefused_) LoadTable(mode);
  return layout_ && table_;
}

bool CFileSystem_FAT::LoadParameters() {
  const std::optional<FatWidth> width = FatWidthForType(TypeCode);
  if (!width) {
    volume_log::Error(u"FAT analysis: the type code %d names no FAT layout; nothing analysed",
                      TypeCode);
    return false;
  }
  std::vector<uint8_t> boot(kSectorSize);
  if (Volume->ReadSectors(boot.data(), 0, 1) != kSectorSize) {
    volume_log::Error(u"FAT analysis: the boot sector cannot be read");
    return false;
  }
  std::u16string problem;
  layout_ = ReadFatLayout(boot, *width, Volume->Sectors512(), problem);
  if (!layout_) {
    volume_log::Error(u"FAT analysis: the boot sector's parameter block is refused: %s", problem);
    return false;
  }
  SetVolumeGeometry();
  return true;
}

void CFileSystem_FAT::SetVolumeGeometry() {
  Volume->SectorsPerCluster = layout_->SectorsPerCluster;
  Volume->BytesPerSector = layout_->BytesPerSector;
  Volume->BytesPerCluster = layout_->BytesPerCluster;
}

bool CFileSystem_FAT::LoadTable(LoadMode mode) {
  std::function<bool()> mayContinue;
  if (mode == LoadMode::Stoppable) mayContinue = [this] { return MayContinue(); };
  table_ = LoadFatTable(*Volume, *layout_, mayContinue);
  // Stopped loads are tried again when the data is read later; refused ones are not.
  if (!table_ && MayContinue()) tableRefused_ = true;
  return table_.has_value();
}

void CFileSystem_FAT::FillClusterBitmap() { table_->FillBitmap(Volume->ClusterBitmap); }

void CFileSystem_FAT::WalkFolders() {
  FolderList.clear();
  knownFolders_.clear();
  if (layout_->Width == FatWidth::Fat32) {
    knownFolders_.insert(layout_->RootCluster);
    if (!layout_->IsCluster(layout_->RootCluster)) {
      volume_log::Error(u"FAT32 root folder cluster %u lies outside the data area",
                        layout_->RootCluster);
      return;
    }
    ReadFolder(layout_->RootCluster, rootId_);
  } else if (!ReadRootDirectory()) {
    return;
  }
  // Progress counts folders: read ones against all known so far. Folder clusters are a tiny
  // share of a volume's clusters, so counting them against all clusters would keep the bar
  // near its start.
  uint64_t foldersRead = 1;
  ShowFolderProgress(foldersRead);
  while (!FolderList.empty() && MayContinue()) {
    const uint32_t cluster = FolderList.front();
    FolderList.pop_front();
    ReadFolder(cluster, static_cast<int32_t>(cluster));
    ShowFolderProgress(++foldersRead);
  }
}

void CFileSystem_FAT::ShowFolderProgress(uint64_t foldersRead) {
  if (!status_) return;
  status_->ProgressTotal.store(foldersRead + FolderList.size(), std::memory_order_relaxed);
  status_->ProgressPos.store(foldersRead, std::memory_order_relaxed);
}

bool CFileSystem_FAT::ReadRootDirectory() {
  const uint64_t sectors = layout_->FirstDataSector - layout_->RootDirSector;
  std::vector<uint8_t> root(sectors * kSectorSize);
  if (Volume->ReadSectors(root.data(), layout_->RootDirSector, sectors) == 0) {
    volume_log::Error(StringResource(194));
    return false;
  }
  ParseEntries(root, rootId_);
  return true;
}

void CFileSystem_FAT::ReadFolder(uint32_t cluster, int32_t parentId) {
  if (!layout_->IsCluster(cluster)) {
    volume_log::Error(u"FAT folder at cluster %u lies outside the data area; not read", cluster);
    return;
  }
  const std::vector<uint32_t> clusters = FolderClusters(cluster);
  std::vector<uint8_t> buffer(clusters.size() * layout_->BytesPerCluster);
  ReadClusters(clusters, buffer);
  ParseEntries(buffer, parentId);
}

std::vector<uint32_t> CFileSystem_FAT::FolderClusters(uint32_t cluster) {
  const size_t limit = std::max<uint64_t>(1, kMaxFolderBytes / layout_->BytesPerCluster);
  std::vector<uint32_t> clusters;
  switch (table_->Chain(cluster, limit, clusters, [this] { return MayContinue(); })) {
    case FatChainEnd::Loop:
      volume_log::Error(
          u"FAT folder %u: its cluster chain runs back into itself after %u "
          u"clusters; the rest is not read",
          cluster, static_cast<uint32_t>(clusters.size()));
      break;
    case FatChainEnd::OutOfRange:
      volume_log::Error(
          u"FAT folder %u: its cluster chain leaves the data area after %u "
          u"clusters; the rest is not read",
          cluster, static_cast<uint32_t>(clusters.size()));
      break;
    case FatChainEnd::Limit:
      volume_log::Error(
          u"FAT folder %u: longer than the 65536 entries a folder can have; the "
          u"rest is not read",
          cluster);
      break;
    case FatChainEnd::EndMark:
    case FatChainEnd::Free:
    case FatChainEnd::Stopped:
      break;
  }
  return clusters;
}

void CFileSystem_FAT::ReadClusters(std::span<const uint32_t> clusters,
                                   std::vector<uint8_t>& buffer) {
  const uint64_t runSectorsPerCluster = layout_->SectorsPerClusterOf512();
  size_t done = 0;
  for (const FatRun& run : ChainRuns(clusters)) {
    if (!MayContinue()) return;
    const uint64_t sectors = run.Count * runSectorsPerCluster;
    if (Volume->ReadSectors(buffer.data() + done, layout_->ClusterSector(run.First), sectors) !=
        sectors * kSectorSize)
      volume_log::Error(u"FAT folder: clusters %u to %u not read; their entries are missing",
                        run.First, run.First + run.Count - 1);
    for (uint32_t n = 0; n < run.Count; ++n) folderClustersRead_.insert(run.First + n);
    done += static_cast<size_t>(sectors * kSectorSize);
  }
}

void CFileSystem_FAT::ParseEntries(std::span<const uint8_t> folder, int32_t parentId) {
  const size_t count = FolderEntryCount(folder);
  for (size_t index = 0; index < count && MayContinue(); ++index)
    ParseEntry(folder, index, parentId);
}

void CFileSystem_FAT::ParseEntry(std::span<const uint8_t> folder, size_t index, int32_t parentId) {
  const FatEntryBytes bytes = FolderEntry(folder, index);
  if (!IsValidEntry(bytes) || IsBookkeepingEntry(bytes)) return;
  const FatEntry entry = ReadFatEntry(bytes, layout_->Width);
  LongNameResult longName = LongNameResult::None;
  std::u16string name = EntryName(folder, index, &longName);
  if (longName == LongNameResult::Mismatch)
    LogDebug(u"FAT folder %d: the long-name parts before '%s' do not belong to it", parentId, name);
  if (!AcceptsFirstCluster(entry, name, parentId)) return;
  if (entry.IsFolder()) QueueFolder(entry.FirstCluster);
  // A folder entry that names the folder it stands in would be its own parent.
  if (entry.FirstCluster != 0 && static_cast<int32_t>(entry.FirstCluster) == parentId)
    parentId = rootId_;
  ReportEntry(entry, std::move(name), parentId);
}

bool CFileSystem_FAT::AcceptsFirstCluster(const FatEntry& entry, const std::u16string& name,
                                          int32_t parentId) {
  const uint32_t cluster = entry.FirstCluster;
  if (cluster != 0 && !layout_->IsCluster(cluster)) {
    volume_log::Error(
        u"FAT folder %d: the entry '%s' starts at cluster %u, outside the data "
        u"area; skipped",
        parentId, name, cluster);
    return false;
  }
  if (!entry.IsFolder()) return true;
  if (cluster == 0 || (layout_->Width == FatWidth::Fat32 && cluster == layout_->RootCluster)) {
    volume_log::Error(
        u"FAT folder %d: the folder entry '%s' names cluster %u, which holds no "
        u"folder of its own; skipped",
        parentId, name, cluster);
    return false;
  }
  return true;
}

void CFileSystem_FAT::QueueFolder(uint32_t cluster) {
  if (knownFolders_.insert(cluster).second) FolderList.push_back(cluster);
}

void CFileSystem_FAT::ReportEntry(const FatEntry& entry, std::u16string name, int32_t parentId) {
  if (!sink_) return;
  ResetFoundObject(scratch_);
  nameScratch_ = std::move(name);
  scratch_.Name = nameScratch_.c_str();
  scratch_.Flags = FoundNamed;
  if (entry.Deleted) scratch_.Flags |= FoundDeleted;
  if (entry.IsFolder()) scratch_.Flags |= FoundFolder;
  scratch_.Id = static_cast<int32_t>(entry.FirstCluster);
  scratch_.ParentId = parentId;
  scratch_.FirstCluster = entry.FirstCluster;
  // An empty file has no cluster, and so no position.
  scratch_.Start = entry.FirstCluster != 0
                       ? static_cast<int64_t>(layout_->ClusterPosition(entry.FirstCluster))
                       : 0;
  scratch_.Size = entry.Size;
  scratch_.Attributes = entry.Attributes;
  scratch_.Created = DosTime(entry.CreatedDate, entry.CreatedTime);
  scratch_.Modified = DosTime(entry.ModifiedDate, entry.ModifiedTime);
  scratch_.Accessed = DosTime(entry.AccessedDate, 0);
  sink_->OnFoundObject(scratch_);
}

void CFileSystem_FAT::AnalyseFragment(const FoundObject& record) {
  try {
    if (!EnsureLoaded(LoadMode::Stoppable)) return;
    if (record.Start < 0) {
      volume_log::Error(u"FAT folder fragment at %I64d: not on the volume", record.Start);
      return;
    }
    uint64_t end = layout_->TotalSectors;
    if (Volume->Sectors512() != 0) end = std::min(end, Volume->Sectors512());
    std::vector<uint8_t> buffer(layout_->BytesPerCluster);
    uint64_t sector = static_cast<uint64_t>(record.Start) / kSectorSize;
    for (int n = 0; n < kFragmentClusters && sector < end && MayContinue(); ++n) {
      ParseFragmentCluster(sector, buffer);
      sector += layout_->SectorsPerClusterOf512();
    }
  } catch (const std::exception& error) {
    volume_log::Error(u"FAT folder fragment at %I64d: %S", record.Start, error.what());
  }
}

// A cluster the folder walk read has been reported already.
void CFileSystem_FAT::ParseFragmentCluster(uint64_t sector, std::vector<uint8_t>& buffer) {
  const uint64_t perCluster = layout_->SectorsPerClusterOf512();
  if (sector >= layout_->FirstDataSector && (sector - layout_->FirstDataSector) % perCluster == 0) {
    const uint64_t cluster = (sector - layout_->FirstDataSector) / perCluster + 2;
    if (cluster <= layout_->MaxCluster &&
        folderClustersRead_.count(static_cast<uint32_t>(cluster)) != 0)
      return;
  }
  std::fill(buffer.begin(), buffer.end(), 0);
  if (Volume->ReadSectors(buffer.data(), sector, perCluster) == 0) return;
  if (!IsValidEntry(FolderEntry(buffer, 0))) return;
  ParseEntries(buffer, rootId_);
}
