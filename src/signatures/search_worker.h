// One worker of the sector scanner: owns a block buffer, waits for the scanner to fill it,
// tests every readable unit of the block (ParseBlock) and hands the objects over in block
// order, then becomes idle again.
#pragma once

#include <cstdint>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "filesystems/found_object.h"

class CSearcher;

class SearchWorker {
 public:
  enum class State { Idle, Busy, Quit };

  // The buffer is allocated here; bad_alloc leaves it to the caller.
  SearchWorker(CSearcher& owner, uint32_t index, uint32_t bufferSize);
  ~SearchWorker();  // joins the thread
  SearchWorker(const SearchWorker&) = delete;
  SearchWorker& operator=(const SearchWorker&) = delete;

  // Starts the worker loop; false when no thread could be started.
  bool Start();
  // Tests every unit of the block that was read and is to be scanned; collects the objects.
  void ParseBlock();

  // Fields of the worker.
  uint32_t Index;
  std::vector<uint8_t> Buffer;  // the block and the lookahead after it
  uint32_t BufferSize;          // the block's own bytes
  uint64_t BlockStart = 0;      // first cluster of the block now in the buffer
  std::thread Thread;
  CSearcher& Owner;
  FoundObject CurrentObject{};
  int32_t LastTypeId = 0;

  // Filled by ReadBlock: the bytes of the buffer that hold what the drive gave, from the
  // block's start (block and lookahead), the block's own bytes among them, and the runs of
  // 512-byte units inside that could not be read (first unit, count).
  uint32_t ReadableBytes = 0;
  uint32_t BlockBytesRead = 0;
  std::vector<std::pair<uint32_t, uint32_t>> UnreadableUnits;

  // Objects of a block that a stop kept from its turn; the scanner hands them over at the end.
  std::vector<FoundObject> Pending;

  // Guarded by the owner's lock.
  State WorkState = State::Idle;
  uint64_t Sequence = 0;  // the block's place in the order of hand-overs

 private:
  void Loop();
  void TestUnit(uint32_t unit);
  bool IsUnreadable(uint32_t unit, size_t& run) const;

  std::vector<FoundObject> found_;
};
