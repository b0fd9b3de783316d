// The grey copies of the toolbar pictures shown for disabled buttons.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

namespace ui {

// Pixels as 32-bit BGRA words. Every pixel whose colour is not black becomes the grey of its
// luminance 0.299 R + 0.587 G + 0.114 B; black stays black and alpha is kept.
void MakeGrey(std::span<uint32_t> pixels);
uint32_t GreyPixel(uint32_t bgra);

// The icon's colour picture as 32-bit pixels of size x size (top row first); false when the
// icon has no colour picture that can be read.
bool IconPixels(HICON icon, int size, std::span<uint32_t> pixels);
// A 32-bit top-down bitmap of the pixels, or null.
HBITMAP BitmapOfPixels(std::span<const uint32_t> pixels, int width, int height);

}  // namespace ui
