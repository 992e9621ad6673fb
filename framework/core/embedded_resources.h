// Files compiled into the program (fw_embed_resources in CMake), found by
// their file name: a description names one where it needs binary data, such
// as a window's icon ("Icon = \"mergetool.ico\""). Registration belongs to
// start-up, like the registration of classes.
#pragma once

#include <string>
#include <string_view>

// Makes `bytes` known under `name`; the bytes must outlive the program's use.
void RegisterEmbeddedResource(std::string_view name, std::string_view bytes);
// Throws EReadError "Resource X not found" for a name never registered.
std::string_view EmbeddedResource(std::string_view name);
