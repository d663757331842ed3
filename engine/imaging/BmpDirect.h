#pragma once

#include "imaging/TBitmap32.h"

#include <cstdint>
#include <cstdio>

namespace teintelle {

// The 54 bytes of a BMP's file and information headers.
constexpr std::size_t kBmpHeaderSize = 54;

bool startsAsBmp(const std::uint8_t* header);

// 32 bits per pixel (offset 28), one plane (offset 26), no compression
// (offset 30): the pixels are read directly, without the platform's decoder.
bool isDirectBmp(const std::uint8_t* header);

// Reads the pixel rows that follow the 54 header bytes into the surface:
// width (offset 18) by the absolute height (offset 22), blue, green, red and
// alpha taken as they are. A positive height stores the bottom row first.
// Short pixel data throws Error("Erreur de lecture du flux") with the surface
// at its new size and every unread pixel 0. A size beyond the surface's
// limit throws the surface's memory error. The change is always notified.
void readDirectBmp(std::FILE* file, const std::uint8_t* header, TBitmap32& surface);

} // namespace teintelle
