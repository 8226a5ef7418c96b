#pragma once
// Binary PGM (P5, maxval 255) for the WSQ subcommands: 8-bit gray pixels,
// row-major, top row first.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width x height
    // Pixels per inch, kept in a "# PPI N" header comment (PGM has no field).
    std::optional<int> ppi;
};

// False with a reason in *error when the bytes are not a P5 file with maxval
// 255 and enough pixel data. Header comments ('#' to the end of the line) are
// skipped; one reading "PPI N" (N from 1 to 1000000) gives the ppi.
bool readPgm(const std::vector<std::uint8_t>& bytes, GrayImage* image, std::string* error);
std::vector<std::uint8_t> writePgm(const GrayImage& image);

}  // namespace cli
