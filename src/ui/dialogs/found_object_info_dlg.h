// "File Information": the properties of one found object (name, identifiers, position, sizes,
// type, state, folder and times) as the file list presents them. The texts are taken when the
// dialog is made, under the store's lock, so an analysis that goes on meanwhile changes
// nothing that the dialog reads.
#pragma once

#include <windows.h>

#include "filesystems/found_object_view.h"
#include "ui/framework/dialog.h"

class CVolume;
struct FoundObject;

namespace ui {

class CFoundObjectInfoDlg : public CDialog {
 public:
  explicit CFoundObjectInfoDlg(FoundObjectProperties properties);
  const FoundObjectProperties& Properties() const { return properties_; }

 protected:
  bool OnInit() override;

 private:
  FoundObjectProperties properties_;
};

// The properties of object of volume's store, by the list's presentation rules.
FoundObjectProperties PropertiesOfFoundObject(CVolume& volume, const FoundObject& object);
// Shows the dialog for object modally.
void ShowFoundObjectInformation(HWND parent, CVolume& volume, const FoundObject& object);

}  // namespace ui
