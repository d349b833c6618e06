# Writes a C++ source holding the bytes of a file, so that the library carries its schema as
# it was stored (byte-order mark included).
#   cmake -DINPUT=file -DOUTPUT=file.cc -DSYMBOL=name -P embed_resource.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR byteCount "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include <cstddef>\n"
  "namespace tnl {\n"
  "extern const unsigned char ${SYMBOL}[] = {${bytes}};\n"
  "extern const size_t ${SYMBOL}Size = ${byteCount};\n"
  "}  // namespace tnl\n")
