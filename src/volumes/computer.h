// The computer object: the root of everything the program knows about the machine. It holds
// the log and the file-type database, and hands out the identifiers of the drive nodes.
// One per process, created at startup, never destroyed, reached through g_pComputer.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/log.h"
#include "signatures/file_types.h"

class CLocalComputer {
 public:
  CLocalComputer();
  virtual ~CLocalComputer();
  CLocalComputer(const CLocalComputer&) = delete;
  CLocalComputer& operator=(const CLocalComputer&) = delete;

  // The drive list (CVolumesList), the filter record, the analysis queue and status, the
  // selected, analysed and shown volumes, the computer and recycle-bin nodes and the two
  // recovery jobs join this object with the drive-enumeration, filter, analysis and recovery
  // work.

  CLog Log;
  FileTypeDatabase FileTypes;

  // Identifiers of drive nodes: -31, -32, ... Safe to call from any thread.
  int32_t NextRecordId() { return nextVolumeId_.fetch_sub(1) - 1; }

 private:
  std::atomic<int32_t> nextVolumeId_{-30};
};

// Creates the process's computer object and sets g_pComputer, g_pLog and g_pFileTypes.
CLocalComputer* CreateLocalComputer();

extern CLocalComputer* g_pComputer;
