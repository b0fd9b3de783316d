// What Reset Size and Set New Size do to the files of a selection: the unknown size, or the
// size that the answer to the probable-size question gives each file (its own distance to the
// next found object, its own type's default size, or the custom size). Under the store's lock.
#pragma once

#include <vector>

#include "recovery/recovery_prompter.h"

class FileTypeDatabase;
class FoundObjectStore;
struct FoundObject;

namespace ui {

void ResetSizes(FoundObjectStore& store, const std::vector<FoundObject*>& files);
// The question about the first file, with its figures from the store.
SizeQuestion FirstSizeQuestion(FoundObjectStore& store, const std::vector<FoundObject*>& files,
                               const FileTypeDatabase* types);
// A file that the answer gives no size keeps its own. Returns the number of files changed.
int ApplySizeAnswer(FoundObjectStore& store, const std::vector<FoundObject*>& files,
                    const SizeAnswer& answer, const FileTypeDatabase* types);

}  // namespace ui
