// nisttool's PGM reader (the input of "wsq encode").
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/pgm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    cli::GrayImage image;
    std::string error;
    if (cli::readPgm(bytes, &image, &error)) {
        // What was read must be what the header promised, and survive a round trip.
        if (image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
            __builtin_trap();
        cli::GrayImage again;
        if (!cli::readPgm(cli::writePgm(image), &again, &error) || again.pixels != image.pixels)
            __builtin_trap();
    }
    return 0;
}
