// NTFS run lists: the clusters of a non-resident attribute as runs of consecutive clusters
// (docs/formats/ntfs.md).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Clusters Lcn .. Lcn + Length - 1 hold the attribute's clusters FirstVcn .. LastVcn. A sparse
// run has no clusters on the volume: its data reads as zeros (Lcn keeps the decoder's value).
struct DataRun {
  int64_t Lcn = 0;
  uint64_t Length = 0;
  int32_t Sparse = 0;
  uint64_t FirstVcn = 0;
  uint64_t LastVcn = 0;
};

// Decodes the run list in bytes into runs, the first run starting at firstVcn. Stops at a
// header byte of 0 or the end of the bytes. False, with the reason in problem and the runs
// decoded so far kept, when a run is damaged: a field wider than 8 bytes, a length of 0, a
// cluster before the volume's start or at or past clusterCount (when not 0), or VCNs that
// overflow.
bool DecodeRunList(std::span<const uint8_t> bytes, uint64_t firstVcn, uint64_t clusterCount,
                   std::vector<DataRun>& runs, std::u16string& problem);

// Adds runs to a run list ordered by FirstVcn; a run whose VCNs the list already covers is
// dropped, so merging the same extent twice changes nothing.
void MergeRuns(std::vector<DataRun>& into, std::span<const DataRun> runs);

// The run that covers vcn, or null.
const DataRun* FindRun(std::span<const DataRun> runs, uint64_t vcn);
