#include "signatures/search_worker.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "app/log.h"
#include "platform/system.h"
#include "signatures/file_type.h"
#include "signatures/format_rules.h"
#include "signatures/searcher.h"
#include "signatures/type_matcher.h"
#include "volumes/analysis_status.h"

namespace {

constexpr uint32_t kUnit = 512;
// Type ids are kept in 16 signed bits by the found objects; a larger id would be taken for
// another type (65537 for the FAT12 boot sector, 1).
bool FitsFoundObject(int32_t typeId) { return typeId >= 1 && typeId <= 32767; }

}  // namespace

SearchWorker::SearchWorker(CSearcher& owner, uint32_t index, uint32_t bufferSize)
    : Index(index),
      Buffer(static_cast<size_t>(bufferSize) + CSearcher::kLookahead),
      BufferSize(bufferSize),
      Owner(owner) {}

SearchWorker::~SearchWorker() {
  if (Thread.joinable()) Thread.join();
}

bool SearchWorker::Start() {
  try {
    Thread = std::thread([this] { Loop(); });
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void SearchWorker::Loop() {
  platform::SetCurrentThreadPriority(platform::ThreadPriority::Lowest);
  while (true) {
    {
      std::unique_lock lock(Owner.lock_);
      Owner.changed_.wait(lock, [this] { return WorkState != State::Idle; });
      if (WorkState == State::Quit) return;
    }
    found_.clear();
    try {
      ParseBlock();
    } catch (const std::exception&) {
      // A failing rule or handler must not leave the scanner waiting for this block.
      if (g_pLog)
        g_pLog->LogError(u"CSearcher.ParseBlock: block at cluster %I64u failed", BlockStart);
    }
    try {
      Owner.HandOver(*this, found_);
    } catch (const std::exception&) {
      if (g_pLog)
        g_pLog->LogError(u"CSearcher.HandOver: block at cluster %I64u failed", BlockStart);
    }
    Owner.WorkerIdle(*this);
  }
}

bool SearchWorker::IsUnreadable(uint32_t unit, size_t& run) const {
  while (run < UnreadableUnits.size() &&
         UnreadableUnits[run].first + UnreadableUnits[run].second <= unit)
    ++run;
  return run < UnreadableUnits.size() && UnreadableUnits[run].first <= unit;
}

void SearchWorker::ParseBlock() {
  if (!Owner.Running()) return;
  const uint32_t units = BlockBytesRead / kUnit;
  const uint64_t blockPosition = BlockStart * Owner.ClusterBytes();
  const ScanSpace& space = Owner.Space();
  size_t run = 0;
  for (uint32_t unit = 0; unit < units; ++unit) {
    // Checked once per unit: a stop takes effect within one unit's tests.
    if (!Owner.Running()) return;
    if (IsUnreadable(unit, run)) continue;
    if (!space.Tests(blockPosition + uint64_t{unit} * kUnit)) continue;
    TestUnit(unit);
  }
}

void SearchWorker::TestUnit(uint32_t unit) {
  const size_t offset = size_t{unit} * kUnit;
  // The same number of bytes for every candidate, wherever its block ends.
  const size_t readable = std::min<size_t>(ReadableBytes - offset, CSearcher::kLookahead);
  // The rules see the same bytes after the unit as the signatures do.
  const std::span<const uint8_t> block(Buffer.data(), offset + readable);
  const uint64_t clusterBytes = Owner.ClusterBytes();
  Owner.Matcher().ForEachMatch(Buffer.data() + offset, readable, [&](const FileType& type) {
    if (!FitsFoundObject(type.TypeId)) return true;
    ResetFoundObject(CurrentObject);
    CurrentObject.Flags |= FoundLost | FoundDeleted;
    CurrentObject.Start = static_cast<int64_t>(BlockStart * clusterBytes + offset);
    CurrentObject.FirstCluster = CurrentObject.Start / static_cast<int64_t>(clusterBytes);
    CurrentObject.FileTypeId = static_cast<int16_t>(type.TypeId);
    ApplyFormatRules(Owner.Volume(), block, offset, CurrentObject);
    try {
      found_.push_back(CurrentObject);
      LastTypeId = type.TypeId;
    } catch (const std::bad_alloc&) {
      if (g_pLog) g_pLog->LogError(u"CSearcher.ParseBlock: Can't allocate memory");
      return false;  // the unit's remaining types are skipped
    }
    return true;
  });
}
