// Helpers of the recovery tests: a volume over bytes in memory whose reads can fail or stop
// the run, a store filled in code, a scripted prompter, and a run that waits for its end.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/log.h"
#include "filesystems/found_object_store.h"
#include "recovery/recovery.h"
#include "signatures/file_types.h"
#include "support/test_support.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace recovery_testing {

constexpr int16_t kJpegType = 40;
constexpr int32_t kImagesGroup = -115;

// A drive image held in memory. Sectors in [failFrom, failTo) cannot be read; onRead runs
// before each read (a test stops the run from there).
class MemoryVolume : public CVolume {
 public:
  explicit MemoryVolume(size_t bytes) : bytes_(bytes) {
    Kind = VolumeKindImage;
    SectorCount = bytes / kSectorSize;
    TotalBytes = bytes;
    for (size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = static_cast<uint8_t>(i * 7 + i / 511);
  }
  uint32_t ReadSectors(void* buffer, uint64_t first, uint64_t count) override {
    if (onRead) onRead(first);
    if (count == 0 || first >= SectorCount || count > SectorCount - first) return 0;
    // A read that meets a bad sector delivers what lies before it, as a device does.
    uint64_t good = count;
    if (first + count > failFrom && first < failTo) good = first >= failFrom ? 0 : failFrom - first;
    std::memcpy(buffer, bytes_.data() + first * kSectorSize, good * kSectorSize);
    return static_cast<uint32_t>(good * kSectorSize);
  }
  const uint8_t* At(int64_t position) const { return bytes_.data() + position; }

  uint64_t failFrom = UINT64_MAX;
  uint64_t failTo = UINT64_MAX;
  std::function<void(uint64_t)> onRead;

 private:
  std::vector<uint8_t> bytes_;
};

// Answers from a script; each size question is recorded. Blocking: the size question waits
// until Stop() (a stop must answer it).
class ScriptedPrompter : public IRecoveryPrompter {
 public:
  SizeAnswer AskProbableSize(const SizeQuestion& question) override {
    std::unique_lock lock(mutex_);
    questions.push_back(question);
    if (blockSizeQuestion) {
      asked_.notify_all();
      stopped_.wait(lock, [this] { return stopped; });
      return SizeAnswer{SizeEnd::Ok, kSizeNextAny, SizeScope::ThisFile, 0};
    }
    if (sizeAnswers.empty()) return SizeAnswer{};
    SizeAnswer answer = sizeAnswers.front();
    sizeAnswers.pop_front();
    return answer;
  }
  std::optional<std::u16string> AskOtherDestination(const DestinationQuestion&) override {
    ++destinationQuestions;
    if (otherDestinations.empty()) return std::nullopt;
    std::u16string next = otherDestinations.front();
    otherDestinations.pop_front();
    return next;
  }
  bool AskDeleteTemporaryFiles(size_t) override { return deleteTemporary; }
  void ShowError(const std::u16string& text) override { errors.push_back(text); }
  void Stop() override {
    std::lock_guard lock(mutex_);
    stopped = true;
    stopped_.notify_all();
  }
  void WaitUntilAsked() {
    std::unique_lock lock(mutex_);
    asked_.wait(lock, [this] { return !questions.empty(); });
  }

  std::deque<SizeAnswer> sizeAnswers;
  std::deque<std::u16string> otherDestinations;
  std::vector<SizeQuestion> questions;
  std::vector<std::u16string> errors;
  int destinationQuestions = 0;
  bool deleteTemporary = false;
  bool blockSizeQuestion = false;
  bool stopped = false;

 private:
  std::mutex mutex_;
  std::condition_variable asked_;
  std::condition_variable stopped_;
};

class Selection : public IRecoverySelection {
 public:
  Selection(CVolume& volume, std::vector<FoundObject*> objects, Control control = Control::FileList)
      : volume_(volume), objects_(std::move(objects)), control_(control) {}
  CVolume* Volume() const override { return &volume_; }
  Control FocusedControl() const override { return control_; }
  std::vector<FoundObject*> SelectedObjects() const override { return objects_; }

 private:
  CVolume& volume_;
  std::vector<FoundObject*> objects_;
  Control control_;
};

// The engine's world for one test: the application object with its settings, a computer
// object with a JPEG type, a memory volume with a root folder, a destination folder.
class RecoveryFixture : public ::testing::Test {
 protected:
  RecoveryFixture() : previousApp_(g_pApp), previousLog_(g_pLog), previousTypes_(g_pFileTypes) {
    g_pApp = &app_;
    log_.SetTimestamps(false);
    g_pLog = &log_;
    computer_ = std::make_unique<CLocalComputer>();
    auto type = std::make_unique<FileType>();
    type->TypeId = kJpegType;
    type->GroupId = kImagesGroup;
    type->Enabled = 1;
    type->TypicalSizeKB = 2;
    type->SetExtensions(u"JPG");
    type->SetNamePrefix(u"image");
    type->SetDescription(u"JPEG Image");
    computer_->FileTypes.AddType(std::move(type));
    g_pFileTypes = &computer_->FileTypes;
    volume_.Store.SetFileTypes(&computer_->FileTypes);
    volume_.Store.SetRootId(0);
    root_ = Add(u".", FoundFolder | FoundNamed, 0, -31, 0, 0);
    SetDestination(destination_.path());
    app_.Settings.KeepFolderStructure = 1;
    job().SetPrompter(&prompter_);
  }
  ~RecoveryFixture() override {
    job().Wait(10000);
    job().SetPrompter(nullptr);
    computer_.reset();
    g_pFileTypes = previousTypes_;
    g_pLog = previousLog_;
    g_pApp = previousApp_;
  }

  CRecovery& job() { return computer_->MainJob; }

  void SetDestination(const std::u16string& folder) {
    std::fill(std::begin(app_.Settings.DestinationFolder),
              std::end(app_.Settings.DestinationFolder), 0);
    std::copy(folder.begin(), folder.end(), app_.Settings.DestinationFolder);
  }

  FoundObject* Add(std::u16string name, uint16_t flags, int32_t id, int32_t parent, int64_t start,
                   int64_t size) {
    names_.push_back(std::move(name));
    FoundObject& record = records_.emplace_back();
    ResetFoundObject(record);
    record.Flags = flags | FoundNamed;
    record.Id = id;
    record.ParentId = parent;
    record.Start = start;
    record.Size = size;
    record.Name = names_.back().c_str();
    record.Modified = platform::UnixTimeToFileTime(1262304000);
    volume_.Store.Add(&record, true);
    return &record;
  }
  FoundObject* AddFile(std::u16string name, int64_t start, int64_t size, int32_t parent = 0) {
    return Add(std::move(name), 0, 1000 + static_cast<int32_t>(records_.size()), parent, start,
               size);
  }
  FoundObject* AddLost(std::u16string name, int64_t start, int64_t size) {
    FoundObject* record =
        Add(std::move(name), FoundLost | FoundDeleted, 0, kImagesGroup, start, size);
    record->FileTypeId = kJpegType;
    return record;
  }

  // Builds the list from the objects (as a file list) and runs it to its end.
  void Recover(std::vector<FoundObject*> objects) {
    Selection selection(volume_, std::move(objects));
    BuildRecoveryList(job(), selection);
    ASSERT_TRUE(StartRecovery(job(), volume_));
    ASSERT_TRUE(job().Wait(30000));
  }

  std::u16string Target(std::u16string_view relative) const {
    std::u16string path(relative);
    std::replace(path.begin(), path.end(), u'/', platform::kPathSeparator);
    return platform::JoinPath(destination_.path(), path);
  }
  std::vector<uint8_t> Recovered(std::u16string_view relative) const {
    return testing_support::ReadWholeFile(Target(relative));
  }
  std::vector<uint8_t> Original(int64_t start, size_t size) const {
    return std::vector<uint8_t>(volume_.At(start), volume_.At(start) + size);
  }
  bool Logged(std::u16string_view text) const {
    for (const std::u16string& line : log_.Lines())
      if (line.find(text) != std::u16string::npos) return true;
    return false;
  }
  const RecoveryResult* ResultOf(const FoundObject* object) {
    results_ = job().Results();
    for (const RecoveryResult& result : results_)
      if (result.Object == object) return &result;
    return nullptr;
  }

  CApp app_;
  CLog log_;
  std::unique_ptr<CLocalComputer> computer_;
  MemoryVolume volume_{4 * 1024 * 1024};
  testing_support::TempFolder destination_;
  ScriptedPrompter prompter_;
  std::deque<FoundObject> records_;
  std::deque<std::u16string> names_;
  std::vector<RecoveryResult> results_;
  FoundObject* root_ = nullptr;

 private:
  CApp* previousApp_;
  CLog* previousLog_;
  FileTypeDatabase* previousTypes_;
};

}  // namespace recovery_testing
