#pragma once
// An 8-bit grey image, rows top to bottom without padding: the form text recognition reads.
#include <cstdint>
#include <vector>

struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * height bytes

    bool empty() const { return width <= 0 || height <= 0; }
    std::uint8_t at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};
