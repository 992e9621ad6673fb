# fw_embed_descriptions(<target> <file>...): compiles stored descriptions into
# <target>. For each file, say app/form2.fwd, the target can
#   #include "descriptions/form2.h"
# and read descriptions::form2 (the text) and descriptions::form2_source
# (the file's name, for error messages). The header is made anew whenever
# the description changes.
function(fw_embed_descriptions target)
  set(script "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/embed_description.cmake")
  set(include_dir "${CMAKE_CURRENT_BINARY_DIR}/fw_descriptions/${target}")
  foreach(file IN LISTS ARGN)
    get_filename_component(input "${file}" ABSOLUTE)
    get_filename_component(stem "${file}" NAME_WE)
    string(MAKE_C_IDENTIFIER "${stem}" name)
    set(output "${include_dir}/descriptions/${name}.h")
    add_custom_command(
      OUTPUT "${output}"
      COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DNAME=${name} -P ${script}
      DEPENDS "${input}" "${script}"
      COMMENT "Embedding description ${stem}"
      VERBATIM)
    target_sources(${target} PRIVATE "${output}")
  endforeach()
  target_include_directories(${target} PRIVATE "${include_dir}")
endfunction()

# fw_embed_resources(<target> <file>...): binary files compiled into <target>.
# For app/mergetool.ico the target can #include "resources/mergetool_ico.h"
# and read resources::mergetool_ico (the bytes) and
# resources::mergetool_ico_source (the file's name).
function(fw_embed_resources target)
  set(script "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/embed_resource.cmake")
  set(include_dir "${CMAKE_CURRENT_BINARY_DIR}/fw_resources/${target}")
  foreach(file IN LISTS ARGN)
    get_filename_component(input "${file}" ABSOLUTE)
    get_filename_component(name "${file}" NAME)
    string(MAKE_C_IDENTIFIER "${name}" identifier)
    set(output "${include_dir}/resources/${identifier}.h")
    add_custom_command(
      OUTPUT "${output}"
      COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DNAME=${identifier} -P ${script}
      DEPENDS "${input}" "${script}"
      COMMENT "Embedding resource ${name}"
      VERBATIM)
    target_sources(${target} PRIVATE "${output}")
  endforeach()
  target_include_directories(${target} PRIVATE "${include_dir}")
endfunction()
