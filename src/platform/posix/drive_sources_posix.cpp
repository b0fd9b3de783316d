// The disks and drives of a Linux machine: the whole disks of /sys/block as physical disks,
// their partitions as drives a user picks, named after their devices, with the labels that
// /dev/disk/by-label gives them.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/drive_sources.h"
#include "platform/text.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

// sysfs counts sizes in 512-byte units, whatever the device's sector size.
constexpr uint64_t kSysfsUnitBytes = 512;

std::string ReadLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

uint64_t ReadNumber(const fs::path& path) {
  std::string text = ReadLine(path);
  return text.empty() ? 0 : std::strtoull(text.c_str(), nullptr, 10);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// major << 16 | minor from a sysfs "dev" file ("8:0"); -1 when it cannot be read.
int32_t DeviceNumberOf(const fs::path& device) {
  std::string text = ReadLine(device / "dev");
  size_t colon = text.find(':');
  if (colon == std::string::npos) return -1;
  unsigned long majorNumber = std::strtoul(text.substr(0, colon).c_str(), nullptr, 10);
  unsigned long minorNumber = std::strtoul(text.substr(colon + 1).c_str(), nullptr, 10);
  if (majorNumber > 0x7FFF || minorNumber > 0xFFFF) return -1;
  return static_cast<int32_t>(majorNumber << 16 | minorNumber);
}

// RAM disks and compressed swap hold nothing to recover; loop devices only matter while a
// file is attached to them; optical drives are left out as they are on Windows.
bool IsListedDisk(const fs::path& device) {
  const std::string name = device.filename().string();
  if (StartsWith(name, "ram") || StartsWith(name, "zram") || StartsWith(name, "sr")) return false;
  if (StartsWith(name, "loop")) return !ReadLine(device / "loop" / "backing_file").empty();
  return true;
}

uint64_t BytesOf(const fs::path& device) {
  const uint64_t units = ReadNumber(device / "size");
  return units > UINT64_MAX / kSysfsUnitBytes ? 0 : units * kSysfsUnitBytes;
}

// "sda", or "sda (ATA Samsung SSD)" when the disk tells its vendor and model. Numeric vendor
// identifiers (virtio's "0x1af4") say nothing to a user and are left out.
std::u16string DiskName(const fs::path& disk) {
  std::string name = disk.filename().string();
  std::string vendor = ReadLine(disk / "device" / "vendor");
  std::string model = ReadLine(disk / "device" / "model");
  auto trim = [](std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    while (!text.empty() && text.front() == ' ') text.erase(text.begin());
    return text;
  };
  vendor = trim(vendor);
  model = trim(model);
  if (StartsWith(vendor, "0x")) vendor.clear();
  std::string maker = vendor.empty() ? model : model.empty() ? vendor : vendor + " " + model;
  return Utf8ToUtf16(maker.empty() ? name : name + " (" + maker + ")");
}

int32_t DriveTypeOf(const fs::path& disk) {
  return ReadNumber(disk / "removable") != 0 ? kDriveTypeRemovable : kDriveTypeFixed;
}

std::vector<fs::path> SortedEntries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) entries.push_back(entry.path());
  std::sort(entries.begin(), entries.end());
  return entries;
}

// Device name ("sda1") to label, from the links of the by-label folder.
std::map<std::string, std::u16string> LabelsByDevice(const fs::path& byLabel) {
  std::map<std::string, std::u16string> labels;
  for (const fs::path& link : SortedEntries(byLabel)) {
    std::error_code error;
    fs::path target = fs::read_symlink(link, error);
    if (error) continue;
    labels[target.filename().string()] = DecodeLabelLinkName(link.filename().string());
  }
  return labels;
}

// The partitions of a disk in the order of their numbers.
std::vector<fs::path> PartitionsOf(const fs::path& disk) {
  std::vector<fs::path> partitions;
  for (const fs::path& entry : SortedEntries(disk)) {
    std::error_code error;
    if (fs::exists(entry / "partition", error)) partitions.push_back(entry);
  }
  std::stable_sort(partitions.begin(), partitions.end(), [](const fs::path& a, const fs::path& b) {
    return ReadNumber(a / "partition") < ReadNumber(b / "partition");
  });
  return partitions;
}

DriveSource DriveOf(const fs::path& device, int32_t driveType, const fs::path& devFolder,
                    const std::map<std::string, std::u16string>& labels) {
  const std::string name = device.filename().string();
  DriveSource drive;
  drive.Kind = DriveSourceKind::Drive;
  drive.DriveType = driveType;
  drive.Path = (devFolder / name).u16string();
  drive.Name = Utf8ToUtf16(name);
  drive.Bytes = BytesOf(device);
  if (auto label = labels.find(name); label != labels.end()) drive.Label = label->second;
  return drive;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::u16string DecodeLabelLinkName(std::string_view name) {
  std::string bytes;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
      int high = HexDigit(name[i + 2]);
      int low = HexDigit(name[i + 3]);
      if (high >= 0 && low >= 0) {
        bytes.push_back(static_cast<char>(high << 4 | low));
        i += 3;
        continue;
      }
    }
    bytes.push_back(name[i]);
  }
  return Utf8ToUtf16(bytes);
}

std::vector<DriveSource> EnumerateDriveSourcesUnder(std::string_view sysBlock, std::string_view devFolder,
                                                    std::string_view byLabel) {
  const fs::path dev{std::string(devFolder)};
  const std::map<std::string, std::u16string> labels = LabelsByDevice(fs::path(std::string(byLabel)));
  std::vector<DriveSource> disks;
  std::vector<DriveSource> drives;
  for (const fs::path& disk : SortedEntries(fs::path(std::string(sysBlock)))) {
    if (!IsListedDisk(disk)) continue;
    const std::string name = disk.filename().string();
    DriveSource source;
    source.Kind = DriveSourceKind::Disk;
    source.Number = DeviceNumberOf(disk);
    source.DriveType = kDriveTypeFixed;
    source.Path = (dev / name).u16string();
    source.Name = DiskName(disk);
    source.Bytes = BytesOf(disk);
    disks.push_back(source);
    const int32_t driveType = DriveTypeOf(disk);
    std::vector<fs::path> partitions = PartitionsOf(disk);
    for (const fs::path& partition : partitions) drives.push_back(DriveOf(partition, driveType, dev, labels));
    // A disk formatted without a partition table (a stick, an attached image) is also a drive,
    // as Windows gives it a letter; the system knows it has a file system by its label.
    if (partitions.empty() && labels.count(name) != 0) drives.push_back(DriveOf(disk, driveType, dev, labels));
  }
  disks.insert(disks.end(), drives.begin(), drives.end());
  return disks;
}

std::vector<DriveSource> EnumerateDriveSources() {
  return EnumerateDriveSourcesUnder("/sys/block", "/dev", "/dev/disk/by-label");
}

}  // namespace platform
