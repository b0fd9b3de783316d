#include "ui/dialogs/found_object_info_dlg.h"

#include <shellapi.h>

#include <utility>

#include "filesystems/found_object_store.h"
#include "platform/text.h"
#include "resources/explorer_dialogs.h"
#include "signatures/file_types.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace ui {

namespace {

// The shell's type name of a file by its name alone: nothing on the drive is opened.
std::u16string ShellTypeOf(std::u16string_view name, uint16_t attributes) {
  const std::u16string path(name);
  SHFILEINFOW info{};
  const DWORD fileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  if (!::SHGetFileInfoW(platform::W(path.c_str()), fileAttributes, &info, sizeof(info),
                        SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES))
    return {};
  info.szTypeName[std::size(info.szTypeName) - 1] = L'\0';
  return platform::U(info.szTypeName);
}

const FileTypeDatabase* FileTypes() {
  if (g_pFileTypes) return g_pFileTypes;
  return g_pComputer ? &g_pComputer->FileTypes : nullptr;
}

}  // namespace

CFoundObjectInfoDlg::CFoundObjectInfoDlg(FoundObjectProperties properties)
    : CDialog(IDD_FILE_INFORMATION), properties_(std::move(properties)) {}

bool CFoundObjectInfoDlg::OnInit() {
  const FoundObjectProperties& p = properties_;
  const std::pair<int, const std::u16string*> fields[] = {
      {IDC_INFO_NAME, &p.Name},          {IDC_INFO_ID, &p.Id},
      {IDC_INFO_PARENT_ID, &p.ParentId}, {IDC_INFO_OFFSET, &p.Start},
      {IDC_INFO_SIZE, &p.Size},          {IDC_INFO_SIZE_ON_DISK, &p.SizeOnDisk},
      {IDC_INFO_TYPE, &p.Type},          {IDC_INFO_SIGNATURE, &p.TypeTitle},
      {IDC_INFO_STATUS, &p.State},       {IDC_INFO_LOCATION, &p.Folder},
      {IDC_INFO_CREATED, &p.Created},    {IDC_INFO_MODIFIED, &p.Modified},
      {IDC_INFO_ACCESSED, &p.Accessed},
  };
  for (const auto& [id, text] : fields) CWindow(Item(id)).SetText(*text);
  return true;
}

FoundObjectProperties PropertiesOfFoundObject(CVolume& volume, const FoundObject& object) {
  FoundPropertyContext context;
  context.BytesPerCluster = volume.BytesPerCluster;
  context.FileTypes = FileTypes();
  context.ShellType = ShellTypeOf;
  FoundObjectStore::Guard guard = volume.Store.Lock();
  context.FolderPath = volume.GetObjectFolderPath(object);
  return DescribeFoundObject(object, context);
}

void ShowFoundObjectInformation(HWND parent, CVolume& volume, const FoundObject& object) {
  CFoundObjectInfoDlg dialog(PropertiesOfFoundObject(volume, object));
  dialog.DoModal(parent);
}

}  // namespace ui
