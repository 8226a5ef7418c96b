#pragma once
// Helpers of the picture tests: fixture bytes, pixels read from the top left,
// and comparison of a picture with a pattern.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "pictures/picture_io.h"
#include "platform/files.h"

inline std::string fixture(const std::string& name)
{
    return std::string(NV_TEST_DATA_DIR) + "/" + name;
}

inline std::vector<std::uint8_t> fixtureBytes(const std::string& name)
{
    return platform::readWholeFile(fixture(name)).bytes;
}

using Rgb = std::array<int, 3>;

// Colour at (x, y) counted from the top left, whatever the depth.
inline Rgb pixelAt(const platform::Bitmap& bitmap, int x, int y)
{
    const platform::Bitmap wide = pictures::convertTo24Bit(bitmap);
    const std::uint8_t* p = wide.topRow(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

// Every pixel within tolerance of the pattern; reports the first miss.
inline ::testing::AssertionResult matchesPattern(const platform::Bitmap& bitmap, int width, int height,
                                                 const std::function<Rgb(int, int)>& pattern, int tolerance = 0)
{
    if (bitmap.width() != width || bitmap.height() != height)
        return ::testing::AssertionFailure() << "size " << bitmap.width() << "x" << bitmap.height();
    const platform::Bitmap wide = pictures::convertTo24Bit(bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = wide.topRow(y) + 3 * x;
            const Rgb got{p[2], p[1], p[0]}, want = pattern(x, y);
            for (int c = 0; c < 3; ++c)
                if (std::abs(got[c] - want[c]) > tolerance)
                    return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << got[0] << ","
                                                         << got[1] << "," << got[2] << " not " << want[0] << ","
                                                         << want[1] << "," << want[2];
        }
    return ::testing::AssertionSuccess();
}

// The 16x12 colour pattern of the TIFF, PNG and JPEG fixtures.
inline Rgb rgbPattern(int x, int y)
{
    return {x * 16, y * 20, (x + y) * 8};
}

// The 40x30 bilevel pattern of the fax fixtures: black where (x*x+y*y)%7 < 3.
inline Rgb bilevelPattern(int x, int y)
{
    const int v = (x * x + y * y) % 7 < 3 ? 0 : 255;
    return {v, v, v};
}
