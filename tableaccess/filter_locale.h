// The user's number format as filter constants read it: the decimal separator
// of the process's global C++ locale. Tests pass their own.
#pragma once

struct FilterLocale {
  char32_t decimalSeparator = U'.';

  // From std::locale(); "." when the locale's numpunct gives no usable separator.
  static FilterLocale User();
};
