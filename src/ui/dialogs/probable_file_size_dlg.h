// "Enter probable file size": a lost file whose size its content did not give. Shows what is
// known of the file (position, name, type, condition) and the sizes it could have: the type's
// default size, the distance to the next found file of any type or of its own type, or a size
// the user types; and whether the choice holds for this file, its type or every type.
#pragma once

#include "recovery/recovery_prompter.h"
#include "recovery/size_question.h"
#include "ui/framework/dialog.h"

class CProbableFileSizeDlg : public ui::CDialog {
 public:
  explicit CProbableFileSizeDlg(const SizeQuestion& question);

  // After DoModal: the end code (IDOK 1, Cancel 2, Skip File 5), the option and scope, and the
  // custom size in bytes (option 4 only, always positive).
  const SizeAnswer& Answer() const { return answer_; }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void FillFacts();
  void FillCustomSize();
  void EnableCustomSize();
  int32_t ChosenOption() const;
  SizeScope ChosenScope() const;
  CustomSizeUnit ChosenUnit() const;
  void Accept();

  SizeQuestion question_;
  SizeAnswer answer_;
};

// "2,048 KBytes": a size in whole KB with grouped digits; "0 KBytes" for a size not known.
std::u16string KBytesText(int64_t bytes);
