#include "ui/explorer/html_text.h"

#include "platform/text.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// The tag's name in lower case, without '/' and attributes.
std::u16string TagName(std::u16string_view tag) {
  size_t at = 0;
  if (at < tag.size() && tag[at] == u'/') ++at;
  size_t end = at;
  while (end < tag.size() && !IsBlank(tag[end]) && tag[end] != u'>' && tag[end] != u'/') ++end;
  return platform::AsciiLower(tag.substr(at, end - at));
}

void DecodeEntity(std::u16string_view html, size_t& at, std::u16string& out) {
  static constexpr struct {
    std::u16string_view name;
    char16_t c;
  } kEntities[] = {{u"&amp;", u'&'},        {u"&lt;", u'<'},        {u"&gt;", u'>'},
                   {u"&quot;", u'"'},       {u"&nbsp;", u' '},      {u"&#39;", u'\''},
                   {u"&mdash;", u'\x2014'}, {u"&ndash;", u'\x2013'}};
  for (const auto& entity : kEntities) {
    if (html.substr(at, entity.name.size()) == entity.name) {
      out += entity.c;
      at += entity.name.size();
      return;
    }
  }
  out += u'&';
  ++at;
}

void EndLine(std::u16string& out, bool blankLine) {
  while (!out.empty() && out.back() == u' ') out.pop_back();
  if (out.empty()) return;
  if (out.back() != u'\n') out += u'\n';
  if (blankLine && (out.size() < 2 || out[out.size() - 2] != u'\n')) out += u'\n';
}

std::u16string TrimLines(std::u16string text) {
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  return text;
}

}  // namespace

std::u16string HtmlToText(std::u16string_view html) {
  std::u16string out;
  bool inHead = false, inStyle = false, ordered = false;
  int itemNumber = 0;
  size_t at = 0;
  while (at < html.size()) {
    const char16_t c = html[at];
    if (c == u'<') {
      const size_t close = html.find(u'>', at);
      if (close == std::u16string_view::npos) break;
      const std::u16string_view tag = html.substr(at + 1, close - at - 1);
      const bool ending = !tag.empty() && tag[0] == u'/';
      const std::u16string name = TagName(tag);
      at = close + 1;
      if (name == u"head") inHead = !ending;
      if (name == u"style" || name == u"script") inStyle = !ending;
      if (name == u"ol" || name == u"ul") {
        ordered = name == u"ol" && !ending;
        itemNumber = 0;
        EndLine(out, ending);
      } else if (name == u"li" && !ending) {
        EndLine(out, false);
        out += ordered ? platform::Format(u"%d. ", ++itemNumber) : std::u16string(u"\x2022 ");
      } else if (name == u"br") {
        EndLine(out, false);
      } else if (name == u"p" || name == u"h1" || name == u"h2" || name == u"h3" ||
                 name == u"div" || name == u"tr") {
        EndLine(out, ending && name != u"div" && name != u"tr");
      }
      continue;
    }
    if (inHead || inStyle) {
      ++at;
      continue;
    }
    if (IsBlank(c)) {
      if (!out.empty() && out.back() != u' ' && out.back() != u'\n') out += u' ';
      ++at;
    } else if (c == u'&') {
      DecodeEntity(html, at, out);
    } else {
      out += c;
      ++at;
    }
  }
  return TrimLines(out);
}

std::vector<LegendEntry> LegendEntries(std::u16string_view html) {
  static constexpr std::u16string_view kAttribute = u"data-icon=\"";
  std::vector<LegendEntry> entries;
  size_t at = 0;
  while ((at = html.find(kAttribute, at)) != std::u16string_view::npos) {
    const size_t nameStart = at + kAttribute.size();
    const size_t nameEnd = html.find(u'"', nameStart);
    if (nameEnd == std::u16string_view::npos) break;
    const size_t tagEnd = html.find(u'>', nameEnd);
    if (tagEnd == std::u16string_view::npos) break;
    const size_t tagStart = html.rfind(u'<', at);
    const std::u16string name =
        tagStart == std::u16string_view::npos ? u"li" : TagName(html.substr(tagStart + 1));
    const std::u16string closing = u"</" + name;
    size_t contentEnd = html.find(closing, tagEnd);
    if (contentEnd == std::u16string_view::npos) contentEnd = html.size();
    std::u16string label = HtmlToText(html.substr(tagEnd + 1, contentEnd - tagEnd - 1));
    entries.push_back(
        {std::u16string(html.substr(nameStart, nameEnd - nameStart)), platform::Trim(label)});
    at = contentEnd;
  }
  return entries;
}
