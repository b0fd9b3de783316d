// Where an analyser hands every object it finds. The analysis driver stores them in the drive's
// found-object store and counts them; tests collect them.
#pragma once

#include "filesystems/found_object.h"

class IFoundObjectSink {
 public:
  virtual ~IFoundObjectSink() = default;
  // The record is the analyser's scratch record: the receiver copies what it keeps.
  virtual void OnFoundObject(const FoundObject& record) = 0;
};
