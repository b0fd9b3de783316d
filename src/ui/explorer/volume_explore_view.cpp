#include "ui/explorer/volume_explore_view.h"

#include <commctrl.h>

#include "volumes/volume.h"

class CVolumeInfoView {};
class CRecycleBinView {};
class CMyComputerView {};

RightPaneKind RightPaneForVolumeKind(int volumeKind) {
  switch (volumeKind) {
    case VolumeKindPhysical:
      return RightPaneKind::VolumeInfo;
    case VolumeKindLogical:
    case VolumeKindImage:
    case VolumeKindFound:
      return RightPaneKind::DriveInfo;
    case VolumeKindComputer:
      return RightPaneKind::MyComputer;
    case VolumeKindRecycleBin:
      return RightPaneKind::RecycleBin;
    default:
      return RightPaneKind::FileList;
  }
}

CVolumeExploreView::CVolumeExploreView() = default;
CVolumeExploreView::~CVolumeExploreView() = default;

bool CVolumeExploreView::Create(HWND parent) {
  parent_ = parent;
  tree_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_LINESATROOT |
                                TVS_HASBUTTONS | TVS_SHOWSELALWAYS,
                            0, 0, 0, 0, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  return tree_ != nullptr;
}

CVolume* CVolumeExploreView::SelectedVolume() const { return nullptr; }
void CVolumeExploreView::Refresh() {}
void CVolumeExploreView::SetRightPaneHost(HWND host) { host_ = host; }
void CVolumeExploreView::LayoutRightPane() {}
bool CVolumeExploreView::SelectVolume(const CVolume*) { return false; }
bool CVolumeExploreView::OnNotify(const NMHDR&, LRESULT&) { return false; }
bool CVolumeExploreView::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }
