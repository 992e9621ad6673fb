// The Windows API as the Win32 back end uses it: the wide-character
// functions only (UNICODE), and the conversions between the component set's
// UTF-8 texts and the API's UTF-16.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// Line breaks as the platform's controls want them: "\n" becomes "\r\n".
std::wstring WidenLines(std::string_view utf8);
