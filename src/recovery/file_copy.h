// The copy of one object's data into its target file.
#pragma once

#include <cstdint>
#include <string>

#include "recovery/recovery.h"

// Copies the object's data, up to its size, into a new file at target, in pieces of the job's
// buffer. A stretch that cannot be read is written as zeros at its own offset and makes the
// copy incomplete; the copy never reads past the end of the volume. A full destination stops
// the run (the job's DiskFull). Returns the bytes written; outcome says how it ended.
int64_t CopyObjectData(CRecovery& job, const FoundObject& object, const std::u16string& target,
                       RecoveryOutcome& outcome);
