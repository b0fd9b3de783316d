// How a found object is presented in the file list, the folder tree and the properties: size
// and date texts, icon numbers, property values and the list order. Pure functions over
// records; the views own the drawing. The shell's type name belongs to the window system, so
// callers pass it in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "filesystems/found_object.h"

class FileTypeDatabase;

// The shell's type name of a file by its name and attributes ("JPEG image"); may be empty.
using ShellTypeName = std::function<std::u16string(std::u16string_view name, uint16_t attributes)>;

// The list's columns; the type and folder columns sort by name.
enum class FoundListColumn { Name, Size, Type, Date, Folder };

// Folders: empty. Unknown: "unknown". Else GB, MB or KB above 2^30, 2^20 and 1024 bytes
// (integer division), otherwise the byte count.
std::u16string FoundSizeText(const FoundObject& record);
// The list's date column: Created as local date and time, empty when 0.
std::u16string FoundDateText(const FoundObject& record);
// Folders: "Folder"; files: the shell's type name.
std::u16string FoundTypeText(const FoundObject& record, const ShellTypeName& shellTypeName);

// The image-list number of a record in the file list.
int FoundIconNumber(const FoundObject& record, int32_t rootId);
// The tree's number: an expanded folder shows the next picture (an open folder), except the
// root folder and the group folders under "Lost files".
int FoundTreeIconNumber(const FoundObject& record, int32_t rootId, bool expanded);

// What the properties dialog and the object information pane show, as texts.
struct FoundObjectProperties {
  std::u16string State;  // "Deleted" or "Live"
  std::u16string Id;
  std::u16string ParentId;
  std::u16string Name;
  std::u16string Type;
  std::u16string TypeTitle;  // the file type's title, for an object without a name
  std::u16string Folder;
  std::u16string Start;
  std::u16string Size;
  std::u16string SizeOnDisk;
  std::u16string Created;
  std::u16string Modified;
  std::u16string Accessed;
};

struct FoundPropertyContext {
  uint32_t BytesPerCluster = 0;  // of the drive; 0 leaves the size on disk as the size
  std::u16string FolderPath;     // GetObjectFolderPath of the object
  const FileTypeDatabase* FileTypes = nullptr;
  ShellTypeName ShellType;
};

FoundObjectProperties DescribeFoundObject(const FoundObject& record,
                                          const FoundPropertyContext& context);

// The size rounded up to whole clusters; an unknown or empty size stays as it is.
int64_t SizeOnDisk(int64_t size, uint32_t bytesPerCluster);
// A FILETIME as local date and time, or "unknown" when 0.
std::u16string FoundTimeText(platform::FileTime time);

// The list order: folders before files, then by the column. With reversed clear names
// ascend while sizes and dates descend; set turns all three round.
bool FoundListLess(const FoundObject& a, const FoundObject& b, FoundListColumn column,
                   bool reversed);
// Sorts keeping the store's order among equal records.
void SortFoundList(std::vector<FoundObject*>& list, FoundListColumn column, bool reversed);
