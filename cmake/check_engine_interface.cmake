# Keeps the layers above the engine on its interface: every "engine/..."
# include in the folders that engine/README.md names under "## The interface"
# must be one of the headers listed there, unless the file is one of the
# engine's own tools or benchmarks listed there too. The lists are read from
# the README, so that they have one home.
#   cmake -DSOURCE_DIR=<repository> -P check_engine_interface.cmake
cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

file(READ "${SOURCE_DIR}/engine/README.md" readme)
string(FIND "${readme}" "\n## The interface" start)
if(start EQUAL -1)
  message(FATAL_ERROR "engine/README.md has no section \"## The interface\"")
endif()
string(SUBSTRING "${readme}" ${start} -1 section)
string(SUBSTRING "${section}" 1 -1 section)
string(FIND "${section}" "\n## " end)
if(NOT end EQUAL -1)
  string(SUBSTRING "${section}" 0 ${end} section)
endif()

# Backticked names: engine/...h are the interface, other folders ending in "/"
# are the layers above, tools/ and bench/ files are inside the engine.
string(REGEX MATCHALL "`[^`]+`" names "${section}")
set(interface)
set(folders)
set(inside)
foreach(name IN LISTS names)
  string(REPLACE "`" "" name "${name}")
  if(name MATCHES "^engine/.*\\.h$")
    list(APPEND interface "${name}")
  elseif(name MATCHES "^(tableaccess|database|app|tools|bench)/$")
    list(APPEND folders "${name}")
  elseif(name MATCHES "^(tools|bench)/.*\\.cpp$")
    list(APPEND inside "${name}")
  endif()
endforeach()
if(NOT interface OR NOT folders)
  message(FATAL_ERROR "engine/README.md names no interface headers or no folders above the engine")
endif()
foreach(header IN LISTS interface)
  if(NOT EXISTS "${SOURCE_DIR}/${header}")
    message(FATAL_ERROR "engine/README.md names ${header}, which does not exist")
  endif()
endforeach()

set(breaches)
set(checked 0)
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${folder}*.h" "${SOURCE_DIR}/${folder}*.cpp")
  foreach(file IN LISTS files)
    if(file IN_LIST inside)
      continue()
    endif()
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${SOURCE_DIR}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"engine/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
      if(NOT header IN_LIST interface)
        list(APPEND breaches "${file}: includes ${header}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(breaches)
  list(JOIN breaches "\n  " text)
  message(FATAL_ERROR "Outside the engine's interface (engine/README.md):\n  ${text}\n"
                      "Use the interface, or add the header to the list if it belongs to the interface.")
endif()
message(STATUS "${checked} files above the engine include only its interface")
