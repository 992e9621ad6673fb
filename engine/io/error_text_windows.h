// The text of a Windows error code, in UTF-8, for the file layer's messages.
// Windows builds only.
#pragma once

#include <string>

namespace px {

// "the process cannot access the file ... (error 32)": the system's text for
// `code` (a GetLastError value) with the number.
std::string windowsErrorText(unsigned long code);

// The wide string as UTF-8.
std::string utf8FromWide(const wchar_t* text, std::size_t length);

}  // namespace px
