# Turns one stored description file into a function returning its text (see ws_embed_descriptions).
# The text goes in as hexadecimal bytes, so no character of it can end the literal early.
file(READ ${INPUT} bytes HEX)
string(LENGTH "${bytes}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," body "${bytes}")
file(WRITE ${HEADER} "#pragma once\n\n#include <string_view>\n\nnamespace ws::descriptions {\nstd::string_view ${STEM}();\n} // namespace ws::descriptions\n")
file(WRITE ${SOURCE} "#include \"descriptions/${STEM}Description.h\"\n\nnamespace ws::descriptions {\nnamespace {\nconstexpr char kText[] = {\n${body}'\\0'};\n} // namespace\n\nstd::string_view ${STEM}() { return {kText, ${size}}; }\n} // namespace ws::descriptions\n")
