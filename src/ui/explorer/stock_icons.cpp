#include "ui/explorer/stock_icons.h"

#include <shellapi.h>
#include <shlobj.h>

namespace {

HICON IconOfPath(const wchar_t* path, DWORD attributes, UINT flags) {
  SHFILEINFOW info{};
  if (!::SHGetFileInfoW(path, attributes, &info, sizeof(info),
                        flags | SHGFI_ICON | SHGFI_SMALLICON))
    return nullptr;
  return info.hIcon;
}

HICON IconOfSpecialFolder(int folder) {
  PIDLIST_ABSOLUTE location = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, folder, &location))) return nullptr;
  HICON icon = IconOfPath(reinterpret_cast<const wchar_t*>(location), 0, SHGFI_PIDL);
  ::CoTaskMemFree(location);
  return icon;
}

// A name that needs not exist: the shell answers from the attributes and the extension.
HICON IconOfKind(const wchar_t* name, DWORD attributes) {
  return IconOfPath(name, attributes, SHGFI_USEFILEATTRIBUTES);
}

HICON StockIcon(SHSTOCKICONID id) {
  SHSTOCKICONINFO info{};
  info.cbSize = sizeof(info);
  if (FAILED(::SHGetStockIconInfo(id, SHGSI_ICON | SHGSI_SMALLICON, &info))) return nullptr;
  return info.hIcon;
}

HICON FindIcon(ShellIcon which) {
  switch (which) {
    case ShellIcon::Computer:
      return IconOfSpecialFolder(CSIDL_DRIVES);
    case ShellIcon::RecycleBin:
      return IconOfSpecialFolder(CSIDL_BITBUCKET);
    case ShellIcon::FixedDrive:
      if (HICON icon = StockIcon(SIID_DRIVEFIXED)) return icon;
      return IconOfPath(L"C:\\", 0, 0);
    case ShellIcon::RemovableDrive:
      return StockIcon(SIID_DRIVEREMOVE);
    case ShellIcon::Folder:
      return IconOfKind(L"folder", FILE_ATTRIBUTE_DIRECTORY);
    case ShellIcon::File:
      return IconOfKind(L"file", FILE_ATTRIBUTE_NORMAL);
    case ShellIcon::ImageFile:
      return IconOfKind(L"image.dsk", FILE_ATTRIBUTE_NORMAL);
  }
  return nullptr;
}

}  // namespace

HICON SmallShellIcon(ShellIcon which) {
  if (HICON icon = FindIcon(which)) return icon;
  return ::CopyIcon(::LoadIconW(nullptr, IDI_APPLICATION));
}
