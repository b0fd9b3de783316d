#include "app/strings.h"

#include <algorithm>
#include <iterator>

namespace {

struct NumberedText {
  uint32_t number;
  const char16_t* text;
};

// Built-in texts used unchanged: log lines, status texts, a few names. Sorted by number.
constexpr NumberedText kStringResources[] = {
    {139, u"Analyse volume sectors started"},
    {141, u"Filters"},
    {178, u"Analyzing MFT table"},
    {182, u"No files found"},
    {193, u"Can't allocate memory!"},
    {194, u"FAT Root directory not read!"},
    {4352, u"Lost folders"},
    {4865, u"lost_file_%I64d"},
    {5120, u"Lost files"},
    {5376, u"lost_folder_%d"},
    {57113, u"Operation aborted. Incomplete drive analysis!"},
    {57116, u"unknown"},
    {57118, u"Folder"},
    {57214, u"No file system detected! File system analysis skipped."},
};

// The English texts of the interface, used when no language file overrides them. Sorted.
constexpr NumberedText kLanguageStrings[] = {
    {129, u"Information"},
    {132, u"You are copying a large amount of data to the clipboard.\\r\\nAre you sure you want to do this?"},
    {134, u"Found file: %s"},
    {135, u"Analysis duration: %d minute(s), %d second(s)."},
    {136, u"Analysis completed. Found %d folder(s) and %d file(s)."},
    {141, u"Filters"},
    {142, u"Welcome!"},
    {144, u"Step 1 of 9: Select drive"},
    {145, u"Step 2 of 9: Select File Types"},
    {146, u"Step 3 of 9: Choose sector-by-sector scanning mode"},
    {147, u"Step 4 of 9: Let the computer do all the work for you!"},
    {148, u"Step 5 of 9: Scanning the file system..."},
    {149, u"Step 6 of 9: View and recover after file system scan"},
    {150, u"Step 7 of 9: Scanning drive sectors..."},
    {151, u"Step 8 of 9: View and recover after sectors scan"},
    {152, u"Step 9 of 9: Recovery completed"},
    {153, u"Error: Administrator access necessary"},
    {154, u"Administrator access necessary. Please run the program using an administrator's account on your computer."},
    {157, u"Confirmation"},
    {158, u"Are you sure you want to exit the application?"},
    {160, u"Settings"},
    {161, u"Busy"},
    {162, u"Idle"},
    {164, u"Name"},
    {165, u"Size"},
    {166, u"Type"},
    {167, u"Date Modified"},
    {168, u"In Folder"},
    {169, u"Menu..."},
    {170, u"Are you sure you want to stop scanning?"},
    {172, u"Volume %s at position %I64d not read, retry %d"},
    {173, u"Can't read boot sector on [%s]"},
    {174, u"GetPartitionInfo error on volume [%s]"},
    {175, u"KBytes"},
    {176, u"Deleted"},
    {177, u"Live"},
    {179, u"Found %s volume at: %I64d"},
    {180, u"Volume %c: Medium connected!"},
    {181, u"Drive %c: Medium removed!"},
    {183, u"Recovery list is empty!"},
    {184, u"Recovery started."},
    {185, u"Creating recovery list."},
    {186, u"Can't create temporary file"},
    {190, u"Legend"},
    {191, u"Image_Create: Can't read sector: 0x%I64x"},
    {192, u"Image_Create: Can't write sector: 0x%I64x"},
    {196, u"CRecovery::FileRecovery.CreateFile '%s' failed"},
    {197, u"CRecovery::FileRecovery.ReadError: ReadedSize = %d, ReqSize = %d"},
    {198, u"CRecovery::FileRecovery.WriteError: WritedSize = %d, ReqSize = %d"},
    {200, u"Delete temporary files?"},
    {201, u"FileRecovery: Recovering file: %s [from '%s' to '%s']"},
    {202, u"FileRecovery: File '%s' recovery skipped"},
    {203, u"FileRecovery: File '%s' recovery cancelled"},
    {205, u"File '%s'  opened successfully"},
    {210, u"Can't create folder: %s"},
    {211, u"FileRecovery: Write system error %d"},
    {212, u"File: %s exists"},
    {213, u"Recovery aborted."},
    {214, u"Recovery completed."},
    {215, u"CRecovery::FileRecovery of '%s' failed because file size == 0"},
    {216, u"%s.%s Build %s"},
    {217, u"Are you sure you want to stop recovery?"},
    {220, u"Yes"},
    {221, u"You haven't restored any of the files. Please make sure that you have marked all required files and pressed the \"Recover\" button in the current dialogue before you move on to the next step of the recovery process. Do you want to move on to the next step?"},
    {222, u"You haven't restored any of the files. Please make sure that you have marked all required files and pressed the \"Recover\" button in the current dialogue. Do you want to move on to the next step?"},
    {223, u"You are not allowed to change options after recovery is started. Do you want to start recovery from begining?"},
    {369, u"Data viewer"},
    {57111, u"Initializing drive %s"},
    {57112, u"Aborting..."},
    {57114, u"Clear last drive analysis information..."},
    {57123, u"Analysis of %s completed"},
    {57211, u"Analyzing file system."},
    {57212, u"Beginning file system analysis."},
    {57214, u"No file system detected! File system analysis skipped."},
    {57311, u"Analyzing drive sectors."},
    {57313, u"Starting drive sector analysis, searching for lost files."},
};

template <size_t N>
const char16_t* Lookup(const NumberedText (&table)[N], uint32_t number) {
  auto it = std::lower_bound(std::begin(table), std::end(table), number,
                             [](const NumberedText& row, uint32_t n) { return row.number < n; });
  return it != std::end(table) && it->number == number ? it->text : nullptr;
}

}  // namespace

std::u16string StringResource(uint32_t number) {
  const char16_t* text = Lookup(kStringResources, number);
  return text ? text : std::u16string();
}

std::u16string EnglishLanguageString(uint32_t number) {
  const char16_t* text = Lookup(kLanguageStrings, number);
  return text ? text : std::u16string();
}

bool HasStringResource(uint32_t number) { return Lookup(kStringResources, number) != nullptr; }
bool HasEnglishLanguageString(uint32_t number) { return Lookup(kLanguageStrings, number) != nullptr; }

// Interface languages replace the English texts once a language file is chosen; until then the
// built-in English text is the language string.
std::u16string LanguageString(uint32_t number) { return EnglishLanguageString(number); }
