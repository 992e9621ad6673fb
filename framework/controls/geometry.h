// Points, sizes and rectangles of the component set, in whole pixels. The
// controls keep their bounds in design pixels (96 per inch); a back end maps
// them to the screen's pixels.
#pragma once

#include <iosfwd>

struct TPoint {
  int x = 0;
  int y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TSize {
  int width = 0;
  int height = 0;
  bool operator==(const TSize&) const = default;
};

struct TRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
  TSize Size() const { return {width, height}; }
  bool operator==(const TRect&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TPoint& point);
std::ostream& operator<<(std::ostream& out, const TSize& size);
std::ostream& operator<<(std::ostream& out, const TRect& rect);
