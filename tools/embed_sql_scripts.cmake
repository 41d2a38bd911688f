# Writes a C++ source holding SQL script files as raw string literals, so that
# the installed tool carries the schema and needs no source tree.
#   cmake -DOUTPUT=<file.cpp> -DSCRIPTS="<a.sql>|<b.sql>" -P embed_sql_scripts.cmake
# Each script is found by its file name through EmbeddedSqlScript().
set(delimiter "sql_script")
string(REPLACE "|" ";" SCRIPTS "${SCRIPTS}")
set(body "")
foreach(script IN LISTS SCRIPTS)
  file(READ "${script}" text)
  string(FIND "${text}" ")${delimiter}\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${script} holds the raw string delimiter )${delimiter}\"")
  endif()
  get_filename_component(name "${script}" NAME)
  string(APPEND body "    {\"${name}\", R\"${delimiter}(${text})${delimiter}\"},\n")
endforeach()
file(WRITE "${OUTPUT}.tmp"
"// Generated from the schema/ folder by tools/embed_sql_scripts.cmake; do not edit.
#include \"tools/schema_scripts.h\"

#include <cstring>

namespace {

struct Script {
  const char* name;
  const char* text;
};

constexpr Script kScripts[] = {
${body}};

}  // namespace

const char* EmbeddedSqlScript(const char* file_name) {
  for (const Script& script : kScripts) {
    if (std::strcmp(script.name, file_name) == 0) return script.text;
  }
  return nullptr;
}
")
# Only touch the output when it changed, so unchanged scripts rebuild nothing.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
