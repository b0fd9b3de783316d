#include "cli/object_listing.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <ostream>

#include "cli/progress.h"
#include "filesystems/found_object.h"
#include "filesystems/found_object_store.h"
#include "filesystems/invented_nodes.h"
#include "platform/text.h"
#include "platform/time.h"
#include "volumes/volume.h"

namespace {

// A name as one path component, as the store writes folder names in paths.
std::u16string NameComponent(const FoundObject& object) {
  if (!object.Name || !object.Name[0])
    return u"unnamed_" + platform::Utf8ToUtf16(std::to_string(object.Id));
  std::u16string name;
  AppendPathComponent(name, object.Name);
  return name;
}

bool IsRow(const FoundObject& object, int32_t rootId) {
  if (object.Flags & FoundDriveNode) return false;
  // "Lost folders", "Lost files" and the file-type group folders.
  if (object.Id < 0) return false;
  return !((object.Flags & FoundFolder) && object.Id == rootId);
}

std::u16string ObjectPath(const FoundObjectStore& store, const FoundObject& object) {
  std::u16string folder = store.GetObjectFolderPath(object, 0);
  if (!folder.empty() && folder.front() == u'\\')
    folder.erase(0, 1);
  else
    folder = InventedNodePrefix(store, object, u'/') + folder;
  std::replace(folder.begin(), folder.end(), u'\\', u'/');
  return folder + NameComponent(object);
}

// Orders paths byte by byte with '/' taken as 1, so that a folder's path comes right before
// the paths below it. Compares in place: a copy per comparison costs most of a big listing.
// Paths share long beginnings, which are passed 8 bytes at a time.
bool PathBefore(const std::string& a, const std::string& b) {
  auto rank = [](char c) { return c == '/' ? 1u : static_cast<unsigned char>(c); };
  const size_t common = std::min(a.size(), b.size());
  size_t i = 0;
  while (i + 8 <= common && std::memcmp(a.data() + i, b.data() + i, 8) == 0) i += 8;
  for (; i < common; ++i)
    if (rank(a[i]) != rank(b[i])) return rank(a[i]) < rank(b[i]);
  return a.size() < b.size();
}

std::string Escaped(const std::string& text, bool json) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (json && (c == '"' || c == '\\')) {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      if (!json) {
        out += ' ';
        continue;
      }
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string ParentPath(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

bool IsListedObject(const FoundObject& object, int32_t rootId) { return IsRow(object, rootId); }

std::u16string ListedObjectPath(const FoundObjectStore& store, const FoundObject& object) {
  return ObjectPath(store, object);
}

std::vector<ObjectRow> ListObjects(CVolume& volume, RowFilter filter) {
  std::vector<ObjectRow> rows;
  FoundObjectStore& store = volume.Store;
  {
    FoundObjectStore::Guard guard = store.Lock();
    const int32_t rootId = store.RootId();
    for (const FoundObject* object : store.AllObjects()) {
      if (!IsRow(*object, rootId)) continue;
      const bool deleted = (object->Flags & FoundDeleted) != 0;
      if (filter == RowFilter::DeletedOnly && !deleted) continue;
      ObjectRow row;
      row.volumeOffset = volume.StartOffset;
      row.deleted = deleted;
      row.folder = (object->Flags & FoundFolder) != 0;
      row.lost = !row.folder && (object->Flags & FoundLost) != 0;
      row.id = object->Id;
      row.parentId = object->ParentId;
      row.size = object->Size;
      row.start = object->Start;
      row.created = object->Created;
      row.modified = object->Modified;
      row.path = platform::Utf16ToUtf8(ObjectPath(store, *object));
      rows.push_back(std::move(row));
    }
  }
  std::stable_sort(rows.begin(), rows.end(), [](const ObjectRow& a, const ObjectRow& b) {
    return PathBefore(a.path, b.path);
  });
  return rows;
}

namespace {
const char* const kObjectColumns[] = {"volume_offset", "state", "kind",    "id",       "parent_id",
                                      "size",          "start", "created", "modified", "path"};
}  // namespace

void WriteTsvHeader(std::ostream& out) {
  for (size_t i = 0; i < std::size(kObjectColumns); ++i)
    out << (i ? "\t" : "") << kObjectColumns[i];
  out << '\n';
}

namespace {
template <typename Number>
void AppendNumber(std::string& text, Number value) {
  char digits[24];
  text.append(digits, std::to_chars(digits, std::end(digits), value).ptr);
}
}  // namespace

// The lines are gathered and written in large pieces: a stream insertion per field costs more
// than the analysis itself on a volume of many files.
void WriteTsvRows(std::ostream& out, const std::vector<ObjectRow>& rows) {
  constexpr size_t kPieceBytes = 1 << 16;
  std::string text;
  text.reserve(kPieceBytes + 1024);
  for (const ObjectRow& row : rows) {
    AppendNumber(text, row.volumeOffset);
    text += '\t';
    text += RowState(row);
    text += '\t';
    text += row.folder ? "folder\t" : "file\t";
    for (int64_t number : {int64_t{row.id}, int64_t{row.parentId}, row.size, row.start}) {
      AppendNumber(text, number);
      text += '\t';
    }
    AppendNumber(text, row.created);
    text += '\t';
    AppendNumber(text, row.modified);
    text += '\t';
    const bool plain = std::none_of(row.path.begin(), row.path.end(),
                                    [](unsigned char c) { return c < 0x20 || c == 0x7F; });
    text += plain ? row.path : Escaped(row.path, false);
    text += '\n';
    if (text.size() >= kPieceBytes) {
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      text.clear();
    }
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string JsonObject(const ObjectRow& row) {
  std::string text = "{";
  auto field = [&](const char* name, const std::string& value, bool quoted) {
    if (text.size() > 1) text += ", ";
    text += std::string("\"") + name + "\": ";
    text += quoted ? "\"" + value + "\"" : value;
  };
  field("volume_offset", std::to_string(row.volumeOffset), false);
  field("state", RowState(row), true);
  field("kind", row.folder ? "folder" : "file", true);
  field("id", std::to_string(row.id), false);
  field("parent_id", std::to_string(row.parentId), false);
  field("size", std::to_string(row.size), false);
  field("start", std::to_string(row.start), false);
  field("created", std::to_string(row.created), false);
  field("modified", std::to_string(row.modified), false);
  field("path", Escaped(row.path, true), true);
  return text + "}";
}

const char* RowState(const ObjectRow& row) {
  if (row.lost) return "lost";
  return row.deleted ? "deleted" : "live";
}

std::string FileTimeText(uint64_t fileTime) {
  if (fileTime == 0) return "-";
  using namespace std::chrono;
  const sys_seconds time{seconds{platform::FileTimeToUnixTime(fileTime)}};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{time - day};
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02ld:%02ld:%02ld",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<long>(clock.hours().count()),
                static_cast<long>(clock.minutes().count()),
                static_cast<long>(clock.seconds().count()));
  return text;
}

// Each row below the nearest folder printed above it: a deleted file whose folder is live
// (and so not listed with --deleted-only) keeps the rest of its path on its line.
void WriteTree(std::ostream& out, const std::string& heading, const std::vector<ObjectRow>& rows) {
  out << heading << '\n';
  std::map<std::string, size_t> shownFolders;  // path -> depth
  for (const ObjectRow& row : rows) {
    size_t depth = 0;
    std::string label = row.path;
    for (std::string folder = ParentPath(row.path); !folder.empty(); folder = ParentPath(folder)) {
      auto shown = shownFolders.find(folder);
      if (shown == shownFolders.end()) continue;
      depth = shown->second + 1;
      label = row.path.substr(folder.size() + 1);
      break;
    }
    if (row.folder) shownFolders[row.path] = depth;
    out << std::string(2 * (depth + 1), ' ') << Escaped(label, false);
    if (row.folder)
      out << '/';
    else
      out << "  "
          << (row.size < 0 ? "size unknown" : FormatByteSize(static_cast<uint64_t>(row.size)))
          << "  " << FileTimeText(row.modified);
    if (row.lost)
      out << "  (lost)";
    else if (row.deleted)
      out << "  (deleted)";
    out << '\n';
  }
}
