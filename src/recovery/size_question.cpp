#include "recovery/size_question.h"

#include <algorithm>
#include <limits>

#include "filesystems/found_object_store.h"
#include "signatures/file_types.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace {

constexpr int64_t kKiB = 1024;
constexpr int64_t kMiB = 1024 * kKiB;
constexpr int64_t kGiB = 1024 * kMiB;

int64_t TypicalBytes(const FileType* type) {
  return type && type->TypicalSizeKB > 0 ? int64_t{type->TypicalSizeKB} * kKiB : 0;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

ObjectPositions SortedObjectPositions(const FoundObjectStore& store) {
  ObjectPositions positions;
  FoundObjectStore::Guard guard = store.Lock();
  for (const FoundObject* object : store.AllObjects())
    if (!(object->Flags & FoundDriveNode) && object->Id >= 0 && object->Start > 0)
      positions.emplace_back(object->Start, object->FileTypeId);
  std::sort(positions.begin(), positions.end());
  return positions;
}

int64_t DistanceToNextObject(const ObjectPositions& positions, int64_t position,
                             const int16_t* type) {
  auto next = std::upper_bound(positions.begin(), positions.end(),
                               std::make_pair(position, std::numeric_limits<int16_t>::max()));
  for (; next != positions.end(); ++next)
    if (next->first > position && (!type || next->second == *type)) return next->first - position;
  return -1;
}

SizeQuestion MakeSizeQuestion(const FoundObject& object, const FileTypeDatabase* types,
                              const ObjectPositions& positions) {
  SizeQuestion question;
  // The lookup by the name's extension takes a record it does not change.
  const FileType* type = types ? types->TypeOfObject(const_cast<FoundObject&>(object)) : nullptr;
  if (object.Name) question.Name = object.Name;
  if (type) question.TypeName = std::u16string(type->DescriptionText());
  question.Position = object.Start;
  question.CurrentSize = object.Size;
  question.Deleted = (object.Flags & FoundDeleted) != 0;
  question.TypicalBytes = TypicalBytes(type);
  question.DistanceAny = DistanceToNextObject(positions, object.Start);
  question.DistanceSame = DistanceToNextObject(positions, object.Start, &object.FileTypeId);
  return question;
}

SizeQuestion MakeSizeQuestion(CVolume& volume, const FoundObject& object) {
  const ObjectPositions positions = SortedObjectPositions(volume.Store);
  const FileTypeDatabase* types = g_pFileTypes;
  if (!types && g_pComputer) types = &g_pComputer->FileTypes;
  FoundObjectStore::Guard guard = volume.Store.Lock();
  return MakeSizeQuestion(object, types, positions);
}

int64_t SizeForAnswer(const SizeQuestion& question, const SizeAnswer& answer) {
  if (answer.End != SizeEnd::Ok) return -1;
  const int64_t typical = question.TypicalBytes > 0 ? question.TypicalBytes : -1;
  switch (answer.Option) {
    case kSizeDefault:
      return typical;
    case kSizeNextAny:
      return question.DistanceAny > 0 ? question.DistanceAny : typical;
    case kSizeNextSame:
      return question.DistanceSame > 0 ? question.DistanceSame : typical;
    case kSizeCustom:
      return answer.CustomBytes > 0 ? answer.CustomBytes : -1;
    default:
      return -1;
  }
}

int64_t UnitFactor(CustomSizeUnit unit) {
  switch (unit) {
    case CustomSizeUnit::KBytes:
      return kKiB;
    case CustomSizeUnit::MBytes:
      return kMiB;
    case CustomSizeUnit::GBytes:
      return kGiB;
    default:
      return 1;
  }
}

const char16_t* UnitText(CustomSizeUnit unit) {
  switch (unit) {
    case CustomSizeUnit::KBytes:
      return u" KB";
    case CustomSizeUnit::MBytes:
      return u" MB";
    case CustomSizeUnit::GBytes:
      return u" GB";
    default:
      return u" B ";
  }
}

CustomSize CustomSizeForBytes(int64_t bytes) {
  if (bytes <= 0) return {};
  for (CustomSizeUnit unit :
       {CustomSizeUnit::GBytes, CustomSizeUnit::MBytes, CustomSizeUnit::KBytes})
    if (bytes > UnitFactor(unit)) return {bytes / UnitFactor(unit), unit};
  return {bytes, CustomSizeUnit::Bytes};
}

std::optional<int64_t> ParseCustomSize(std::u16string_view text, CustomSizeUnit unit) {
  size_t first = 0;
  size_t end = text.size();
  while (first < end && IsBlank(text[first])) ++first;
  while (end > first && IsBlank(text[end - 1])) --end;
  if (first < end && text[first] == u'+') ++first;
  if (first == end) return std::nullopt;
  int64_t number = 0;
  for (size_t i = first; i < end; ++i) {
    const char16_t c = text[i];
    if (c < u'0' || c > u'9') return std::nullopt;
    number = number * 10 + (c - u'0');
    if (number > std::numeric_limits<int32_t>::max()) return std::nullopt;
  }
  if (number <= 0) return std::nullopt;
  return number * UnitFactor(unit);
}
