// The program's numbered texts. A string resource is a built-in text used unchanged (log lines,
// status texts, a few names); a language string is an interface text, shown in the current
// language (the languages object falls back to the English ones here).
#pragma once

#include <cstdint>
#include <string>

// Empty when there is no such number.
std::u16string StringResource(uint32_t number);
std::u16string EnglishLanguageString(uint32_t number);
bool HasStringResource(uint32_t number);
bool HasEnglishLanguageString(uint32_t number);

// The text of a language string in the interface language in use.
std::u16string LanguageString(uint32_t number);
