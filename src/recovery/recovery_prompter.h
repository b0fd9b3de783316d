// The questions a recovery asks while it runs, answered by a front end: dialogs in the Windows
// program, flags in lumenard-cli, a script in the tests. Each question carries a copy of what
// it shows, so that an answer never has to read the store or the file types from another
// thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The probable-size question for a lost file whose size its content did not give.
struct SizeQuestion {
  std::u16string Name;
  std::u16string TypeName;   // empty when the type is unknown
  int64_t Position = 0;      // the file's byte position on the volume
  int64_t CurrentSize = -1;  // what the store holds now
  bool Deleted = true;
  int64_t TypicalBytes = 0;   // the type's default size; 0 when unknown
  int64_t DistanceAny = -1;   // to the next found object; -1 when there is none
  int64_t DistanceSame = -1;  // to the next found object of the same type; -1 when none
};

// Size options: 1 the type's default size, 2 the distance to the next object of any type,
// 3 the distance to the next object of the same type, 4 a size given in bytes.
constexpr int32_t kSizeDefault = 1;
constexpr int32_t kSizeNextAny = 2;
constexpr int32_t kSizeNextSame = 3;
constexpr int32_t kSizeCustom = 4;

enum class SizeEnd { Ok = 1, Cancel = 2, Skip = 5 };
enum class SizeScope { ThisFile = 0, ThisType = 1, AnyType = 2 };

struct SizeAnswer {
  SizeEnd End = SizeEnd::Cancel;
  int32_t Option = kSizeNextAny;
  SizeScope Scope = SizeScope::ThisFile;
  int64_t CustomBytes = 0;  // option 4 only; must be positive
};

// The destination lies on the disk being recovered from.
struct DestinationQuestion {
  std::u16string Destination;
  std::u16string SourceName;
  std::u16string Text;  // what the question says
};

class IRecoveryPrompter {
 public:
  virtual ~IRecoveryPrompter() = default;
  virtual SizeAnswer AskProbableSize(const SizeQuestion& question) = 0;
  // Another destination folder, or nothing to give the run up.
  virtual std::optional<std::u16string> AskOtherDestination(
      const DestinationQuestion& question) = 0;
  // "Delete temporary files?" for count copies of Try To Open.
  virtual bool AskDeleteTemporaryFiles(size_t count) = 0;
  // A message the user must see (a refused destination, a folder that cannot be made).
  virtual void ShowError(const std::u16string& text) = 0;
  // A stop was requested: every question being asked ends now, as cancelled. Called from the
  // thread that stops; later questions of the same run are not asked.
  virtual void Stop() {}
};
