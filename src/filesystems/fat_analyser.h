// The FAT12/16/32 analyser: finds the live and deleted files and folders of a FAT volume by
// walking its folders breadth-first from the root, fills the volume's cluster bitmap from the
// allocation table, and reads found objects' data (docs/formats/fat.md).
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "filesystems/fat_boot.h"
#include "filesystems/fat_directory.h"
#include "filesystems/fat_table.h"
#include "filesystems/file_system.h"

struct AnalysisStatus;
class IFoundObjectSink;

class CFileSystem_FAT : public CFileSystem {
 public:
  // A null status never stops the walk; a null sink receives nothing.
  CFileSystem_FAT(CVolume& volume, AnalysisStatus* status, IFoundObjectSink* sink);
  ~CFileSystem_FAT() override;

  int Analyse() override;
  void AnalyseFragment(const FoundObject& record) override;
  uint32_t FileRead(const FoundObject& record, void* buffer, uint64_t offset,
                    uint32_t count) override;

 private:
  // The clusters of one object's data: the runs of its chain, and the byte offset at which each
  // run starts.
  struct DataMap {
    uint32_t FirstCluster = 0;
    std::vector<FatRun> Runs;
    std::vector<uint64_t> RunOffsets;
  };

  // Whether loading the table gives way when the analysis is stopped.
  enum class LoadMode { Stoppable, Whole };

  bool MayContinue() const;
  // Reads the parameter block and the allocation table once; false when either is unusable.
  bool EnsureLoaded(LoadMode mode);
  bool LoadParameters();
  bool LoadTable(LoadMode mode);
  void SetVolumeGeometry();
  void FillClusterBitmap();

  void WalkFolders();
  void ShowFolderProgress(uint64_t foldersRead);
  bool ReadRootDirectory();
  void ReadFolder(uint32_t cluster, int32_t parentId);
  // The folder's clusters, bounded by the largest folder FAT allows.
  std::vector<uint32_t> FolderClusters(uint32_t cluster);
  // Reads the clusters into the buffer a run at a time; unreadable runs stay zero.
  void ReadClusters(std::span<const uint32_t> clusters, std::vector<uint8_t>& buffer);
  void ParseEntries(std::span<const uint8_t> folder, int32_t parentId);
  void ParseEntry(std::span<const uint8_t> folder, size_t index, int32_t parentId);
  bool AcceptsFirstCluster(const FatEntry& entry, const std::u16string& name, int32_t parentId);
  void QueueFolder(uint32_t cluster);
  void ReportEntry(const FatEntry& entry, std::u16string name, int32_t parentId);
  void ParseFragmentCluster(uint64_t sector, std::vector<uint8_t>& buffer);

  // A live object's data along its chain, and on from its last cluster when the chain is
  // shorter than the read.
  uint32_t ReadMapped(uint32_t firstCluster, uint8_t* buffer, uint64_t offset, uint32_t count);
  const DataMap& MapOf(uint32_t firstCluster);

  AnalysisStatus* status_;
  IFoundObjectSink* sink_;
  int32_t rootId_;

  std::mutex loadLock_;
  bool parametersTried_ = false;
  bool tableRefused_ = false;
  std::optional<FatLayout> layout_;
  std::optional<CFatTable> table_;

  // The folders still to read, and every folder cluster ever queued, so that each is read once.
  std::deque<uint32_t> FolderList;
  std::unordered_set<uint32_t> knownFolders_;
  // Every cluster read as part of a folder by the walk.
  std::unordered_set<uint32_t> folderClustersRead_;
  std::vector<uint32_t> chainScratch_;

  FoundObject scratch_{};
  std::u16string nameScratch_;

  std::mutex readLock_;
  DataMap lastMap_;
};
