// The NTFS analyser: finds the live and deleted files and folders of an NTFS volume by reading
// every record of its master file table (MFT) in record order, fills the volume's cluster
// bitmap from $Bitmap, parses MFT records the sector scan finds, and reads found objects' data
// through their records' run lists (docs/formats/ntfs.md).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "filesystems/file_system.h"
#include "filesystems/ntfs_boot.h"
#include "filesystems/ntfs_compressed_data.h"
#include "filesystems/ntfs_record.h"

struct AnalysisStatus;
class IFoundObjectSink;

class CFileSystem_NTFS : public CFileSystem {
 public:
  // A null status never stops the walk; a null sink receives nothing.
  CFileSystem_NTFS(CVolume& volume, AnalysisStatus* status, IFoundObjectSink* sink);
  ~CFileSystem_NTFS() override;

  int Analyse() override;
  void AnalyseFragment(const FoundObject& record) override;
  uint32_t FileRead(const FoundObject& record, void* buffer, uint64_t offset,
                    uint32_t count) override;

  // Reports the MFT record in raw (one record's bytes) as a found object; 1 when it was a
  // "FILE" record that could be parsed, else 0.
  int ParseRecord(std::span<const uint8_t> raw);
  // Reads MFT record number into buffer (RecordSize bytes, update sequence not applied);
  // RecordSize, or 0 when it cannot be read or is neither a "FILE" record nor numbered so.
  uint32_t ReadMftRecord(uint64_t number, std::span<uint8_t> buffer);
  // count bytes of the record's unnamed $DATA from offset: resident bytes from the record,
  // non-resident ones through its runs, compressed ones decoded, sparse runs and bytes past the
  // initialized size as zeros. The bytes delivered; fewer when the runs end, a read fails or
  // compressed data cannot be decoded.
  uint32_t ReadData(const MftRecord& record, uint64_t offset, uint32_t count, uint8_t* buffer);
  // Adds to the record the runs of its $DATA kept in the extension records its attribute list
  // names; each extension record is read once, at most kMaxExtensionRecords of them. A
  // stoppable load ends when the analysis is stopped; a load for reading data never does.
  enum class ListLoad { Whole, Stoppable };
  void LoadAttributeList(MftRecord& record, uint64_t number, ListLoad load = ListLoad::Whole);
  // An attribute list holds at most 256 KiB of entries of at least 32 bytes each, so a list
  // naming more extension records than this is damaged or crafted.
  static constexpr size_t kMaxExtensionRecords = 8192;

  // The layout from the boot sector and the MFT's record; null before they were read or when
  // they were refused.
  const NtfsLayout* Layout() const { return layout_ ? &*layout_ : nullptr; }
  uint64_t RecordCount() const { return recordCount_; }

 private:
  bool MayContinue() const;
  bool EnsureLoaded();
  bool LoadLayout();
  void ClampToVolume();
  bool LoadMft();
  void LoadClusterBitmap();
  void WalkMft();
  void ParseWalkRecord(uint64_t number, std::span<const uint8_t> raw);
  void NoteWalkedRecord(uint64_t number, std::span<const uint8_t> raw);
  // True for a copy of a record the walk reported: same number, same sequence number.
  bool WalkedAlready(std::span<const uint8_t> raw) const;
  // Parses the record into current_ and reports it; the walk's and ParseRecord's common part.
  bool ReportRecord(uint64_t number, std::span<const uint8_t> raw, bool followList);
  // The value of the record's attribute list, resident or read through its runs.
  std::vector<uint8_t> AttributeListBytes(const MftRecord& record, uint64_t number);
  uint32_t ReadData(const MftRecord& record, uint64_t offset, uint32_t count, uint8_t* buffer,
                    NtfsCompressedData& units);
  uint32_t ReadRuns(std::span<const DataRun> runs, uint64_t offset, uint32_t count,
                    uint8_t* buffer);
  // Clusters per compression unit of the record's compressed $DATA; 0 when its unit field is
  // one this reader refuses.
  uint64_t CompressionUnitClusters(const MftRecord& record) const;
  uint32_t ReadCompressed(const MftRecord& record, uint64_t offset, uint32_t count, uint8_t* buffer,
                          NtfsCompressedData& units);
  // True when the byte position lies in a run of the MFT that the walk reads.
  bool InMftRuns(uint64_t position) const;
  uint32_t ReadLost(const FoundObject& record, uint8_t* buffer, uint64_t offset, uint32_t count);
  const MftRecord* RecordOf(int32_t id);

  AnalysisStatus* status_;
  IFoundObjectSink* sink_;

  std::mutex loadLock_;
  bool loadTried_ = false;
  std::optional<NtfsLayout> layout_;
  // Record 0, the MFT's own record, with its extension records merged: its runs map the MFT.
  std::unique_ptr<MftRecord> mftParser_;
  uint64_t recordCount_ = 0;

  // Positions of the records that fragments found by the sector scan have read.
  std::unordered_set<uint64_t> fragmentRecords_;
  // Per record number: the walk's sequence number + 1, 0 when the walk did not report it.
  std::vector<uint32_t> walkedSequence_;
  std::unique_ptr<MftRecord> current_;
  FoundObject scratch_{};
  std::u16string nameScratch_;

  // The last record FileRead parsed, so that reading a file in pieces parses it once.
  std::mutex readLock_;
  std::unique_ptr<MftRecord> readRecord_;
  int32_t readRecordId_ = -1;
  // The last compression unit FileRead decoded, of readRecord_.
  NtfsCompressedData readUnits_;
};
