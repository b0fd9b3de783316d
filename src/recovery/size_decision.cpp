#include "recovery/size_decision.h"

#include <algorithm>

#include "recovery/recovery.h"
#include "recovery/recovery_log.h"
#include "recovery/size_question.h"
#include "signatures/file_types.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace {

constexpr int64_t kKiB = 1024;

const FileTypeDatabase* Types(CRecovery& job) {
  return g_pFileTypes ? g_pFileTypes : &job.Computer().FileTypes;
}

// The volume's object positions in order, made once per run from the store: the size question
// of a run of many lost files would otherwise walk the store for each.
const ObjectPositions& Positions(CRecovery& job) {
  CRecovery::RunState& run = job.Run;
  if (run.PositionsMade) return run.Positions;
  run.PositionsMade = true;
  run.Positions = SortedObjectPositions(job.SourceVolume->Store);
  return run.Positions;
}

int64_t DistanceToNext(CRecovery& job, int64_t position, const int16_t* type) {
  return DistanceToNextObject(Positions(job), position, type);
}

int64_t TypicalBytes(const FileType* type) {
  return type && type->TypicalSizeKB > 0 ? int64_t{type->TypicalSizeKB} * kKiB : 0;
}

struct SizeContext {
  const FileType* type = nullptr;
  int64_t typical = 0;
  int64_t nextAny = -1;
  int64_t nextSame = -1;
};

SizeContext ContextOf(CRecovery& job, FoundObject& copy) {
  SizeContext context;
  context.type = Types(job)->TypeOfObject(copy);
  context.typical = TypicalBytes(context.type);
  context.nextAny = DistanceToNext(job, copy.Start, nullptr);
  context.nextSame = DistanceToNext(job, copy.Start, &copy.FileTypeId);
  return context;
}

// The size an option gives; options 2 and 3 fall back to the default size.
int64_t SizeOfOption(const SizeContext& context, int32_t option, int64_t customBytes) {
  switch (option) {
    case kSizeNextAny:
      return context.nextAny > 0 ? context.nextAny : context.typical;
    case kSizeNextSame:
      return context.nextSame > 0 ? context.nextSame : context.typical;
    case kSizeCustom:
      return customBytes > 0 ? customBytes : -1;
    default:
      return context.typical;
  }
}

SizeQuestion QuestionOf(const FoundObject& copy, const SizeContext& context) {
  SizeQuestion question;
  if (copy.Name) question.Name = copy.Name;
  if (context.type) question.TypeName = context.type->Description;
  question.Position = copy.Start;
  question.CurrentSize = copy.Size;
  question.Deleted = (copy.Flags & FoundDeleted) != 0;
  question.TypicalBytes = context.typical;
  question.DistanceAny = context.nextAny;
  question.DistanceSame = context.nextSame;
  return question;
}

// Remembers an answer for later files: of the type, or of any type.
void Remember(CRecovery& job, FileType* type, const SizeAnswer& answer) {
  if (answer.Scope == SizeScope::AnyType) {
    job.SizeAllBytes = answer.CustomBytes;
    job.SizeModeAll = answer.Option;
  } else if (answer.Scope == SizeScope::ThisType && type) {
    {
      std::lock_guard lock(job.Run.Lock);
      job.Run.TypeCustomBytes[type->TypeId] = answer.CustomBytes;
    }
    type->RememberedSizeOption = answer.Option;
  }
}

SizeDecision Ask(CRecovery& job, FoundObject& copy, const SizeContext& context, int64_t& size) {
  const std::u16string name = copy.Name ? copy.Name : u"";
  IRecoveryPrompter* prompter = job.Prompter();
  SizeAnswer answer;
  // A stop answers the question before it is asked.
  if (prompter && job.Status().RecoveryContinue != 0)
    answer = prompter->AskProbableSize(QuestionOf(copy, context));
  if (job.Status().RecoveryContinue == 0) answer.End = SizeEnd::Cancel;
  if (answer.End == SizeEnd::Skip) {
    recovery_log::Line(LogLevelError, kTextSkipped, name);
    return SizeDecision::Skip;
  }
  if (answer.End != SizeEnd::Ok || answer.Option < kSizeDefault || answer.Option > kSizeCustom) {
    recovery_log::Line(LogLevelError, kTextCancelled, name);
    return SizeDecision::Cancel;
  }
  if (answer.Option == kSizeCustom && answer.CustomBytes <= 0) {
    recovery_log::Text(LogLevelError,
                       u"FileRecovery: File '%s': the custom size %I64d is not a size", name,
                       answer.CustomBytes);
    return SizeDecision::Skip;
  }
  size = SizeOfOption(context, answer.Option, answer.CustomBytes);
  Remember(job, const_cast<FileType*>(context.type), answer);
  return SizeDecision::Sized;
}

}  // namespace

SizeDecision DecideSize(CRecovery& job, FoundObject& stored, FoundObject& copy) {
  const SizeContext context = ContextOf(job, copy);
  int64_t size = copy.Size;
  const int32_t all = job.SizeModeAll;
  if (all != 0) {
    size = SizeOfOption(context, all, job.SizeAllBytes);
  } else if (context.type && context.type->RememberedSizeOption != 0) {
    int64_t custom = -1;
    {
      std::lock_guard lock(job.Run.Lock);
      auto found = job.Run.TypeCustomBytes.find(context.type->TypeId);
      if (found != job.Run.TypeCustomBytes.end()) custom = found->second;
    }
    size = SizeOfOption(context, context.type->RememberedSizeOption, custom);
  } else {
    const SizeDecision decision = Ask(job, copy, context, size);
    if (decision != SizeDecision::Sized) return decision;
  }
  copy.Size = size;
  FoundObjectStore::Guard guard = job.SourceVolume->Store.Lock();
  stored.Size = size;
  return SizeDecision::Sized;
}
