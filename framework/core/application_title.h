// The application title made from the program file's name, and the text the
// exception display shows for an exception's message.
#pragma once

#include <string>
#include <string_view>

// The folders before the last "\" or "/" are removed, the name is cut before
// its first period, and every character after the first is put in lower
// case: "C:\TOOLS\MERGE.TOOL.EXE" gives "Merge".
std::string TitleFromFileName(std::string_view path);

// The message, with a period appended when its last character has a code
// above the period's (0x2E): after a letter, a digit, ":" or "?", and after
// every byte of a non-ASCII character; not after ".", "!", ")", a blank or a
// line break, nor to an empty text.
std::string ExceptionDisplayText(std::string_view message);
