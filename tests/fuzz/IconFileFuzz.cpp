// libFuzzer target for the icon file reader: any bytes must be refused or
// decoded without reading outside the file. Build with clang:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
//         -DKESTROVA_FUZZ=ON -DKESTROVA_BUILD_UI=OFF -DKESTROVA_BUILD_BENCH=OFF
//   cmake --build build-fuzz --target fuzz_ico && build-fuzz/tests/fuzz_ico -max_total_time=300
#include "mainwindow/IconFileFormat.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    auto icon = ico::ParseIconFile(std::vector<std::uint8_t>(data, data + size), error);
    if (!icon)
        return 0;
    for (const ico::IconImage& image : icon->images)
    {
        std::optional<ico::RgbaImage> decoded = ico::DecodeBitmapImage(*icon, image);
        if (decoded && decoded->pixels.size() != static_cast<std::size_t>(image.width) * image.height * 4)
            std::abort();
    }
    return 0;
}
