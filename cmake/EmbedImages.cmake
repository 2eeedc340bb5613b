# Writes a C++ source holding every PNG of IMAGE_DIR as a byte array, listed
# in kEmbeddedImages (resources/EmbeddedImages.h). The leading number of a
# file name ("179-notifier-skin.png") is the image's resource id.
# Run as: cmake -DIMAGE_DIR=... -DOUTPUT=... -P EmbedImages.cmake
file(GLOB _images ${IMAGE_DIR}/*.png)
list(SORT _images)
set(_arrays "")
set(_entries "")
set(_index 0)
foreach(_image ${_images})
  get_filename_component(_name ${_image} NAME)
  if(NOT _name MATCHES "^([0-9]+)-")
    message(FATAL_ERROR "${_name}: an image file name starts with its resource id")
  endif()
  set(_id ${CMAKE_MATCH_1})
  math(EXPR _id "${_id}")
  file(READ ${_image} _hex HEX)
  string(LENGTH "${_hex}" _length)
  math(EXPR _size "${_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n" _bytes "${_bytes}")
  string(APPEND _arrays "// ${_name}\nconst unsigned char kImage${_index}[${_size}] = {\n${_bytes}};\n\n")
  string(APPEND _entries "    {${_id}, kImage${_index}, sizeof kImage${_index}},\n")
  math(EXPR _index "${_index} + 1")
endforeach()
list(LENGTH _images _count)
if(_count EQUAL 0)
  set(_entries "    {0, nullptr, 0},\n")
endif()
file(WRITE ${OUTPUT}.tmp "// Generated from resources/images by cmake/EmbedImages.cmake; do not edit.
#include \"EmbeddedImages.h\"

namespace resources
{
namespace
{
${_arrays}} // namespace

const EmbeddedImage kEmbeddedImages[] = {
${_entries}};
const std::size_t kEmbeddedImageCount = ${_count};
} // namespace resources
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
