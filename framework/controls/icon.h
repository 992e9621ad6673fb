// A window's icon, kept as the bytes of an icon file (.ico): a directory of
// images, each a device-independent bitmap with its colours and a 1-bit
// transparency mask. The first image is the one used. A back end hands the
// image's bytes to the platform, or draws the decoded pixels.
#pragma once

#include <string>
#include <string_view>

#include "framework/controls/bitmap.h"

class TIcon {
 public:
  TIcon() = default;
  // Throws EReadError when the bytes are no icon file this reads: the
  // directory, the image's header, its palette and its rows are each checked
  // against the size of the data.
  static TIcon FromIcoFile(std::string_view bytes);

  bool Empty() const { return data_.empty(); }
  int Width() const { return image_.Width(); }
  int Height() const { return image_.Height(); }
  // The first image as pixels; a pixel the mask makes transparent has alpha 0.
  const TBitmap& Image() const { return image_; }
  // The first image's bytes as the file holds them (header, palette, colour
  // rows, mask), the form in which the platform builds an icon.
  std::string_view ImageData() const;
  int BitsPerPixel() const { return bitsPerPixel_; }

 private:
  std::string data_;
  std::size_t imageOffset_ = 0;
  std::size_t imageSize_ = 0;
  int bitsPerPixel_ = 0;
  TBitmap image_;
};
