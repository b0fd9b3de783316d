// Names from a drive become components of paths below the destination folder. A name may hold
// anything a damaged or hostile volume puts there, so every component goes through one rule
// that gives the same result on Windows and POSIX and can never leave its folder.
#pragma once

#include <string>
#include <string_view>

// The longest component: 255 UTF-16 units on Windows file systems, 255 UTF-8 bytes on POSIX.
constexpr size_t kMaxComponentUnits = 255;
constexpr size_t kMaxComponentBytes = 255;

// A name that Windows and POSIX both accept as one component:
// - '\', '/', ':', '<', '>', '"', '|', '?', '*', control characters and unpaired surrogates
//   become '_';
// - a name of dots only ("." and "..") has each dot replaced;
// - trailing dots and blanks are removed;
// - a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension) gets a
//   leading '_';
// - an empty name becomes "unnamed";
// - the result is cut to 255 UTF-16 units and 255 UTF-8 bytes, keeping a short extension.
std::u16string SanitisePathComponent(std::u16string_view name);

// "name (n).ext" for the n-th name taken already; n > 0. Stays within the component limits.
std::u16string NumberedName(std::u16string_view name, unsigned n);

// The name folded for comparison: the same for names that differ only by case (ASCII, Latin,
// Greek, Cyrillic), as Windows sees them, so that the rule gives the same names on both
// systems.
std::u16string FoldedName(std::u16string_view path);
