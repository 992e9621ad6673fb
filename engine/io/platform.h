// What the engine and the programs ask of the system beyond reading and
// writing files: the environment, the command line, the console, where the
// program and the user's settings lie, and which volume a directory is on.
// platform_posix.cpp and platform_windows.cpp answer; above engine/io nothing
// asks the system itself. Every text here is UTF-8.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace px {

// An environment variable's value, or nothing when it is not set.
std::optional<std::string> environmentVariable(const char* name);
// Sets (or with nullopt removes) an environment variable of this process,
// which the programs it starts inherit.
void setEnvironmentVariable(const char* name, const std::optional<std::string>& value);

// The program's arguments, argv[0] first. On Windows they are taken from the
// wide command line, so that "C:\Praxis\Müller & Söhne" arrives whole,
// whatever the code page; on POSIX they are `argv`.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Lets the console show the UTF-8 texts the programs print (Windows: the
// console's output code page becomes UTF-8 until the program ends). Harmless
// where the output goes to a file or pipe.
void useUtf8Console();

// The directory of the running program's file.
std::filesystem::path executableDirectory();

// Looks up an environment variable: environmentVariable in the programs, a
// table in the tests.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The directory below which the user's settings lie: %APPDATA% on Windows;
// $XDG_CONFIG_HOME (when absolute) or ~/.config elsewhere. Empty when the
// environment names none.
std::filesystem::path userConfigDirectory(const EnvironmentLookup& environment);

// True when both paths lie on one volume (one file system; on Windows one
// drive or one share), so that space taken on one is taken on the other.
// False when either cannot be asked.
bool sameVolume(const std::filesystem::path& a, const std::filesystem::path& b);

// The system's process number of this program, for names that concurrent
// processes must not share.
unsigned long processId();

}  // namespace px
