// The file list's sort at the size of a large folder. It orders exactly as SortFoundList
// (folders first, then the column, equal records in the order they had), but compares keys
// copied next to each other instead of following two record pointers per comparison: with a
// million records scattered over the store's memory, those pointers, not the comparisons,
// cost the time. Names are keyed by their first units in lower case; only names that agree
// there are compared in full.
#pragma once

#include <vector>

#include "filesystems/found_object_view.h"

void SortFoundRows(std::vector<FoundObject*>& rows, FoundListColumn column, bool reversed);
