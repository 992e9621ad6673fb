# Turns one binary file into a header holding its bytes. Run as:
# cmake -DINPUT=<file> -DOUTPUT=<header> -DNAME=<identifier> -P embed_resource.cmake
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){16})" "\\1\n    " bytes "${bytes}")
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
get_filename_component(source_name "${INPUT}" NAME)
set(header "// Generated from ${source_name} by fw_embed_resources; edit the file, not this one.
#pragma once

#include <string_view>

namespace resources {

inline constexpr char ${NAME}_bytes[] = {
    ${bytes}};
inline constexpr std::string_view ${NAME}(${NAME}_bytes, ${size});
inline constexpr std::string_view ${NAME}_source = \"${source_name}\";

}  // namespace resources
")
file(WRITE "${OUTPUT}.tmp" "${header}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
