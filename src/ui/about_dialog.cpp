#include "ui/about_dialog.h"

#include <commctrl.h>

#include <vector>

#include "app/app.h"
#include "platform/text.h"
#include "resources/resource.h"
#include "ui/framework/library.h"

namespace ui {

namespace {

std::vector<std::u16string> VersionFields(std::u16string_view text) {
  std::vector<std::u16string> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(u',', start);
    fields.push_back(platform::Trim(
        text.substr(start, comma == std::u16string_view::npos ? comma : comma - start)));
    if (comma == std::u16string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

// The version functions live in version.dll, which the program loads only for this box.
struct VersionLibrary {
  using SizeFunction = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFunction = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

  VersionLibrary() : module(::LoadLibraryW(L"version.dll")) {
    if (!module) return;
    size = LibraryFunction<SizeFunction>(module, "GetFileVersionInfoSizeW");
    info = LibraryFunction<InfoFunction>(module, "GetFileVersionInfoW");
    query = LibraryFunction<QueryFunction>(module, "VerQueryValueW");
  }
  ~VersionLibrary() {
    if (module) ::FreeLibrary(module);
  }
  bool Usable() const { return size && info && query; }

  HMODULE module;
  SizeFunction size = nullptr;
  InfoFunction info = nullptr;
  QueryFunction query = nullptr;
};

}  // namespace

std::u16string VersionTextOf(std::u16string_view fileVersion) {
  const std::vector<std::u16string> fields = VersionFields(fileVersion);
  if (fields.size() < 3) return {};
  return platform::Format(u"Version %s.%s Build %s", fields[0], fields[1], fields.back());
}

std::u16string ProgramFileVersion() {
  VersionLibrary library;
  if (!library.Usable()) return {};
  wchar_t path[2048];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, 2048);
  if (length == 0 || length >= 2048) return {};
  DWORD ignored = 0;
  const DWORD size = library.size(path, &ignored);
  if (size == 0) return {};
  std::vector<uint8_t> data(size);
  if (!library.info(path, 0, size, data.data())) return {};
  void* value = nullptr;
  UINT characters = 0;
  if (!library.query(data.data(), L"\\StringFileInfo\\040904b0\\FileVersion", &value,
                     &characters) ||
      !value)
    return {};
  // The count includes the terminating zero when there is one.
  std::u16string text(static_cast<const char16_t*>(value), characters);
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

bool CAboutDlg::OnInit() {
  CWindow(Item(IDC_ABOUT_VERSION)).SetText(VersionTextOf(ProgramFileVersion()));
  return true;
}

bool CAboutDlg::OnCommand(int id, int code, HWND control) {
  if (id == ID_HELP_CONTENTS) {
    if (g_pApp) g_pApp->OnCommand(CommandHelpContents);
    return true;
  }
  return CDialog::OnCommand(id, code, control);
}

bool CAboutDlg::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.code != NM_CLICK && header.code != NM_RETURN) return false;
  if (!g_pApp) return false;
  if (header.idFrom == IDC_ABOUT_WEB_LINK) return g_pApp->OnCommand(CommandWebSite);
  if (header.idFrom == IDC_ABOUT_SUPPORT_LINK) return g_pApp->OnCommand(CommandSupportPage);
  return false;
}

}  // namespace ui
