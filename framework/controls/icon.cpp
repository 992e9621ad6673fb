#include "framework/controls/icon.h"

#include <cstdint>

#include "framework/core/exceptions.h"

namespace {

// The icon file's directory and the bitmap header of each image.
constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kEntryBytesInRes = 8;
constexpr std::size_t kEntryImageOffset = 12;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kInfoWidth = 4;
constexpr std::size_t kInfoHeight = 8;  // colour rows and mask rows together
constexpr std::size_t kInfoBitCount = 14;
constexpr std::size_t kInfoCompression = 16;
constexpr std::size_t kInfoColorsUsed = 32;
constexpr std::uint16_t kIconType = 1;

std::uint32_t Read(std::string_view data, std::size_t offset, int bytes) {
  if (offset + bytes > data.size()) throw EReadError("icon data ends inside its header");
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(data[offset + i]);
  return value;
}

std::size_t RowBytes(int width, int bits) { return ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4; }

}  // namespace

TIcon TIcon::FromIcoFile(std::string_view bytes) {
  TIcon icon;
  if (Read(bytes, 0, 2) != 0 || Read(bytes, 2, 2) != kIconType || Read(bytes, 4, 2) == 0) {
    throw EReadError("not an icon file");
  }
  icon.imageSize_ = Read(bytes, kDirectorySize + kEntryBytesInRes, 4);
  icon.imageOffset_ = Read(bytes, kDirectorySize + kEntryImageOffset, 4);
  if (icon.imageOffset_ > bytes.size() || icon.imageSize_ > bytes.size() - icon.imageOffset_) {
    throw EReadError("icon image lies outside the file");
  }
  std::string_view image = bytes.substr(icon.imageOffset_, icon.imageSize_);
  if (Read(image, 0, 4) != kInfoHeaderSize || Read(image, kInfoCompression, 4) != 0) {
    throw EReadError("icon image is no uncompressed bitmap");
  }
  const int width = static_cast<int>(Read(image, kInfoWidth, 4));
  const int height = static_cast<int>(Read(image, kInfoHeight, 4)) / 2;
  const int bits = static_cast<int>(Read(image, kInfoBitCount, 2));
  if (width <= 0 || height <= 0 || width > 256 || height > 256) throw EReadError("icon size out of range");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) throw EReadError("icon colour depth unknown");
  std::size_t colors = bits <= 8 ? Read(image, kInfoColorsUsed, 4) : 0;
  if (bits <= 8 && colors == 0) colors = std::size_t{1} << bits;
  const std::size_t palette = kInfoHeaderSize;
  const std::size_t pixels = palette + colors * 4;
  const std::size_t mask = pixels + RowBytes(width, bits) * height;
  if (mask + RowBytes(width, 1) * height > image.size()) throw EReadError("icon image is cut short");

  icon.image_ = TBitmap(width, height);
  for (int row = 0; row < height; ++row) {
    const std::size_t line = pixels + RowBytes(width, bits) * (height - 1 - row);
    const std::size_t maskLine = mask + RowBytes(width, 1) * (height - 1 - row);
    for (int x = 0; x < width; ++x) {
      std::uint32_t bgr;
      if (bits <= 8) {
        const std::size_t bitOffset = static_cast<std::size_t>(x) * bits;
        const unsigned byte = static_cast<unsigned char>(image[line + bitOffset / 8]);
        const unsigned index = (byte >> (8 - bits - bitOffset % 8)) & ((1u << bits) - 1);
        if (index >= colors) throw EReadError("icon pixel names a colour its palette lacks");
        bgr = Read(image, palette + index * 4, 3);
      } else {
        bgr = Read(image, line + static_cast<std::size_t>(x) * (bits / 8), 3);
      }
      const bool transparent = (static_cast<unsigned char>(image[maskLine + x / 8]) >> (7 - x % 8)) & 1;
      const std::uint32_t alpha = transparent ? 0u : 0xFF000000u;
      // The file keeps blue first; the bitmap wants red first.
      const std::uint32_t rgb = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
      icon.image_.SetPixel(x, row, alpha | rgb);
    }
  }
  icon.bitsPerPixel_ = bits;
  icon.data_ = std::string(bytes);
  return icon;
}

std::string_view TIcon::ImageData() const { return std::string_view(data_).substr(imageOffset_, imageSize_); }
