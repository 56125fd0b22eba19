# Turns the files named in the resource list into one C++ source of byte
# arrays with a table by name and type. Run with -DLIST=... -DOUT=...
get_filename_component(dir ${LIST} DIRECTORY)
file(STRINGS ${LIST} lines REGEX "^[^#]")
set(arrays "")
set(table "")
set(index 0)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
  list(LENGTH fields count)
  if(NOT count EQUAL 3)
    message(FATAL_ERROR "resources.list: expected 'name type file' in: ${line}")
  endif()
  list(GET fields 0 name)
  list(GET fields 1 type)
  list(GET fields 2 file)
  file(READ ${dir}/${file} hex HEX)
  file(SIZE ${dir}/${file} size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "static const unsigned char r${index}[] = {${bytes}};\n")
  string(APPEND table "    {\"${name}\", \"${type}\", r${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
if(index EQUAL 0)
  set(table "    {nullptr, nullptr, nullptr, 0},\n")
endif()
file(WRITE ${OUT}.tmp "// Generated from resources/resources.list; do not edit.
#include \"platform/internal.h\"
namespace plat {
${arrays}
const EmbeddedResource kEmbeddedResources[] = {
${table}};
const size_t kEmbeddedResourceCount = ${index};
}  // namespace plat
")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.tmp)
