#include "filesystems/ntfs_runs.h"

#include <algorithm>

namespace {

// A little-endian field of width bytes; sign-extended when asked.
int64_t ReadVarField(std::span<const uint8_t> bytes, size_t offset, size_t width, bool isSigned) {
  uint64_t value = 0;
  for (size_t n = width; n-- > 0;) value = value << 8 | bytes[offset + n];
  if (isSigned && width < 8 && (bytes[offset + width - 1] & 0x80) != 0)
    value |= ~uint64_t{0} << (width * 8);
  return static_cast<int64_t>(value);
}

}  // namespace

bool DecodeRunList(std::span<const uint8_t> bytes, uint64_t firstVcn, uint64_t clusterCount,
                   std::vector<DataRun>& runs, std::u16string& problem) {
  uint64_t vcn = firstVcn;
  int64_t previous = 0;
  size_t at = 0;
  while (at < bytes.size() && bytes[at] != 0) {
    const size_t lengthBytes = bytes[at] & 0x0F;
    const size_t offsetBytes = bytes[at] >> 4;
    if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8) {
      problem = u"a run's header byte names fields of 0 or more than 8 bytes";
      return false;
    }
    if (bytes.size() - at - 1 < lengthBytes + offsetBytes) {
      problem = u"a run runs past the end of its attribute";
      return false;
    }
    const int64_t length = ReadVarField(bytes, at + 1, lengthBytes, false);
    if (length <= 0) {
      problem = u"a run has a length of 0";
      return false;
    }
    DataRun run;
    run.Length = static_cast<uint64_t>(length);
    run.FirstVcn = vcn;
    if (run.Length - 1 > UINT64_MAX - vcn) {
      problem = u"the runs' cluster numbers overflow";
      return false;
    }
    run.LastVcn = vcn + run.Length - 1;
    if (offsetBytes == 0) {
      run.Sparse = 1;
      run.Lcn = previous;
    } else {
      const int64_t delta = ReadVarField(bytes, at + 1 + lengthBytes, offsetBytes, true);
      const int64_t lcn = static_cast<int64_t>(static_cast<uint64_t>(previous) +
                                               static_cast<uint64_t>(delta));
      const bool outside = lcn < 0 || (clusterCount != 0 &&
                                       (static_cast<uint64_t>(lcn) >= clusterCount ||
                                        run.Length > clusterCount - static_cast<uint64_t>(lcn)));
      if (outside) {
        problem = u"a run points outside the volume";
        return false;
      }
      run.Lcn = lcn;
      previous = lcn;
    }
    runs.push_back(run);
    if (run.LastVcn == UINT64_MAX) break;
    vcn = run.LastVcn + 1;
    at += 1 + lengthBytes + offsetBytes;
  }
  return true;
}

void MergeRuns(std::vector<DataRun>& into, std::span<const DataRun> runs) {
  for (const DataRun& run : runs) {
    // Runs mostly come in VCN order, each after all the others.
    if (into.empty() || run.FirstVcn > into.back().LastVcn) {
      into.push_back(run);
      continue;
    }
    if (FindRun(into, run.FirstVcn) || FindRun(into, run.LastVcn)) continue;
    auto place = std::upper_bound(into.begin(), into.end(), run.FirstVcn,
                                  [](uint64_t vcn, const DataRun& r) { return vcn < r.FirstVcn; });
    if (place != into.end() && place->FirstVcn <= run.LastVcn) continue;
    into.insert(place, run);
  }
}

const DataRun* FindRun(std::span<const DataRun> runs, uint64_t vcn) {
  auto after = std::upper_bound(runs.begin(), runs.end(), vcn,
                                [](uint64_t v, const DataRun& r) { return v < r.FirstVcn; });
  if (after == runs.begin()) return nullptr;
  const DataRun& run = *(after - 1);
  return vcn <= run.LastVcn ? &run : nullptr;
}
