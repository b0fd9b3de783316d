// Helpers of the file-system tests and fuzz targets: FAT volumes built byte by byte in memory,
// a volume over a byte buffer, a sink that keeps what an analyser reports, and the reading of
// an object's data.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "filesystems/fat_boot.h"
#include "filesystems/fat_directory.h"
#include "filesystems/file_system.h"
#include "filesystems/found_object_sink.h"
#include "volumes/volume.h"

namespace fat_testing {

using Entry = std::array<uint8_t, kFatEntrySize>;

// A volume whose sectors are a byte buffer; reads beyond it fail as a device would.
class MemoryVolume : public CVolume {
 public:
  explicit MemoryVolume(std::vector<uint8_t> bytes, int32_t typeCode) : bytes_(std::move(bytes)) {
    Kind = VolumeKindImage;
    SectorCount = bytes_.size() / kSectorSize;
    FileSystem->TypeCode = typeCode;
  }
  uint32_t ReadSectors(void* buffer, uint64_t firstSector, uint64_t count) override {
    ++reads;
    if (count == 0 || firstSector >= SectorCount || count > SectorCount - firstSector) return 0;
    std::memcpy(buffer, bytes_.data() + firstSector * kSectorSize, count * kSectorSize);
    return static_cast<uint32_t>(count * kSectorSize);
  }
  std::vector<uint8_t>& Bytes() { return bytes_; }
  uint64_t reads = 0;

 private:
  std::vector<uint8_t> bytes_;
};

// What the analyser reported, with the names copied.
struct Reported {
  FoundObject record;
  std::u16string name;
  bool deleted() const { return record.Flags & FoundDeleted; }
  bool folder() const { return record.Flags & FoundFolder; }
};

class CollectingSink : public IFoundObjectSink {
 public:
  void OnFoundObject(const FoundObject& record) override {
    Reported copy{record, record.Name ? std::u16string(record.Name) : std::u16string()};
    copy.record.Name = nullptr;
    objects.push_back(std::move(copy));
  }
  const Reported* Find(std::u16string_view name) const {
    for (const Reported& object : objects)
      if (object.name == name) return &object;
    return nullptr;
  }
  size_t Count(std::u16string_view name) const {
    return std::count_if(objects.begin(), objects.end(),
                         [&](const Reported& o) { return o.name == name; });
  }
  // Paths from the root, joined with '/', built from the ParentId links: the first folder
  // reported with an identifier stands for it, as in the store.
  std::map<std::u16string, const Reported*> Paths(int32_t rootId) const {
    std::map<int32_t, const Reported*> folders;
    for (const Reported& object : objects)
      if (object.folder()) folders.emplace(object.record.Id, &object);
    std::map<std::u16string, const Reported*> paths;
    for (const Reported& object : objects) {
      std::u16string path = object.name;
      int32_t parent = object.record.ParentId;
      for (int depth = 0; parent != rootId && depth < 64; ++depth) {
        auto found = folders.find(parent);
        if (found == folders.end()) {
          path = u"?/" + path;
          break;
        }
        path = found->second->name + u"/" + path;
        parent = found->second->record.ParentId;
      }
      paths.emplace(path, &object);
    }
    return paths;
  }
  std::vector<Reported> objects;
};

// An object's data as the recovery reads it: pieces of 64 KiB up to its size; empty when a
// piece cannot be read.
inline std::vector<uint8_t> ReadObjectData(CFileSystem& fs, const FoundObject& record) {
  std::vector<uint8_t> data(static_cast<size_t>(record.Size));
  constexpr uint32_t kPiece = 65536;
  for (uint64_t done = 0; done < data.size();) {
    const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(kPiece, data.size() - done));
    const uint32_t got = fs.FileRead(record, data.data() + done, done, want);
    if (got == 0) return {};
    done += got;
  }
  return data;
}

// A FAT volume of 512-byte sectors and clusters of one sector, built field by field: two
// tables, a 64-entry root folder on FAT12/16, the root folder at cluster 2 on FAT32.
class FatImageBuilder {
 public:
  static constexpr uint32_t kRootEntries = 64;

  explicit FatImageBuilder(FatWidth width, uint32_t clusters = 200) : width_(width) {
    const uint64_t tableBytes =
        width == FatWidth::Fat12 ? (clusters + 2) * 3 / 2 + 1 : (clusters + 2) * EntryBytes();
    tableSectors_ = static_cast<uint32_t>((tableBytes + 511) / 512);
    rootSectors_ = width == FatWidth::Fat32 ? 0 : kRootEntries * kFatEntrySize / 512;
    firstData_ = kReserved + 2 * tableSectors_ + rootSectors_;
    totalSectors_ = firstData_ + clusters;
    bytes_.assign(static_cast<size_t>(totalSectors_) * 512, 0);
    WriteParameterBlock();
    SetNext(0, 0x0FFFFFF8);
    SetNext(1, 0x0FFFFFFF);
    if (width == FatWidth::Fat32) SetNext(2, 0x0FFFFFFF);
  }

  int32_t TypeCode() const {
    return width_ == FatWidth::Fat12 ? 1 : width_ == FatWidth::Fat16 ? 6 : 11;
  }
  uint32_t FirstDataSector() const { return firstData_; }
  uint32_t RootCluster() const { return width_ == FatWidth::Fat32 ? 2 : 0; }
  std::vector<uint8_t>& Bytes() { return bytes_; }

  void Put16(size_t at, uint16_t v) {
    bytes_[at] = static_cast<uint8_t>(v);
    bytes_[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  void Put32(size_t at, uint32_t v) {
    Put16(at, static_cast<uint16_t>(v));
    Put16(at + 2, static_cast<uint16_t>(v >> 16));
  }

  // Sets a table entry in both tables (values are cut to the width).
  void SetNext(uint32_t cluster, uint32_t value) {
    for (uint32_t copy = 0; copy < 2; ++copy) {
      const size_t table = (kReserved + copy * tableSectors_) * 512;
      if (width_ == FatWidth::Fat12) {
        const size_t at = table + cluster * 3 / 2;
        uint16_t word = static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
        word = (cluster & 1) ? static_cast<uint16_t>((word & 0x000F) | (value & 0xFFF) << 4)
                             : static_cast<uint16_t>((word & 0xF000) | (value & 0xFFF));
        Put16(at, word);
      } else if (width_ == FatWidth::Fat16) {
        Put16(table + cluster * 2, static_cast<uint16_t>(value));
      } else {
        Put32(table + cluster * 4, value & 0x0FFFFFFF);
      }
    }
  }
  uint32_t EndMark() const {
    return width_ == FatWidth::Fat12 ? 0xFFF : width_ == FatWidth::Fat16 ? 0xFFFF : 0x0FFFFFFF;
  }
  // Links the clusters in order and ends the chain after the last.
  void Chain(std::initializer_list<uint32_t> clusters) {
    const uint32_t* c = clusters.begin();
    for (size_t i = 0; i < clusters.size(); ++i)
      SetNext(c[i], i + 1 < clusters.size() ? c[i + 1] : EndMark());
  }

  size_t ClusterOffset(uint32_t cluster) const {
    return (static_cast<size_t>(firstData_) + cluster - 2) * 512;
  }
  // Fills a cluster with bytes that tell where they came from: cluster number, then its index.
  void Stamp(uint32_t cluster, uint8_t tag) {
    uint8_t* at = bytes_.data() + ClusterOffset(cluster);
    for (size_t i = 0; i < 512; ++i) at[i] = static_cast<uint8_t>(tag + i);
    std::memcpy(at, &cluster, sizeof cluster);
  }

  // Writes entries into a folder from slot `first` on: cluster 0 is the FAT12/16 root folder;
  // a folder of clusters runs on along the chain set so far.
  void PutEntries(uint32_t folder, const std::vector<Entry>& entries, size_t first = 0) {
    for (size_t i = 0; i < entries.size(); ++i) {
      const size_t slot = first + i;
      size_t at = 0;
      if (folder == 0) {
        at = (kReserved + 2 * tableSectors_) * 512 + slot * kFatEntrySize;
      } else {
        uint32_t cluster = folder;
        for (size_t hop = slot / 16; hop > 0; --hop) cluster = Next(cluster);
        at = ClusterOffset(cluster) + (slot % 16) * kFatEntrySize;
      }
      std::memcpy(bytes_.data() + at, entries[i].data(), kFatEntrySize);
    }
  }

  // A short entry: name of 11 bytes as stored (blank-padded 8 + 3).
  static Entry ShortEntry(std::string_view stored, uint8_t attributes, uint32_t cluster,
                          uint32_t size) {
    Entry e{};
    std::memset(e.data(), ' ', 11);
    std::memcpy(e.data(), stored.data(), std::min<size_t>(stored.size(), 11));
    e[11] = attributes;
    // 2020-01-02 03:04:06 for creation and modification.
    const uint16_t date = (40 << 9) | (1 << 5) | 2;
    const uint16_t time = (3 << 11) | (4 << 5) | 3;
    PutLe16(e, 14, time);
    PutLe16(e, 16, date);
    PutLe16(e, 18, date);
    PutLe16(e, 20, static_cast<uint16_t>(cluster >> 16));
    PutLe16(e, 22, time);
    PutLe16(e, 24, date);
    PutLe16(e, 26, static_cast<uint16_t>(cluster));
    PutLe16(e, 28, static_cast<uint16_t>(size));
    PutLe16(e, 30, static_cast<uint16_t>(size >> 16));
    return e;
  }
  // The long-name parts of a name, in the order they stand before the short entry.
  static std::vector<Entry> LongEntries(std::u16string_view name, uint8_t checksum) {
    std::u16string units(name);
    const size_t parts = (units.size() + 12) / 13;
    if (units.size() % 13 != 0) units.push_back(u'\0');
    units.resize(parts * 13, u'\xFFFF');
    static constexpr size_t kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    std::vector<Entry> entries;
    for (size_t part = parts; part >= 1; --part) {
      Entry e{};
      e[0] = static_cast<uint8_t>(part | (part == parts ? 0x40 : 0));
      e[11] = kFatAttrLongName;
      e[13] = checksum;
      for (size_t i = 0; i < 13; ++i) PutLe16(e, kOffsets[i], units[(part - 1) * 13 + i]);
      entries.push_back(e);
    }
    return entries;
  }
  // Long-name parts followed by their short entry.
  static std::vector<Entry> NamedEntry(std::u16string_view longName, std::string_view stored,
                                       uint8_t attributes, uint32_t cluster, uint32_t size) {
    Entry shortEntry = ShortEntry(stored, attributes, cluster, size);
    std::vector<Entry> entries = LongEntries(
        longName, ShortNameChecksum(std::span<const uint8_t, 11>(shortEntry.data(), 11)));
    entries.push_back(shortEntry);
    return entries;
  }
  // Marks entries deleted the way FAT does: their first byte becomes 0xE5.
  static std::vector<Entry> Deleted(std::vector<Entry> entries) {
    for (Entry& e : entries) e[0] = kFatDeletedMark;
    return entries;
  }

 private:
  static constexpr uint32_t kReserved = 1;

  static void PutLe16(Entry& e, size_t at, uint16_t v) {
    e[at] = static_cast<uint8_t>(v);
    e[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  uint32_t EntryBytes() const { return width_ == FatWidth::Fat32 ? 4 : 2; }
  uint32_t Next(uint32_t cluster) const {
    const size_t table = kReserved * 512;
    if (width_ == FatWidth::Fat12) {
      const size_t at = table + cluster * 3 / 2;
      const uint16_t word = static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
      return (cluster & 1) ? word >> 4 : word & 0xFFF;
    }
    if (width_ == FatWidth::Fat16)
      return bytes_[table + cluster * 2] | bytes_[table + cluster * 2 + 1] << 8;
    uint32_t v = 0;
    std::memcpy(&v, bytes_.data() + table + cluster * 4, 4);
    return v & 0x0FFFFFFF;
  }
  void WriteParameterBlock() {
    bytes_[0] = 0xEB;
    bytes_[1] = 0x3C;
    bytes_[2] = 0x90;
    std::memcpy(bytes_.data() + 3, "LUMTEST ", 8);
    Put16(11, 512);
    bytes_[13] = 1;
    Put16(14, kReserved);
    bytes_[16] = 2;
    Put16(17, width_ == FatWidth::Fat32 ? 0 : kRootEntries);
    if (totalSectors_ < 0x10000)
      Put16(19, static_cast<uint16_t>(totalSectors_));
    else
      Put32(32, totalSectors_);
    bytes_[21] = 0xF8;
    if (width_ == FatWidth::Fat32) {
      Put32(36, tableSectors_);
      Put32(44, 2);
      std::memcpy(bytes_.data() + 82, "FAT32   ", 8);
    } else {
      Put16(22, static_cast<uint16_t>(tableSectors_));
      std::memcpy(bytes_.data() + 54, width_ == FatWidth::Fat12 ? "FAT12   " : "FAT16   ", 8);
    }
    bytes_[510] = 0x55;
    bytes_[511] = 0xAA;
  }

  FatWidth width_;
  uint32_t tableSectors_ = 0;
  uint32_t rootSectors_ = 0;
  uint32_t firstData_ = 0;
  uint32_t totalSectors_ = 0;
  std::vector<uint8_t> bytes_;
};

}  // namespace fat_testing
