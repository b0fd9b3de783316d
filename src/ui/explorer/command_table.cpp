#include "ui/explorer/command_table.h"

#include <algorithm>
#include <iterator>

#include "app/strings.h"

namespace ui {

namespace {

using P = CommandPlace;

// Sorted by number. The search, filter, settings, help-file and viewer commands wait for their
// windows.
constexpr CommandInfo kCommands[] = {
    {134, P::StatusBar, u"...", u"Save the log to its file and open it", u"Save and show log",
     true},
    {32774, P::DiskMenu, u"Start Analyzing",
     u"Analyze the selected drive for lost files and folders", u"Analyze", true},
    {32775, P::DiskMenu, u"Stop Analyzing", u"Stop the running analysis", u"Stop analyzing", true},
    {32776, P::NoMenu, u"", u"Show or hide log", u"Show or hide log", true},
    {32781, P::DiskMenu, u"Rescan Drives", u"Look for the drives of the computer again",
     u"Rescan drives", true},
    {32782, P::DiskMenu, u"Create Drive Image...",
     u"Copy every sector of the selected drive into an image file", u"Create drive image", true},
    {32783, P::DiskMenu, u"Load Drive Image...", u"Open a drive image file as a drive",
     u"Load drive image", true},
    {32784, P::NoMenu, u"", u"Create a virtual drive over a range of the selected drive",
     u"Create virtual drive", true},
    {32787, P::FileMenu, u"Recover... \tCtrl+R", u"Recover the selected files and folders",
     u"Recover", true},
    {32789, P::HelpMenu, u"Lumenard on the &Web", u"Visit the Lumenard web site",
     u"Lumenard on the web", true},
    {32791, P::ViewMenu, u"&Search", u"Show or hide the search bar", u"Find", false},
    {32794, P::ViewMenu, u"Legend", u"Show or hide the legend", u"Legend", true},
    {32797, P::FileMenu, u"&Information...\tCtrl+I", u"Show information about the selected file",
     u"Information", true},
    {32798, P::OptionsMenu, u"Settings...", u"Change the program's settings", u"Settings", false},
    {32799, P::OptionsMenu, u"Confirmations...", u"Choose which questions the program asks",
     u"Confirmations", false},
    {32800, P::OptionsMenu, u"Drive Access...", u"Change how drives are read", u"Drive access",
     false},
    {32801, P::OptionsMenu, u"Interface Language...", u"Choose the language of the program",
     u"Interface language", false},
    {32802, P::OptionsMenu, u"Common Settings...", u"Change the common settings",
     u"Common settings", false},
    {32803, P::ViewMenu, u"Filters...", u"Choose which found files are shown", u"Filters", false},
    {32809, P::FileMenu, u"Try To Open...", u"Open a copy of the selected file with its program",
     u"Try to open", true},
    {32810, P::OptionsMenu, u"Temporary Folder...", u"Choose the folder for temporary copies",
     u"Temporary folder", false},
    {32811, P::OptionsMenu, u"Logging...", u"Change what the log records", u"Logging", false},
    {32817, P::HelpMenu, u"Recovery Guide", u"Read the step-by-step recovery guide",
     u"Recovery guide", false},
    {32818, P::HelpMenu, u"Search for Help on...", u"Search the help", u"Search help", false},
    {32829, P::OptionsMenu, u"File Types...", u"Choose the file types to search for", u"File types",
     false},
    {32831, P::FileMenu, u"Set &New Size...", u"Give the selected files a new size",
     u"Set new size", true},
    {32839, P::ViewMenu, u"E&xplorer", u"Show the explorer window", u"Explorer", true},
    {32840, P::ViewMenu, u"&Wizard Mode", u"Recover files step by step with the wizard",
     u"Wizard mode", true},
    {32841, P::ViewMenu, u"Explorer, Se&cond Arrangement",
     u"Show the explorer window with a wide drive tree", u"Explorer, second arrangement", true},
    {32842, P::ViewMenu, u"Explorer, T&hird Arrangement",
     u"Show the explorer window with a wide drive tree", u"Explorer, third arrangement", true},
    {32845, P::FileMenu, u"R&eset Size", u"Make the size of the selected files unknown again",
     u"Reset size", true},
    {32862, P::DiskMenu, u"Search Lost Drives", u"Search the selected drive for lost partitions",
     u"Search lost drives", true},
    {32871, P::DriveMenu, u"Select", u"Select this drive", u"Select", true},
    {32872, P::DriveMenu, u"Properties", u"Show the properties of this drive", u"Properties",
     false},
    {57664, P::HelpMenu, u"&About...", u"Show the program's version", u"About", true},
    {57665, P::DiskMenu, u"&Exit", u"Quit the program", u"Exit", true},
    {57670, P::HelpMenu, u"Contents\tF1", u"Open the help", u"Help", false},
    {59392, P::ViewMenu, u"&Tool bar", u"Show or hide the toolbar", u"Toolbar", true},
    {59393, P::ViewMenu, u"&Status Bar", u"Show or hide the status bar", u"Status bar", true},
};

// The language string of a command: status text before the line break, tooltip after it.
std::u16string LanguagePart(uint32_t id, bool tooltip) {
  const std::u16string text = LanguageString(id);
  if (text.empty()) return {};
  const size_t lineBreak = text.find(u'\n');
  if (lineBreak == std::u16string::npos) return tooltip ? std::u16string() : text;
  return tooltip ? text.substr(lineBreak + 1) : text.substr(0, lineBreak);
}

}  // namespace

std::span<const CommandInfo> ExplorerCommands() { return kCommands; }

const CommandInfo* FindExplorerCommand(uint32_t id) {
  auto it = std::lower_bound(std::begin(kCommands), std::end(kCommands), id,
                             [](const CommandInfo& row, uint32_t n) { return row.id < n; });
  return it != std::end(kCommands) && it->id == id ? &*it : nullptr;
}

bool IsCommandAvailable(uint32_t id) {
  const CommandInfo* command = FindExplorerCommand(id);
  return command && command->available;
}

// Language strings share their numbers with other texts (134 is also a log line's format), so
// only a text with the line break counts as a command's.
std::u16string CommandStatusText(uint32_t id) {
  const std::u16string translated = LanguageString(id);
  if (translated.find(u'\n') != std::u16string::npos) return LanguagePart(id, false);
  const CommandInfo* command = FindExplorerCommand(id);
  return command ? command->statusText : u"";
}

std::u16string CommandTooltip(uint32_t id) {
  const std::u16string translated = LanguageString(id);
  if (translated.find(u'\n') != std::u16string::npos) return LanguagePart(id, true);
  const CommandInfo* command = FindExplorerCommand(id);
  return command ? command->tooltip : u"";
}

}  // namespace ui
