// The readable text of the program's own small HTML pages, for the panes that show them where
// no HTML engine is available.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The page's text: tags dropped, the common entities decoded, blanks collapsed; headings,
// paragraphs and list items on lines of their own (items numbered in <ol>, bulleted in <ul>),
// a blank line after headings and paragraphs. The <head> is left out.
std::u16string HtmlToText(std::u16string_view html);

struct LegendEntry {
  std::u16string Icon;   // the value of data-icon
  std::u16string Label;  // the element's text
};
// The elements that carry data-icon="...", in page order.
std::vector<LegendEntry> LegendEntries(std::u16string_view html);
