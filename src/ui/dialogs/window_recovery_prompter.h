// The questions of a recovery answered with dialogs on the interface thread, whichever thread
// asks. A worker's question is queued for a hidden window of the interface thread and the worker
// waits for the answer; the interface thread serves it from whatever message loop it runs (the
// modal progress dialog's too), so it never has to wait for the worker itself. A stop ends the
// question being shown (as cancelled), answers the queued ones and refuses later ones until the
// questions are resumed for the next run.
#pragma once

#include <windows.h>

#include <memory>

#include "recovery/recovery_prompter.h"

namespace ui {

class CWindowRecoveryPrompter : public IRecoveryPrompter {
 public:
  // Made on the interface thread that owns owner; owner is the fallback owner of the dialogs.
  explicit CWindowRecoveryPrompter(HWND owner);
  ~CWindowRecoveryPrompter() override;
  CWindowRecoveryPrompter(const CWindowRecoveryPrompter&) = delete;
  CWindowRecoveryPrompter& operator=(const CWindowRecoveryPrompter&) = delete;

  SizeAnswer AskProbableSize(const SizeQuestion& question) override;
  std::optional<std::u16string> AskOtherDestination(const DestinationQuestion& question) override;
  bool AskDeleteTemporaryFiles(size_t count) override;
  void ShowError(const std::u16string& text) override;
  void Stop() override;
  // Questions are asked again (a run after a stopped one).
  void Resume();

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
};

// Resumes the questions of a window prompter; other prompters are left alone.
void ResumeQuestions(IRecoveryPrompter* prompter);

}  // namespace ui
