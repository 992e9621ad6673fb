// How the Windows programs take their command line apart. Windows builds only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace px {

// The words of a wide command line, as UTF-8: blanks separate words outside
// double quotes, and every double quote opens or closes a quoted stretch.
// Backslashes are plain characters, also before a quote: no path holds a
// quote, and so "C:\Praxis\alt (2019)\" -- a directory with the trailing
// backslash that the window and many users write -- keeps its backslash and
// does not swallow the words after it, as the C runtime's rules would have it.
std::vector<std::string> splitCommandLine(std::wstring_view line);

}  // namespace px
