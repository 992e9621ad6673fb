#include "framework/controls/geometry.h"

#include <ostream>

std::ostream& operator<<(std::ostream& out, const TPoint& point) {
  return out << "(" << point.x << ", " << point.y << ")";
}

std::ostream& operator<<(std::ostream& out, const TSize& size) { return out << size.width << "x" << size.height; }

std::ostream& operator<<(std::ostream& out, const TRect& rect) {
  return out << "(" << rect.left << ", " << rect.top << ", " << rect.width << "x" << rect.height << ")";
}
