#include "cli/recover_choice.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <unordered_set>

#include "cli/object_listing.h"
#include "filesystems/found_object_store.h"
#include "platform/text.h"
#include "volumes/volume.h"

namespace {

bool GlobAt(std::string_view glob, std::string_view path) {
  while (!glob.empty()) {
    if (glob.starts_with("**")) {
      glob.remove_prefix(2);
      for (size_t skip = 0; skip <= path.size(); ++skip)
        if (GlobAt(glob, path.substr(skip))) return true;
      return false;
    }
    if (glob.front() == '*') {
      glob.remove_prefix(1);
      for (size_t skip = 0; skip <= path.size(); ++skip) {
        if (GlobAt(glob, path.substr(skip))) return true;
        if (skip < path.size() && path[skip] == '/') break;
      }
      return false;
    }
    if (path.empty()) return false;
    if (glob.front() == '?' ? path.front() == '/' : glob.front() != path.front()) return false;
    glob.remove_prefix(1);
    path.remove_prefix(1);
  }
  return path.empty();
}

}  // namespace

bool GlobMatches(std::string_view glob, std::string_view path) { return GlobAt(glob, path); }

std::vector<FoundObject*> ChosenObjects(CVolume& volume, const RecoverChoice& choice) {
  FoundObjectStore& store = volume.Store;
  FoundObjectStore::Guard guard = store.Lock();
  const int32_t rootId = store.RootId();
  std::vector<FoundObject*> chosen;
  std::unordered_set<const FoundObject*> taken;
  auto take = [&](FoundObject* object) {
    if (IsListedObject(*object, rootId) && taken.insert(object).second) chosen.push_back(object);
  };
  const std::vector<FoundObject*> all = store.AllObjects();
  if (choice.all) {
    for (FoundObject* object : all) take(object);
  }
  for (int32_t id : choice.ids)
    for (FoundObject* object : store.FindAllById(id)) take(object);
  if (!choice.globs.empty()) {
    for (FoundObject* object : all) {
      if (!IsListedObject(*object, rootId)) continue;
      const std::string path = platform::Utf16ToUtf8(ListedObjectPath(store, *object));
      for (const std::string& glob : choice.globs)
        if (GlobMatches(glob, path)) {
          take(object);
          break;
        }
    }
  }
  // A live file keeps its name; a deleted one of the same name becomes "name (1)".
  std::stable_partition(chosen.begin(), chosen.end(),
                        [](const FoundObject* object) { return !(object->Flags & FoundDeleted); });
  return chosen;
}

std::optional<SizeAnswer> ParseUnknownSize(std::string_view text) {
  SizeAnswer answer;
  answer.End = SizeEnd::Ok;
  answer.Scope = SizeScope::AnyType;
  if (text == "next") {
    answer.Option = kSizeNextAny;
  } else if (text == "next-same") {
    answer.Option = kSizeNextSame;
  } else if (text == "default") {
    answer.Option = kSizeDefault;
  } else if (text == "skip") {
    answer.End = SizeEnd::Skip;
  } else {
    uint64_t factor = 1;
    if (!text.empty()) {
      switch (text.back()) {
        case 'K':
        case 'k':
          factor = uint64_t{1} << 10;
          break;
        case 'M':
        case 'm':
          factor = uint64_t{1} << 20;
          break;
        case 'G':
        case 'g':
          factor = uint64_t{1} << 30;
          break;
        default:
          break;
      }
      if (factor != 1) text.remove_suffix(1);
    }
    uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || number == 0 ||
        number > static_cast<uint64_t>(INT64_MAX) / factor)
      return std::nullopt;
    answer.Option = kSizeCustom;
    answer.CustomBytes = static_cast<int64_t>(number * factor);
  }
  return answer;
}

void CliPrompter::ShowError(const std::u16string& text) {
  std::cerr << "lumenard-cli: " << platform::Utf16ToUtf8(text) << '\n';
}
