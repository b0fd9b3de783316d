// The probable-size question about one lost file, and what its answer comes to: the question's
// figures (the type's default size, the distances to the next found objects) taken from a
// volume's store, the unit in which a custom size is first offered, the reading of a custom
// size typed by the user, and the size an answer gives the file. The size dialog, the recovery
// thread and the command Set New Size share them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "recovery/recovery_prompter.h"

class CVolume;
class FileTypeDatabase;
class FoundObjectStore;
struct FoundObject;

// The byte positions and type identifiers of a store's found objects, in position order.
using ObjectPositions = std::vector<std::pair<int64_t, int16_t>>;

// Every found object with a position on the volume (files and folders alike; the nodes the
// store makes for its tree lie nowhere). Takes the store's lock while it reads.
ObjectPositions SortedObjectPositions(const FoundObjectStore& store);
// The distance from position to the next object after it (of type, when one is given); -1 when
// there is none.
int64_t DistanceToNextObject(const ObjectPositions& positions, int64_t position,
                             const int16_t* type = nullptr);

// The question about object, with its figures from types and positions.
SizeQuestion MakeSizeQuestion(const FoundObject& object, const FileTypeDatabase* types,
                              const ObjectPositions& positions);
// The same from the volume's store and file types (one walk of the store per call: for many
// objects, make the positions once and use the form above).
SizeQuestion MakeSizeQuestion(CVolume& volume, const FoundObject& object);

// The size an answer gives the file the question is about: the option's size (a distance that
// does not exist falls back to the type's default size), or -1 when the answer gives none (not
// OK, an unknown option, a default size that is not known, a custom size of 0 or less).
int64_t SizeForAnswer(const SizeQuestion& question, const SizeAnswer& answer);

// The units of a custom size, in the order of the dialog's list.
enum class CustomSizeUnit { Bytes = 0, KBytes = 1, MBytes = 2, GBytes = 3 };
constexpr int kCustomSizeUnitCount = 4;

int64_t UnitFactor(CustomSizeUnit unit);
// " B ", " KB", " MB", " GB".
const char16_t* UnitText(CustomSizeUnit unit);

struct CustomSize {
  int64_t Number = 0;
  CustomSizeUnit Unit = CustomSizeUnit::Bytes;
};
// A size in the largest unit it is above (3000000 bytes: 2 and " MB"); an unknown size as 0
// bytes.
CustomSize CustomSizeForBytes(int64_t bytes);

// A custom size as the user typed it: a whole number from 1 to 2147483647, blanks around it
// allowed, in the unit. Nothing for anything else (empty, not a number, 0 or less, too large).
std::optional<int64_t> ParseCustomSize(std::u16string_view text, CustomSizeUnit unit);
