// What lumenard-cli analyse prints: the files and folders in a volume's found-object store, one
// row each, as tab-separated lines for scripts, as JSON, or as an indented tree for people.
//
// The rows are what the drive holds: real files and folders, live or deleted, the
// placeholders under "Lost folders" for folders that are gone, and the lost files the sector
// scan found (under "Lost files", in a folder per file-type group). The drive's own record, the
// root folder and the store's other nodes are not rows. Paths run from the volume's root with
// '/' between names; a '/' or '\' inside a name becomes '_', as in recovered paths.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

class CVolume;
class FoundObjectStore;
struct FoundObject;

struct ObjectRow {
  uint64_t volumeOffset = 0;  // bytes from the start of the disk or image
  bool deleted = false;
  bool lost = false;  // found by the sector scan, under "Lost files"
  bool folder = false;
  int32_t id = 0;
  int32_t parentId = 0;
  int64_t size = 0;      // -1 when unknown
  int64_t start = 0;     // byte position of the data on the volume
  uint64_t created = 0;  // FILETIME, 0 when unknown
  uint64_t modified = 0;
  std::string path;  // UTF-8
};

enum class RowFilter { All, DeletedOnly };

// The rows of the volume's store, sorted by path (a folder before what it holds).
std::vector<ObjectRow> ListObjects(CVolume& volume, RowFilter filter);

// Whether the object is a row of the listing, and its path there (UTF-16, '/' between names),
// for a caller that holds the store's lock. The recovery recreates these paths.
bool IsListedObject(const FoundObject& object, int32_t rootId);
std::u16string ListedObjectPath(const FoundObjectStore& store, const FoundObject& object);

// The header line of the tab-separated form: the column names in order.
void WriteTsvHeader(std::ostream& out);
// One line per row; a tab, line break or other control character inside a path is written as
// a space, so that every row stays one line of ten fields.
void WriteTsvRows(std::ostream& out, const std::vector<ObjectRow>& rows);
// One JSON object per row, with the tab-separated form's fields and names ("state": "live",
// "deleted" or "lost", "kind": "file" or "folder").
std::string JsonObject(const ObjectRow& row);
// The rows indented by folder depth under a heading line: name, size, time of last change
// (UTC) and "deleted" for what was deleted.
void WriteTree(std::ostream& out, const std::string& heading, const std::vector<ObjectRow>& rows);

// "2010-01-02 03:04:05" (UTC); "-" for 0.
std::string FileTimeText(uint64_t fileTime);
// "live", "deleted" or "lost".
const char* RowState(const ObjectRow& row);
