#pragma once

#include <cstddef>

// The PNG files of resources/images, compiled into the program by the build
// (cmake/EmbedImages.cmake). Each is found by the resource id that starts its
// file name.
namespace resources
{
struct EmbeddedImage
{
    int id;
    const unsigned char* data;
    std::size_t size;
};

extern const EmbeddedImage kEmbeddedImages[];
extern const std::size_t kEmbeddedImageCount;
} // namespace resources
