# Turns a text file into a C++ source holding its bytes, with every line
# ending converted to CR LF, the line end SQL Server tools expect of a script.
# Run with: cmake -DINPUT=<file> -DOUTPUT=<source> -DSYMBOL=<name> -P embed_text_resource.cmake
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPLACE "0x0d," "" bytes "${bytes}")
string(REPLACE "0x0a," "0x0d,0x0a," bytes "${bytes}")
string(REGEX MATCHALL "0x" count_list "${bytes}")
list(LENGTH count_list size)
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include <cstddef>\n"
  "extern const unsigned char ${SYMBOL}[];\n"
  "extern const std::size_t ${SYMBOL_SIZE};\n"
  "const unsigned char ${SYMBOL}[] = {\n${bytes}0x00};\n"
  "const std::size_t ${SYMBOL_SIZE} = ${size};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
