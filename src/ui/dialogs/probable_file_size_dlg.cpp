#include "ui/dialogs/probable_file_size_dlg.h"

#include "app/app.h"
#include "app/strings.h"
#include "platform/text.h"
#include "resources/recovery_dialogs.h"
#include "ui/dialogs/recovery_dialog_common.h"

namespace {

constexpr uint32_t kTextKBytes = 175;
constexpr uint32_t kTextDeleted = 176;
constexpr uint32_t kTextLive = 177;

constexpr int kSizeRadios[] = {IDC_SIZE_DEFAULT, IDC_SIZE_NEXT_ANY, IDC_SIZE_NEXT_SAME,
                               IDC_SIZE_CUSTOM};
constexpr int kScopeRadios[] = {IDC_SIZE_SCOPE_THIS_FILE, IDC_SIZE_SCOPE_THIS_TYPE,
                                IDC_SIZE_SCOPE_ANY_TYPE};

// Checks one radio of a group and clears the others (the identifiers of a group are not in
// one numeric range).
template <size_t N>
void CheckOnly(HWND dialog, const int (&group)[N], int checked) {
  for (int id : group) ::CheckDlgButton(dialog, id, id == checked ? BST_CHECKED : BST_UNCHECKED);
}

}  // namespace

std::u16string KBytesText(int64_t bytes) {
  const int64_t kb = bytes > 0 ? bytes / 1024 : 0;
  return ui::GroupedDigits(kb) + u" " + LanguageString(kTextKBytes);
}

CProbableFileSizeDlg::CProbableFileSizeDlg(const SizeQuestion& question)
    : CDialog(IDD_PROBABLE_FILE_SIZE), question_(question) {}

bool CProbableFileSizeDlg::OnInit() {
  ui::ReportQuestionWindow(Handle(), IDCANCEL);
  ui::CenterOnOwner(Handle());
  FillFacts();
  FillCustomSize();
  CheckOnly(Handle(), kSizeRadios, IDC_SIZE_DEFAULT);
  CheckOnly(Handle(), kScopeRadios, IDC_SIZE_SCOPE_THIS_FILE);
  EnableCustomSize();
  return true;
}

void CProbableFileSizeDlg::FillFacts() {
  // The template's text is the format of the introduction, with the type's name.
  CWindow intro(Item(IDC_SIZE_INTRO));
  intro.SetText(platform::Format(intro.GetText(), question_.TypeName));
  CWindow(Item(IDC_SIZE_OFFSET)).SetText(platform::Format(u"%I64d", question_.Position));
  CWindow(Item(IDC_SIZE_NAME)).SetText(question_.Name);
  CWindow(Item(IDC_SIZE_TYPE)).SetText(question_.TypeName);
  CWindow(Item(IDC_SIZE_CONDITION))
      .SetText(LanguageString(question_.Deleted ? kTextDeleted : kTextLive));
  CWindow(Item(IDC_SIZE_DEFAULT_KB)).SetText(KBytesText(question_.TypicalBytes));
  CWindow(Item(IDC_SIZE_NEXT_ANY_KB)).SetText(KBytesText(question_.DistanceAny));
  CWindow(Item(IDC_SIZE_NEXT_SAME_KB)).SetText(KBytesText(question_.DistanceSame));
}

void CProbableFileSizeDlg::FillCustomSize() {
  HWND units = Item(IDC_SIZE_UNIT);
  for (int unit = 0; unit < kCustomSizeUnitCount; ++unit)
    ::SendMessageW(
        units, CB_ADDSTRING, 0,
        reinterpret_cast<LPARAM>(platform::W(UnitText(static_cast<CustomSizeUnit>(unit)))));
  const CustomSize offered = CustomSizeForBytes(question_.CurrentSize);
  ::SendMessageW(units, CB_SETCURSEL, static_cast<WPARAM>(offered.Unit), 0);
  ::SendDlgItemMessageW(Handle(), IDC_SIZE_CUSTOM_NUMBER, EM_LIMITTEXT, 10, 0);
  CWindow(Item(IDC_SIZE_CUSTOM_NUMBER)).SetText(platform::Format(u"%I64d", offered.Number));
}

void CProbableFileSizeDlg::EnableCustomSize() {
  const bool custom = ::IsDlgButtonChecked(Handle(), IDC_SIZE_CUSTOM) == BST_CHECKED;
  CWindow(Item(IDC_SIZE_CUSTOM_NUMBER)).Enable(custom);
  CWindow(Item(IDC_SIZE_UNIT)).Enable(custom);
}

int32_t CProbableFileSizeDlg::ChosenOption() const {
  for (int i = 0; i < 4; ++i)
    if (::IsDlgButtonChecked(Handle(), kSizeRadios[i]) == BST_CHECKED) return i + 1;
  return kSizeDefault;
}

SizeScope CProbableFileSizeDlg::ChosenScope() const {
  for (int i = 0; i < 3; ++i)
    if (::IsDlgButtonChecked(Handle(), kScopeRadios[i]) == BST_CHECKED)
      return static_cast<SizeScope>(i);
  return SizeScope::ThisFile;
}

CustomSizeUnit CProbableFileSizeDlg::ChosenUnit() const {
  const LRESULT index = ::SendDlgItemMessageW(Handle(), IDC_SIZE_UNIT, CB_GETCURSEL, 0, 0);
  if (index < 0 || index >= kCustomSizeUnitCount) return CustomSizeUnit::Bytes;
  return static_cast<CustomSizeUnit>(index);
}

void CProbableFileSizeDlg::Accept() {
  SizeAnswer answer{SizeEnd::Ok, ChosenOption(), ChosenScope(), 0};
  if (answer.Option == kSizeCustom) {
    const std::optional<int64_t> bytes =
        ParseCustomSize(CWindow(Item(IDC_SIZE_CUSTOM_NUMBER)).GetText(), ChosenUnit());
    if (!bytes) {
      // A size of nothing would give an empty file: the user types another one.
      ui::QuestionBox(Handle(), u"Enter a custom size: a whole number greater than 0.",
                      u"Enter probable file size", MB_OK | MB_ICONWARNING);
      HWND edit = Item(IDC_SIZE_CUSTOM_NUMBER);
      ::SetFocus(edit);
      ::SendMessageW(edit, EM_SETSEL, 0, -1);
      return;
    }
    answer.CustomBytes = *bytes;
  }
  answer_ = answer;
  End(IDOK);
}

bool CProbableFileSizeDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDOK:
      Accept();
      return true;
    case IDC_SIZE_SKIP:
      answer_.End = SizeEnd::Skip;
      End(IDC_SIZE_SKIP);
      return true;
    case IDCANCEL:
      answer_.End = SizeEnd::Cancel;
      End(IDCANCEL);
      return true;
    case IDC_SIZE_HELP:
      if (g_pApp) g_pApp->OnCommand(CommandHelpContents);
      return true;
    case IDC_SIZE_DEFAULT:
    case IDC_SIZE_NEXT_ANY:
    case IDC_SIZE_NEXT_SAME:
    case IDC_SIZE_CUSTOM:
      if (code != BN_CLICKED) return true;
      CheckOnly(Handle(), kSizeRadios, id);
      EnableCustomSize();
      return true;
    case IDC_SIZE_SCOPE_THIS_FILE:
    case IDC_SIZE_SCOPE_THIS_TYPE:
    case IDC_SIZE_SCOPE_ANY_TYPE:
      if (code == BN_CLICKED) CheckOnly(Handle(), kScopeRadios, id);
      return true;
    default:
      return false;
  }
}
