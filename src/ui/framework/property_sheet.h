// A property sheet of pages made from dialog templates. Each page is an object with the
// handlers of a dialog; the sheet runs modally and reports whether OK or Apply was chosen.
#pragma once

#include <windows.h>

#include <prsht.h>

#include <string>
#include <vector>

namespace ui {

class CPropertyPage {
 public:
  explicit CPropertyPage(int templateId) : templateId_(templateId) {}
  virtual ~CPropertyPage() = default;
  CPropertyPage(const CPropertyPage&) = delete;
  CPropertyPage& operator=(const CPropertyPage&) = delete;

  HWND Handle() const { return page_; }
  int TemplateId() const { return templateId_; }

 protected:
  virtual void OnInit() {}
  // The user chose OK or Apply; false keeps the sheet open on this page.
  virtual bool OnApply() { return true; }
  virtual bool OnCommand(int id, int code, HWND control) { return false; }
  // Marks the sheet changed (enables Apply).
  void SetModified(bool modified = true);

 private:
  friend class CPropertySheet;
  static INT_PTR CALLBACK Procedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

  int templateId_;
  HWND page_ = nullptr;
};

class CPropertySheet {
 public:
  explicit CPropertySheet(std::u16string caption) : caption_(std::move(caption)) {}

  // The pages stay the caller's.
  void AddPage(CPropertyPage& page) { pages_.push_back(&page); }
  // Modal; true when the user applied the pages. startPage beyond the last page opens the first.
  bool DoModal(HWND owner, size_t startPage = 0);

 private:
  std::u16string caption_;
  std::vector<CPropertyPage*> pages_;
};

}  // namespace ui
