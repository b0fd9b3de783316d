// Reading sectors and objects through a volume: offsets, ends of images, retries, failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/app.h"
#include "support/test_support.h"
#include "volume_test_support.h"
#include "volumes/volume.h"

namespace {

using testing_support::TempFolder;
using testing_support::WriteWholeFile;
using namespace volume_testing;

using platform::ReadResult;
using platform::ReadStatus;

class VolumeReadTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WriteWholeFile(imagePath, NumberedSectors(kImageSectors))); }

  static constexpr uint32_t kImageSectors = 100;
  TempFolder folder;
  std::u16string imagePath = folder.File(u"disk.img");
  LogCapture log;
};

// A device whose transfers follow a script: one entry per attempt, the last one repeating.
class ScriptedVolume : public CVolume {
 public:
  std::vector<ReadResult> script;
  std::vector<uint64_t> positions;

 protected:
  ReadResult ReadDevice(uint64_t position, void* buffer, uint32_t bytes, uint32_t) override {
    positions.push_back(position);
    ReadResult result = script.at(std::min(positions.size(), script.size()) - 1);
    result.bytes = std::min(result.bytes, bytes);
    std::memset(buffer, 0xAB, result.bytes);
    return result;
  }
};

ReadResult Transfer(uint32_t bytes, ReadStatus status = ReadStatus::Ok) {
  return ReadResult{status, bytes, 0};
}

TEST_F(VolumeReadTest, CountZeroAndUnopenableDevicesReadNothing) {
  auto volume = ImageVolume(folder.File(u"missing.img"));
  std::vector<uint8_t> buffer(kSectorSize);
  EXPECT_EQ(volume->ReadSectors(buffer.data(), 0, 0), 0u);
  EXPECT_EQ(log.LineCount(), 0u) << "a count of 0 must not even try to open the device";
  EXPECT_EQ(volume->ReadSectors(buffer.data(), 0, 1), 0u);
  EXPECT_TRUE(log.Contains(u"Can't open volume '"));
  EXPECT_TRUE(log.Contains(u"missing.img', System Error: "));
  EXPECT_FALSE(volume->IsOpen());
}

TEST_F(VolumeReadTest, PartitionVolumesReadFromTheirOffsetOnTheParentDisk) {
  auto disk = ImageVolume(imagePath);
  for (int32_t kind : {VolumeKindFound, VolumeKindPartition}) {
    CVolume partition;
    partition.Kind = kind;
    partition.Parent = disk.get();
    partition.StartOffset = 32256;  // sector 63
    std::vector<uint8_t> buffer(3 * kSectorSize);
    ASSERT_EQ(partition.ReadSectors(buffer.data(), 0, 1), kSectorSize);
    EXPECT_EQ(SectorNumberAt(buffer.data()), 63u);
    ASSERT_EQ(partition.ReadSectors(buffer.data(), 5, 3), 3 * kSectorSize);
    EXPECT_EQ(SectorNumberAt(buffer.data()), 68u);
    EXPECT_EQ(SectorNumberAt(buffer.data() + 2 * kSectorSize), 70u);
    EXPECT_EQ(partition.GetDevicePath(), imagePath);
  }
  CVolume orphan;
  orphan.Kind = VolumeKindFound;
  std::vector<uint8_t> buffer(kSectorSize);
  EXPECT_EQ(orphan.ReadSectors(buffer.data(), 0, 1), 0u)
      << "a partition without a disk has nothing to open";
  EXPECT_TRUE(log.Contains(u"Can't open volume 'Volume at: 0'"));
}

TEST_F(VolumeReadTest, ReadsAtTheEndOfAnImageReturnWhatIsThere) {
  auto volume = ImageVolume(imagePath);
  std::vector<uint8_t> buffer(2 * kSectorSize);
  EXPECT_EQ(volume->ReadSectors(buffer.data(), kImageSectors - 1, 2), kSectorSize);
  EXPECT_EQ(SectorNumberAt(buffer.data()), kImageSectors - 1);
  EXPECT_EQ(volume->ReadSectors(buffer.data(), kImageSectors, 1), 0u);
  EXPECT_EQ(volume->ReadSectors(buffer.data(), 1'000'000'000, 1), 0u);
  EXPECT_EQ(volume->ReadSectors(buffer.data(), 7, 1), kSectorSize) << "the volume stays usable";
  EXPECT_EQ(SectorNumberAt(buffer.data()), 7u);
}

// Bytes at any offset: a partly wanted sector at either end, whole ones between, and at the
// image's end what is there.
TEST_F(VolumeReadTest, BytesAtAnyOffsetReadThroughSectors) {
  auto volume = ImageVolume(imagePath);
  const std::vector<uint8_t> image = NumberedSectors(kImageSectors);
  auto expectBytes = [&](uint64_t position, uint32_t count, uint32_t expected) {
    std::vector<uint8_t> buffer(count + 16, 0xCD);
    ASSERT_EQ(volume->ReadBytes(position, buffer.data(), count), expected) << position;
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + expected, image.begin() + position))
        << position;
    EXPECT_EQ(std::count(buffer.begin() + expected, buffer.end(), 0xCD),
              static_cast<std::ptrdiff_t>(buffer.size() - expected))
        << "nothing is written past what was read";
  };
  expectBytes(700, 2000, 2000);
  expectBytes(1024, 3 * kSectorSize, 3 * kSectorSize);
  expectBytes(5, 10, 10);
  expectBytes(kImageSectors * kSectorSize - 100, 300, 100);
  std::vector<uint8_t> buffer(64);
  EXPECT_EQ(volume->ReadBytes(kImageSectors * kSectorSize, buffer.data(), 64), 0u);
}

TEST_F(VolumeReadTest, ShortReadsAreRetriedUpToTheSetting) {
  std::vector<uint8_t> buffer(2 * kSectorSize);
  ScriptedVolume healing;
  healing.Kind = VolumeKindImage;
  healing.DevicePath = imagePath;
  healing.StartOffset = 1024;
  healing.script = {Transfer(512), Transfer(0), Transfer(1024)};
  EXPECT_EQ(healing.ReadSectors(buffer.data(), 3, 2), 1024u);
  EXPECT_EQ(healing.positions, (std::vector<uint64_t>{2560, 2560, 2560}));

  auto attemptsWithSetting = [&](const int32_t* retries) {
    CApp app;
    CApp* previous = g_pApp;
    if (retries) {
      app.Settings.ReadRetries = *retries;
      g_pApp = &app;
    }
    ScriptedVolume shortForever;
    shortForever.Kind = VolumeKindImage;
    shortForever.DevicePath = imagePath;
    shortForever.script = {Transfer(512)};
    EXPECT_EQ(shortForever.ReadSectors(buffer.data(), 0, 2), 512u)
        << "the partial count of the last attempt";
    g_pApp = previous;
    return shortForever.positions.size();
  };
  EXPECT_EQ(attemptsWithSetting(nullptr), 11u) << "10 retries without an application object";
  const int32_t three = 3, none = -5, absurd = 2'000'000'000;
  EXPECT_EQ(attemptsWithSetting(&three), 4u);
  EXPECT_EQ(attemptsWithSetting(&none), 1u);
  EXPECT_EQ(attemptsWithSetting(&absurd), static_cast<size_t>(kMaxReadRetries) + 1);
}

TEST_F(VolumeReadTest, FailedAndTimedOutReadsAreLoggedAndNotRepeated) {
  std::vector<uint8_t> buffer(kSectorSize);
  ScriptedVolume failing;
  failing.Kind = VolumeKindImage;
  failing.DevicePath = imagePath;
  failing.script = {Transfer(0, ReadStatus::Error), Transfer(512)};
  EXPECT_EQ(failing.ReadSectors(buffer.data(), 2, 1), 0u);
  EXPECT_EQ(failing.positions.size(), 1u);
  EXPECT_TRUE(log.Contains(u"ERR: Volume disk.img at position 1024 not read, retry 0"));
  EXPECT_FALSE(log.Contains(u"Read Timeout!"));

  ScriptedVolume slow;
  slow.Kind = VolumeKindImage;
  slow.DevicePath = imagePath;
  slow.script = {Transfer(0, ReadStatus::Timeout), Transfer(512)};
  EXPECT_EQ(slow.ReadSectors(buffer.data(), 0, 1), 0u);
  EXPECT_EQ(slow.positions.size(), 1u);
  EXPECT_TRUE(log.Contains(u"ERR: Read Timeout!"));
}

TEST_F(VolumeReadTest, CountsAndPositionsOutsideOneReadAreRefused) {
  ScriptedVolume volume;
  volume.Kind = VolumeKindImage;
  volume.DevicePath = imagePath;
  volume.script = {Transfer(0xFFFFFFFF)};
  std::vector<uint8_t> buffer(kSectorSize);
  // A negative count widened to 64 bits, or 4 GiB and more, would overrun any buffer once
  // truncated to 32 bits.
  EXPECT_EQ(volume.ReadSectors32(buffer.data(), 0, -1), 0u);
  EXPECT_EQ(volume.ReadSectors(buffer.data(), 0, kMaxSectorsPerRead + 1), 0u);
  EXPECT_EQ(volume.ReadSectors(buffer.data(), 0, 0x100000000ull / kSectorSize + 1), 0u);
  EXPECT_EQ(volume.ReadSectors(buffer.data(), UINT64_MAX / kSectorSize, 1), 0u);
  volume.StartOffset = UINT64_MAX - 100;
  EXPECT_EQ(volume.ReadSectors(buffer.data(), 0, 1), 0u);
  EXPECT_TRUE(volume.positions.empty());
  EXPECT_TRUE(log.Contains(u"more than one read can take"));
}

TEST_F(VolumeReadTest, FileReadReadsWholeSectorsAndReturnsWhatWasAskedFor) {
  auto volume = ImageVolume(imagePath);
  FoundObject record{};
  record.Start = 3 * kSectorSize;

  std::vector<uint8_t> small(100);  // exactly the bytes asked for
  EXPECT_EQ(volume->FileRead(record, small.data(), 0, 100), 100u);
  EXPECT_EQ(SectorNumberAt(small.data()), 3u);
  EXPECT_EQ(small[99], 3);

  std::vector<uint8_t> two(1024);
  EXPECT_EQ(volume->FileRead(record, two.data(), 512, 1024), 1024u);
  EXPECT_EQ(SectorNumberAt(two.data()), 4u);
  EXPECT_EQ(SectorNumberAt(two.data() + 512), 5u);
  EXPECT_EQ(volume->FileRead(record, two.data(), 0, 0), 0u);

  // An object inside a sector starts at its own first byte, not at the sector's.
  record.Start = 3 * kSectorSize + 300;
  std::vector<uint8_t> inside(400);
  EXPECT_EQ(volume->FileRead(record, inside.data(), 0, 400), 400u);
  EXPECT_EQ(inside[211], 3);
  EXPECT_EQ(inside[212], 4);  // the next sector begins after 212 bytes
  EXPECT_EQ(volume->FileRead(record, inside.data(), 200, 12), 12u);
  EXPECT_EQ(inside[11], 3);

  // Only one sector is left: the count says so rather than claiming all 1000 bytes.
  record.Start = (kImageSectors - 1) * kSectorSize;
  std::vector<uint8_t> tail(1000);
  EXPECT_EQ(volume->FileRead(record, tail.data(), 0, 1000), 512u);

  record.Start = kImageSectors * kSectorSize;
  EXPECT_EQ(volume->FileRead(record, tail.data(), 0, 1000), 0u);
  EXPECT_TRUE(log.Contains(u"CVolume::FileRead: Can't read sector at: 100"));

  record.Start = -512;
  EXPECT_EQ(volume->FileRead(record, tail.data(), 0, 100), 0u);
  record.Start = 0;
  EXPECT_EQ(volume->FileRead(record, tail.data(), UINT64_MAX - 10, 100), 0u);
}

class MarkingFileSystem : public CFileSystem {
 public:
  explicit MarkingFileSystem(bool fail) : fail_(fail) {}
  uint32_t FileRead(const FoundObject&, void*, uint64_t offset, uint32_t count) override {
    if (fail_) throw std::runtime_error("damaged record");
    return static_cast<uint32_t>(offset) + count + 7;
  }

 private:
  bool fail_;
};

TEST_F(VolumeReadTest, ObjectDataGoesToTheAnalyserOnlyForTheTypesItMaps) {
  auto volume = ImageVolume(imagePath);
  volume->FileSystem = std::make_unique<MarkingFileSystem>(false);
  FoundObject record{};
  record.Start = 2 * kSectorSize;
  std::vector<uint8_t> buffer(kSectorSize);
  // Every code of the FAT and NTFS families, the LBA and hidden ones included.
  for (int32_t code : {1, 4, 6, 7, 11, 12, 14, 17, 20, 22, 27, 28, 30}) {
    volume->FileSystem->TypeCode = code;
    EXPECT_EQ(volume->ReadObjectData(record, buffer.data(), 10, 100), 117u) << "type " << code;
  }
  for (int32_t code : {0, 5, 128, 134}) {
    volume->FileSystem->TypeCode = code;
    EXPECT_EQ(volume->ReadObjectData(record, buffer.data(), 0, 100), 100u) << "type " << code;
    EXPECT_EQ(SectorNumberAt(buffer.data()), 2u);
  }
  volume->FileSystem = std::make_unique<MarkingFileSystem>(true);
  volume->FileSystem->TypeCode = 7;
  EXPECT_EQ(volume->ReadObjectData(record, buffer.data(), 0, 100), 0u);
}

// The volume's one transfer at a time: reads from several threads never overlap.
class OverlapDetectingVolume : public CVolume {
 public:
  std::atomic<int> inFlight{0};
  std::atomic<bool> overlapped{false};

 protected:
  ReadResult ReadDevice(uint64_t position, void* buffer, uint32_t bytes,
                        uint32_t timeoutMs) override {
    if (++inFlight > 1) overlapped = true;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
    ReadResult result = CVolume::ReadDevice(position, buffer, bytes, timeoutMs);
    --inFlight;
    return result;
  }
};

TEST_F(VolumeReadTest, ReadsFromSeveralThreadsTakeTurns) {
  OverlapDetectingVolume volume;
  volume.Kind = VolumeKindImage;
  volume.DevicePath = imagePath;
  std::atomic<int> wrong{0};
  auto reader = [&](uint32_t first) {
    std::vector<uint8_t> buffer(kSectorSize);
    for (uint32_t i = 0; i < 200; ++i) {
      uint32_t sector = (first + i) % kImageSectors;
      if (volume.ReadSectors(buffer.data(), sector, 1) != kSectorSize ||
          SectorNumberAt(buffer.data()) != sector)
        ++wrong;
      if (i % 50 == 0) volume.Close();  // closing between reads must not break the others
    }
  };
  std::thread a(reader, 0), b(reader, 37), c(reader, 71);
  a.join();
  b.join();
  c.join();
  EXPECT_FALSE(volume.overlapped);
  EXPECT_EQ(wrong, 0);
}

}  // namespace
