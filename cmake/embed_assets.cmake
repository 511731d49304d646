# Turns the review page's files into a C++ source, so that the binary serves them and needs no
# folder of its own: cmake -DOUTPUT=FILE.cpp -DFOLDER=DIR "-DNAMES=a.html;b.css" -P this file.
# The source defines host::PageAssets() (review/page_assets.h): each file's name and bytes.
set(arrays "")
set(rows "")
set(n 0)
foreach(name IN LISTS NAMES)
  file(READ "${FOLDER}/${name}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  # Sixteen bytes a line.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){16})" "\\1\n    " bytes "${bytes}")
  string(APPEND arrays "const char kAsset${n}[] = {\n    ${bytes}'\\0'};\n")
  string(APPEND rows "      {\"${name}\", std::string_view(kAsset${n}, ${size})},\n")
  math(EXPR n "${n} + 1")
endforeach()
file(WRITE "${OUTPUT}.part" "// Made by cmake/embed_assets.cmake from host/review/assets/: do not edit.
#include \"review/page_assets.h\"

namespace host {
namespace {

${arrays}
}  // namespace

const std::vector<PageAsset>& PageAssets() {
  static const std::vector<PageAsset> assets = {
${rows}  };
  return assets;
}

}  // namespace host
")
# Only a changed source is written anew: an unchanged one leaves nothing to recompile.
file(COPY_FILE "${OUTPUT}.part" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.part")
