// Writes a TBitmap as a PNG file (8-bit RGBA), compressed with deflate's
// fixed codes and a greedy search for repeats, so that the screenshots the
// window tests save need no image library on either platform.
#pragma once

#include <filesystem>

#include "framework/controls/bitmap.h"

// False when the file cannot be written.
bool SavePng(const TBitmap& bitmap, const std::filesystem::path& file);
