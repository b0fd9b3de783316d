#include "filesystems/ntfs_analyser.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <unordered_set>

#include "app/log.h"
#include "app/strings.h"
#include "filesystems/found_object_sink.h"
#include "volumes/analysis_status.h"
#include "volumes/le_reader.h"
#include "volumes/volume.h"
#include "volumes/volume_log.h"

namespace {

constexpr uint64_t kMftRecord = 0;
constexpr uint64_t kBitmapRecord = 6;
// The walk reads the MFT in pieces of this size.
constexpr uint32_t kMftChunkBytes = 1024 * 1024;
// MFT records found by the sector scan that are read from its position.
constexpr int kFragmentRecords = 10;
// Compression units are 16 clusters of at most 4 KiB; larger units are refused rather than
// decoded into a buffer of whatever size the record claims.
constexpr uint64_t kMaxCompressionUnitBytes = 1024 * 1024;
constexpr uint8_t kMaxCompressionUnitShift = 16;

void LogInfo(std::u16string_view text) {
  if (g_pLog) g_pLog->LogInfo(text);
}

template <typename... Args>
void LogDebug(std::u16string_view format, const Args&... args) {
  if (g_pLog) g_pLog->Add(LogLevelDebug, platform::Format(format, args...));
}

bool IsFileRecord(std::span<const uint8_t> raw) {
  return raw.size() >= 4 && std::memcmp(raw.data(), "FILE", 4) == 0;
}

}  // namespace

CFileSystem_NTFS::CFileSystem_NTFS(CVolume& volume, AnalysisStatus* status, IFoundObjectSink* sink)
    : CFileSystem(volume), status_(status), sink_(sink) {
  RootFolder.Id = IdRootNtfs;
}

CFileSystem_NTFS::~CFileSystem_NTFS() {
  try {
    Volume->Close();
  } catch (...) {
  }
}

bool CFileSystem_NTFS::MayContinue() const {
  return !status_ || status_->Running.load(std::memory_order_relaxed) != 0;
}

int CFileSystem_NTFS::Analyse() {
  try {
    if (!EnsureLoaded()) {
      volume_log::Error(u"CFileSystem_NTFS: Load MFT failed.");
      return 0;
    }
    LoadClusterBitmap();
    WalkMft();
  } catch (const std::bad_alloc&) {
    volume_log::Error(StringResource(193));
  } catch (const std::exception& error) {
    volume_log::Error(u"CFileSystem_NTFS::Analyse.except in MFT parse circle: %S", error.what());
  }
  return 0;
}

bool CFileSystem_NTFS::EnsureLoaded() {
  std::lock_guard lock(loadLock_);
  if (!loadTried_) {
    loadTried_ = true;
    if (!LoadLayout() || !LoadMft()) {
      layout_.reset();
      mftParser_.reset();
    }
  }
  return mftParser_ != nullptr;
}

bool CFileSystem_NTFS::LoadLayout() {
  std::vector<uint8_t> boot(kSectorSize);
  if (Volume->ReadSectors(boot.data(), 0, 1) != kSectorSize) {
    volume_log::Error(u"NTFS analysis: the boot sector cannot be read");
    return false;
  }
  std::u16string problem;
  layout_ = ReadNtfsLayout(boot, problem);
  if (!layout_) {
    volume_log::Error(u"NTFS analysis: the boot sector is refused: %s", problem);
    return false;
  }
  ClampToVolume();
  Volume->BytesPerSector = layout_->BytesPerSector;
  Volume->BytesPerCluster = layout_->BytesPerCluster;
  Volume->SectorsPerCluster = layout_->BytesPerCluster / layout_->BytesPerSector;
  return true;
}

// A damaged boot sector may claim more clusters than the volume holds. Nothing past the volume
// can be read, and the cluster bitmap and the run checks are sized from the count, so a volume
// of known size bounds it. The larger of its two sizes is taken: the sector count may be in
// the device's sectors rather than in 512-byte ones.
void CFileSystem_NTFS::ClampToVolume() {
  const uint64_t sectorBytes =
      Volume->SectorCount <= UINT64_MAX / kSectorSize ? Volume->SectorCount * kSectorSize : 0;
  const uint64_t volumeBytes = std::max(Volume->TotalBytes, sectorBytes);
  if (volumeBytes == 0) return;
  const uint64_t clusters = volumeBytes / layout_->BytesPerCluster;
  if (layout_->ClusterCount <= clusters) return;
  volume_log::Error(
      u"NTFS analysis: the boot sector counts %I64u clusters, the volume holds "
      u"%I64u; only those are used",
      layout_->ClusterCount, clusters);
  layout_->ClusterCount = clusters;
}

// The MFT's own record maps the MFT. Its bytes-allocated field is the record size the volume
// really uses; it replaces the boot sector's when it is a size NTFS can have.
bool CFileSystem_NTFS::LoadMft() {
  if (layout_->MftCluster >= layout_->ClusterCount) {
    volume_log::Error(u"NTFS analysis: the MFT's cluster %I64u lies past the volume's end",
                      layout_->MftCluster);
    return false;
  }
  const uint64_t position = layout_->MftCluster * layout_->BytesPerCluster;
  std::vector<uint8_t> raw(layout_->RecordSize);
  if (Volume->ReadBytes(position, raw.data(), layout_->RecordSize) != layout_->RecordSize ||
      !IsFileRecord(raw)) {
    volume_log::Error(u"NTFS analysis: the MFT's first record at cluster %I64u is no FILE record",
                      layout_->MftCluster);
    return false;
  }
  const uint32_t allocated = LeReader(raw).U32(28);
  if (allocated != layout_->RecordSize) {
    if (!IsValidRecordSize(allocated)) {
      volume_log::Error(
          u"NTFS analysis: the MFT's record size %u is not a power of two from "
          u"512 to 65536; the boot sector's %u is kept",
          allocated, layout_->RecordSize);
    } else {
      layout_->RecordSize = allocated;
      raw.resize(allocated);
      if (Volume->ReadBytes(position, raw.data(), allocated) != allocated) return false;
    }
  }
  mftParser_ = std::make_unique<MftRecord>(layout_->RecordSize, layout_->ClusterCount);
  if (!mftParser_->Load(raw) || !mftParser_->NonResident() || mftParser_->Runs().empty()) {
    volume_log::Error(u"NTFS analysis: the MFT's own record holds no run list: %s",
                      mftParser_->Problem());
    return false;
  }
  if (!mftParser_->Problem().empty())
    volume_log::Error(u"NTFS analysis: the MFT's own record is damaged: %s", mftParser_->Problem());
  if (mftParser_->HasAttributeList()) LoadAttributeList(*mftParser_, kMftRecord);
  // Record numbers are the identifiers of found objects.
  const uint64_t lastVcn = mftParser_->Runs().back().LastVcn;
  const uint64_t mapped = lastVcn < UINT64_MAX / layout_->BytesPerCluster - 1
                              ? (lastVcn + 1) * layout_->BytesPerCluster
                              : UINT64_MAX;
  // Nor can the MFT hold more records than the volume has room for, whatever its runs say
  // (sparse runs are not checked against the volume).
  const uint64_t volumeBytes = layout_->ClusterCount * layout_->BytesPerCluster;
  recordCount_ = std::min({mftParser_->DataSize(), mapped, volumeBytes}) / layout_->RecordSize;
  recordCount_ = std::min<uint64_t>(recordCount_, INT32_MAX);
  current_ = std::make_unique<MftRecord>(layout_->RecordSize, layout_->ClusterCount);
  return true;
}

void CFileSystem_NTFS::LoadAttributeList(MftRecord& record, uint64_t number, ListLoad load) {
  std::unordered_set<uint64_t> merged{number};
  std::vector<uint8_t> raw(layout_->RecordSize);
  std::u16string problem;
  for (const AttributeListEntry& entry :
       ParseAttributeList(AttributeListBytes(record, number), problem)) {
    if (load == ListLoad::Stoppable && !MayContinue()) return;
    const bool wanted =
        (entry.Type == kAttrData && entry.NameLength == 0) || entry.Type == kAttrFileName;
    if (!wanted || merged.count(entry.RecordNumber) != 0) continue;
    // The base record itself is in the set.
    if (merged.size() > kMaxExtensionRecords) {
      volume_log::Error(
          u"NTFS record %I64u: its attribute list names more than %u extension records; the "
          u"rest are not read",
          number, static_cast<uint32_t>(kMaxExtensionRecords));
      break;
    }
    merged.insert(entry.RecordNumber);
    MftRecord extension(layout_->RecordSize, layout_->ClusterCount);
    if (ReadMftRecord(entry.RecordNumber, raw) == 0 || !extension.Load(raw)) {
      volume_log::Error(u"NTFS record %I64u: its extension record %I64u cannot be read", number,
                        entry.RecordNumber);
      continue;
    }
    if (extension.BaseRecord() != number) {
      volume_log::Error(
          u"NTFS record %I64u: record %I64u named by its attribute list belongs to "
          u"record %I64u; not merged",
          number, entry.RecordNumber, extension.BaseRecord());
      continue;
    }
    record.MergeExtension(extension);
  }
  if (!problem.empty())
    volume_log::Error(u"NTFS record %I64u: its attribute list is damaged: %s", number, problem);
}

std::vector<uint8_t> CFileSystem_NTFS::AttributeListBytes(const MftRecord& record,
                                                          uint64_t number) {
  // An attribute list has an entry of at least 26 bytes for each attribute of the file.
  constexpr uint64_t kMaxListBytes = 4 * 1024 * 1024;
  const MftRecord::Attribute* list = record.FindAttribute(kAttrAttributeList);
  if (!list) return {};
  if (!list->NonResident) {
    const std::span<const uint8_t> value = record.ResidentValue(*list);
    return std::vector<uint8_t>(value.begin(), value.end());
  }
  std::vector<DataRun> runs;
  uint64_t size = 0, initialized = 0;
  if (!record.AttributeRuns(*list, runs, size, initialized) || size > kMaxListBytes) {
    volume_log::Error(u"NTFS record %I64u: its attribute list's runs are damaged", number);
    return {};
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  bytes.resize(ReadRuns(runs, 0, static_cast<uint32_t>(size), bytes.data()));
  return bytes;
}

uint32_t CFileSystem_NTFS::ReadMftRecord(uint64_t number, std::span<uint8_t> buffer) {
  const uint32_t size = layout_ ? layout_->RecordSize : 0;
  if (!mftParser_ || buffer.size() < size || number > UINT64_MAX / kNtfsMaxRecordSize) return 0;
  if (ReadData(*mftParser_, number * size, size, buffer.data()) != size) return 0;
  const std::span<const uint8_t> raw = buffer.first(size);
  if (LeReader(raw).U32(44) == number || IsFileRecord(raw)) return size;
  return 0;
}

void CFileSystem_NTFS::LoadClusterBitmap() {
  LogInfo(u"Loading clusters bitmap start");
  std::vector<uint8_t> raw(layout_->RecordSize);
  MftRecord bitmap(layout_->RecordSize, layout_->ClusterCount);
  if (ReadMftRecord(kBitmapRecord, raw) == 0 || !bitmap.Load(raw) || !bitmap.HasData()) {
    volume_log::Error(u"NTFS analysis: the $Bitmap record cannot be read; no cluster bitmap");
    return;
  }
  // $Bitmap is rounded up to whole 8-byte words; clusters past the volume are not kept.
  const uint64_t bytes = std::min(bitmap.DataSize(), (layout_->ClusterCount + 7) / 8);
  if (bytes == 0 || bytes > UINT32_MAX || !Volume->ClusterBitmap.Reset(bytes * 8, 0)) {
    volume_log::Error(u"NTFS analysis: a cluster bitmap of %I64u bytes cannot be had", bytes);
    return;
  }
  const uint32_t read =
      ReadData(bitmap, 0, static_cast<uint32_t>(bytes), Volume->ClusterBitmap.Data());
  if (read != bytes)
    volume_log::Error(u"NTFS analysis: only %u of the %I64u bytes of $Bitmap could be read", read,
                      bytes);
  LogInfo(u"Loading clusters bitmap complete");
}

void CFileSystem_NTFS::WalkMft() {
  LogInfo(StringResource(178));
  if (status_) status_->ProgressTotal.store(recordCount_ ? recordCount_ - 1 : 0);
  const uint32_t size = layout_->RecordSize;
  // A small MFT is read in one piece no larger than itself.
  const uint64_t perChunk =
      std::clamp<uint64_t>(recordCount_, 1, std::max<uint32_t>(1, kMftChunkBytes / size));
  std::vector<uint8_t> chunk(perChunk * size);
  for (uint64_t first = 0; first < recordCount_ && MayContinue(); first += perChunk) {
    const uint64_t count = std::min(perChunk, recordCount_ - first);
    const uint32_t got =
        ReadData(*mftParser_, first * size, static_cast<uint32_t>(count * size), chunk.data());
    for (uint64_t n = 0; n < count && MayContinue(); ++n) {
      std::span<uint8_t> raw = std::span<uint8_t>(chunk).subspan(n * size, size);
      // A piece past a failed read is tried record by record.
      if ((n + 1) * size > got && ReadMftRecord(first + n, raw) == 0) continue;
      ParseWalkRecord(first + n, raw);
      if (status_) status_->ProgressPos.store(first + n, std::memory_order_relaxed);
    }
  }
}

void CFileSystem_NTFS::ParseWalkRecord(uint64_t number, std::span<const uint8_t> raw) {
  if (!IsFileRecord(raw)) return;
  NoteWalkedRecord(number, raw);
  ReportRecord(number, raw, true);
}

// The sequence number of each record the walk read, so that a copy of it found elsewhere (the
// MFT's mirror, for one) is not reported a second time.
void CFileSystem_NTFS::NoteWalkedRecord(uint64_t number, std::span<const uint8_t> raw) {
  if (number >= recordCount_ || raw.size() < 18) return;
  if (walkedSequence_.size() != recordCount_) walkedSequence_.assign(recordCount_, 0);
  walkedSequence_[number] = static_cast<uint32_t>(LeReader(raw).U16(16)) + 1;
}

bool CFileSystem_NTFS::WalkedAlready(std::span<const uint8_t> raw) const {
  if (raw.size() < 48) return false;
  LeReader fields(raw);
  const uint32_t number = fields.U32(44);
  return number < walkedSequence_.size() &&
         walkedSequence_[number] == static_cast<uint32_t>(fields.U16(16)) + 1;
}

bool CFileSystem_NTFS::ReportRecord(uint64_t number, std::span<const uint8_t> raw,
                                    bool followList) {
  if (!current_->Load(raw)) {
    LogDebug(u"NTFS record %I64u skipped: %s", number, current_->Problem());
    return false;
  }
  if (!current_->Problem().empty())
    volume_log::Error(u"NTFS record %I64u is damaged, what came before is kept: %s", number,
                      current_->Problem());
  // Extension records hold no name of their own; their base record reports the object.
  if (current_->BaseRecord() != 0) return true;
  if (followList && current_->HasAttributeList())
    LoadAttributeList(*current_, number, ListLoad::Stoppable);
  ResetFoundObject(scratch_);
  if (!current_->FillFoundObject(scratch_, nameScratch_)) return true;
  scratch_.Id = static_cast<int32_t>(number);
  if (!current_->InUse()) scratch_.Flags |= FoundDeleted;
  if (current_->IsFolder()) scratch_.Flags |= FoundFolder;
  const std::vector<DataRun>& runs = current_->Runs();
  if (current_->NonResident() && !runs.empty()) {
    scratch_.FirstCluster = runs.front().Sparse ? 0 : runs.front().Lcn;
    scratch_.Start = scratch_.FirstCluster * layout_->BytesPerCluster;
  }
  if (scratch_.Id == IdRootNtfs || scratch_.ParentId == 0) return true;
  // A record naming itself as its folder would be its own parent.
  if (scratch_.ParentId == scratch_.Id) scratch_.ParentId = IdRootNtfs;
  if (sink_) sink_->OnFoundObject(scratch_);
  return true;
}

void CFileSystem_NTFS::AnalyseFragment(const FoundObject& record) {
  try {
    if (!EnsureLoaded()) return;
    if (record.Start < 0) {
      volume_log::Error(u"NTFS record fragment at %I64d: not on the volume", record.Start);
      return;
    }
    const uint32_t size = layout_->RecordSize;
    std::vector<uint8_t> raw(size);
    uint64_t position = static_cast<uint64_t>(record.Start) / kSectorSize * kSectorSize;
    const uint64_t end = Volume->SectorCount * kSectorSize;
    for (int n = 0; n < kFragmentRecords && position < end && MayContinue(); ++n) {
      // The walk reported the MFT's own records; a record that an earlier fragment read
      // has been reported too.
      if (!InMftRuns(position) && fragmentRecords_.insert(position).second &&
          Volume->ReadBytes(position, raw.data(), size) == size && IsFileRecord(raw) &&
          !WalkedAlready(raw))
        ParseRecord(raw);
      position += size;
    }
  } catch (const std::exception& error) {
    volume_log::Error(u"NTFS record fragment at %I64d: %S", record.Start, error.what());
  }
}

bool CFileSystem_NTFS::InMftRuns(uint64_t position) const {
  if (!mftParser_ || !layout_) return false;
  const uint64_t cluster = position / layout_->BytesPerCluster;
  for (const DataRun& run : mftParser_->Runs()) {
    if (run.Sparse || run.Lcn < 0) continue;
    const uint64_t first = static_cast<uint64_t>(run.Lcn);
    if (cluster >= first && cluster - first < run.Length) return true;
  }
  return false;
}

int CFileSystem_NTFS::ParseRecord(std::span<const uint8_t> raw) {
  if (!current_ || !IsFileRecord(raw) || raw.size() < layout_->RecordSize) return 0;
  const uint32_t number = LeReader(raw).U32(44);
  if (number > static_cast<uint32_t>(INT32_MAX)) return 0;
  return ReportRecord(number, raw.first(layout_->RecordSize), false) ? 1 : 0;
}

uint32_t CFileSystem_NTFS::ReadData(const MftRecord& record, uint64_t offset, uint32_t count,
                                    uint8_t* buffer) {
  NtfsCompressedData units;
  return ReadData(record, offset, count, buffer, units);
}

uint32_t CFileSystem_NTFS::ReadData(const MftRecord& record, uint64_t offset, uint32_t count,
                                    uint8_t* buffer, NtfsCompressedData& units) {
  if (count == 0 || !record.HasData() || !layout_) return 0;
  if (!record.NonResident()) {
    const std::span<const uint8_t> value = record.ResidentData();
    if (offset >= value.size()) return 0;
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, value.size() - offset));
    std::memcpy(buffer, value.data() + offset, n);
    return n;
  }
  const uint32_t done = record.Compressed() ? ReadCompressed(record, offset, count, buffer, units)
                                            : ReadRuns(record.Runs(), offset, count, buffer);
  // Bytes between the initialized size and the data size were never written: they read as 0.
  // A read that starts past the data size has none of them.
  const uint64_t from = std::max(record.InitializedSize(), offset);
  const uint64_t end = std::min<uint64_t>(offset + done, record.DataSize());
  if (end > from) std::memset(buffer + (from - offset), 0, end - from);
  return done;
}

uint32_t CFileSystem_NTFS::ReadRuns(std::span<const DataRun> runs, uint64_t offset, uint32_t count,
                                    uint8_t* buffer) {
  const uint64_t clusterBytes = layout_->BytesPerCluster;
  uint32_t done = 0;
  while (done < count) {
    const uint64_t position = offset + done;
    const uint64_t vcn = position / clusterBytes;
    const DataRun* run = FindRun(runs, vcn);
    if (!run) break;
    const uint64_t within = position % clusterBytes;
    const uint64_t clustersLeft = run->LastVcn - vcn + 1;
    uint64_t n = count - done;
    if (clustersLeft <= (UINT64_MAX - within) / clusterBytes)
      n = std::min(n, clustersLeft * clusterBytes - within);
    if (run->Sparse) {
      std::memset(buffer + done, 0, n);
      done += static_cast<uint32_t>(n);
      continue;
    }
    const uint64_t at =
        (static_cast<uint64_t>(run->Lcn) + (vcn - run->FirstVcn)) * clusterBytes + within;
    const uint32_t got = Volume->ReadBytes(at, buffer + done, static_cast<uint32_t>(n));
    done += got;
    if (got != n) break;
  }
  return done;
}

uint64_t CFileSystem_NTFS::CompressionUnitClusters(const MftRecord& record) const {
  const uint8_t shift = record.CompressionUnitShift();
  if (shift == 0 || shift > kMaxCompressionUnitShift) return 0;
  const uint64_t clusters = uint64_t{1} << shift;
  return layout_->BytesPerCluster <= kMaxCompressionUnitBytes / clusters ? clusters : 0;
}

uint32_t CFileSystem_NTFS::ReadCompressed(const MftRecord& record, uint64_t offset, uint32_t count,
                                          uint8_t* buffer, NtfsCompressedData& units) {
  const uint64_t clusters = CompressionUnitClusters(record);
  if (clusters == 0) return 0;
  const NtfsCompressedData::Geometry geometry{layout_->BytesPerCluster, clusters};
  return units.Read(
      record.Runs(), geometry, offset, count, buffer,
      [&](uint64_t at, uint32_t n, uint8_t* to) { return ReadRuns(record.Runs(), at, n, to); });
}

uint32_t CFileSystem_NTFS::ReadLost(const FoundObject& record, uint8_t* buffer, uint64_t offset,
                                    uint32_t count) {
  if (record.Start < 0) return 0;
  const uint32_t got =
      Volume->ReadBytes(static_cast<uint64_t>(record.Start) + offset, buffer, count);
  if (got == 0) volume_log::Error(u"CFileSystem_NTFS.FileRead: Can't read record at");
  return got;
}

const MftRecord* CFileSystem_NTFS::RecordOf(int32_t id) {
  if (readRecord_ && readRecordId_ == id) return readRecord_.get();
  readRecordId_ = -1;
  std::vector<uint8_t> raw(layout_->RecordSize);
  if (!readRecord_)
    readRecord_ = std::make_unique<MftRecord>(layout_->RecordSize, layout_->ClusterCount);
  if (id < 0 || ReadMftRecord(static_cast<uint64_t>(id), raw) == 0 || !readRecord_->Load(raw)) {
    volume_log::Error(u"CFileSystem_NTFS.FileRead: Can't read record");
    return nullptr;
  }
  if (readRecord_->HasAttributeList()) LoadAttributeList(*readRecord_, static_cast<uint64_t>(id));
  readUnits_.Forget();
  if (readRecord_->Compressed() && CompressionUnitClusters(*readRecord_) == 0) {
    volume_log::Error(
        u"NTFS compressed data: record %d gives a compression unit of 2^%u clusters, which "
        u"cannot be read",
        id, static_cast<unsigned>(readRecord_->CompressionUnitShift()));
  }
  readRecordId_ = id;
  return readRecord_.get();
}

uint32_t CFileSystem_NTFS::FileRead(const FoundObject& record, void* buffer, uint64_t offset,
                                    uint32_t count) {
  if (count == 0) return 0;
  std::lock_guard lock(readLock_);
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  if (record.Flags & FoundLost) return ReadLost(record, bytes, offset, count);
  if (!EnsureLoaded()) return 0;
  const MftRecord* parsed = RecordOf(record.Id);
  return parsed ? ReadData(*parsed, offset, count, bytes, readUnits_) : 0;
}
