#include "tableaccess/filter_locale.h"

#include <locale>

FilterLocale FilterLocale::User() {
  FilterLocale out;
  const char point = std::use_facet<std::numpunct<char>>(std::locale()).decimal_point();
  // A single byte above 127 is no character of the UTF-8 texts filters are written in.
  const auto byte = static_cast<unsigned char>(point);
  if (byte > 32 && byte < 128) out.decimalSeparator = static_cast<char32_t>(byte);
  return out;
}
