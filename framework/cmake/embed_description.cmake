# Turns one stored description file into a header holding it as a string
# constant. Run as: cmake -DINPUT=<file> -DOUTPUT=<header> -DNAME=<identifier> -P embed_description.cmake
file(READ "${INPUT}" text)
string(REPLACE "\\" "\\\\" text "${text}")
string(REPLACE "\"" "\\\"" text "${text}")
string(REPLACE "\r" "\\r" text "${text}")
string(REPLACE "\t" "\\t" text "${text}")
string(REPLACE "\n" "\\n\"\n    \"" text "${text}")
get_filename_component(source_name "${INPUT}" NAME)
set(header "// Generated from ${source_name} by fw_embed_descriptions; edit the description, not this file.
#pragma once

#include <string_view>

namespace descriptions {

inline constexpr std::string_view ${NAME} =
    \"${text}\";
inline constexpr std::string_view ${NAME}_source = \"${source_name}\";

}  // namespace descriptions
")
file(WRITE "${OUTPUT}.tmp" "${header}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
