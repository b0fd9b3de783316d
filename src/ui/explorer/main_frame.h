// The explorer window: menu, toolbar in a rebar, the drive tree with its right pane, the
// legend and data-viewer panes beside them, and the status bar with the status text, the
// analysis progress and the log. Every command of the explorer modes arrives here; the drive
// tree's own messages are passed on to it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/front_end.h"
#include "app/message_target.h"
#include "recovery/recovery_prompter.h"
#include "ui/explorer/html_pane.h"
#include "ui/explorer/main_frame_log_view.h"
#include "ui/explorer/volume_explore_view.h"
#include "ui/framework/command_states.h"
#include "ui/framework/container_window.h"
#include "ui/framework/message_loop.h"
#include "ui/framework/pane_container.h"
#include "ui/framework/rebar.h"
#include "ui/framework/splitter.h"
#include "ui/framework/status_bar.h"
#include "ui/framework/subclass.h"
#include "ui/framework/toolbar.h"
#include "ui/framework/window.h"

namespace ui {

// Posted to the frame: lay out the panes in the proportions of the window's mode.
constexpr UINT UM_ARRANGE = 32878;

class CMainFrame : public CCustomWindow, public CMessageFilter, public CIdleHandler {
 public:
  static constexpr const wchar_t* kClassName = L"LumenardMainFrame";
  static constexpr UINT_PTR kStatusTimer = 250;
  static constexpr UINT_PTR kRepaintTimer = 2000;
  // Status bar panes: the status text, the progress bar, the log.
  static constexpr int kStatusPane = 133;
  static constexpr int kProgressPane = 159;
  static constexpr int kLogPane = 1;
  static constexpr int kProgressWidth = 200;
  static constexpr int kToolbarBand = 0;

  // The window of an explorer mode, hidden and without owner; null when it could not be made.
  // The object deletes itself when its window is gone.
  static CMainFrame* Open(int32_t mode);

  IMessageTarget* Target() const { return target_; }
  IMessageTarget* LogTarget() const { return log_.Target(); }
  int32_t Mode() const { return mode_; }

  // What the tests and the language module look at.
  const CCommandStates& CommandStates() const { return states_; }
  HWND ToolBar() const { return toolbar_.Handle(); }
  HWND StatusBar() const { return status_.Handle(); }
  HWND ProgressBar() const { return progress_; }
  CSplitterWindow& Splitter(int index);
  CVolumeExploreView& ExploreView() { return explorer_; }
  HWND LegendPane() const { return legendPane_.Handle(); }
  HWND ViewerPane() const { return viewerPane_.Handle(); }
  // The idle update, at once.
  void UpdateCommands();

  bool PreTranslateMessage(MSG& message) override;
  int OnIdle() override;

 protected:
  bool OnCreate(const CREATESTRUCTW& create) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  void OnTimer(UINT_PTR id) override;
  void OnSize(UINT type, int width, int height) override;
  void OnClose(WPARAM wParam, LPARAM lParam) override;
  void OnDestroy() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void OnFinalMessage() override;

 private:
  explicit CMainFrame(int32_t mode) : mode_(mode) {}

  bool CreateBars();
  bool CreatePanes();
  void SetMenuIcons();
  void ApplyStoredViews();
  void Arrange();
  void Layout();
  void PlaceStatusControls();
  void UpdateStatus();
  void SetStatusText(const std::u16string& text);
  void ShowProgress(bool show);

  bool RunDriveCommand(int id);
  // The analysis and recovery commands (main_frame_commands.cpp); false for any other.
  bool RunFoundObjectCommand(int id);
  void StartAnalyzing(CVolume& volume);
  void StopAnalyzing();
  void SearchLostDrives(CVolume& volume);
  void Recover();
  void OnStartRecovery();
  void TryToOpen();
  void ResetSize();
  void SetNewSize();
  void ShowInformation();
  // Before a rescan: the views forget the drives whose records it frees.
  void ForgetEnumeratedDrives();
  // The recovery jobs ask their questions through this window while it lives.
  void AttachPrompter();
  void DetachPrompter();
  // The drive menu on a drive node, the File menu on any other.
  void ShowTreeMenu(LPARAM screenPoint);
  // The File menu on the file list's objects.
  void ShowListMenu(LPARAM screenPoint);
  void ToggleView(int id);

  int32_t mode_;
  bool created_ = false;
  IMessageTarget* target_ = nullptr;
  HACCEL accelerators_ = nullptr;
  CCommandStates states_;
  CReBar rebar_;
  CToolBar toolbar_;
  CMultiPaneStatusBarEx status_;
  CControlSubclass statusSubclass_;
  CLogView log_;
  HWND progress_ = nullptr;
  bool progressShown_ = false;
  bool menuOpen_ = false;
  std::u16string statusText_;
  // The first splitter holds the drives (second splitter: tree and right pane) and the side
  // column (third splitter: data viewer and legend).
  CSplitterWindow splitter1_{true};
  CSplitterWindow splitter2_{true};
  CSplitterWindow splitter3_{false};
  CContainerWindow rightHost_;
  CVolumeExploreView explorer_;
  CPaneContainer viewerPane_;
  CPaneContainer legendPane_;
  CHtmlPane legend_;
  std::vector<HBITMAP> menuBitmaps_;
  std::unique_ptr<IRecoveryPrompter> prompter_;
};

}  // namespace ui
