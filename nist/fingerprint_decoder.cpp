#include "nist/fingerprint_decoder.h"

#include <exception>

#include "wsq/wsq.h"

namespace nist {

namespace {

// The stream must open with a start-of-image marker followed by some other
// marker; each failed check counts on its own.
int checkStreamHead(const std::vector<std::uint8_t>& imageData)
{
    const unsigned char* cursor = imageData.data();
    const unsigned char* end = cursor + imageData.size();
    unsigned short marker = 0;
    int failures = 0;
    if (getc_marker_wsq(&marker, EXPECT_SOI, &cursor, end) != 0)
        ++failures;
    if (getc_marker_wsq(&marker, EXPECT_ANY, &cursor, end) != 0)
        ++failures;
    return failures;
}

}  // namespace

DecodedFingerprint decodeFingerprint(const std::vector<std::uint8_t>& imageData)
{
    DecodedFingerprint result;
    std::vector<unsigned char> pixels;
    int width = 0, height = 0, depth = 0, ppi = -1, lossy = 0;
    const int code = wsq_decode_mem(&pixels, &width, &height, &depth, &ppi, &lossy, imageData.data(), imageData.size());
    result.headFailures = checkStreamHead(imageData);
    if (code != 0) {
        result.error = "wsq_decode_mem error " + std::to_string(code);
        return result;
    }
    try {
        platform::Bitmap bitmap(width, height, 24);
        // Decoded rows come top row first; the bitmap keeps its rows bottom-up.
        for (int y = 0; y < height; ++y) {
            const unsigned char* gray = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
            std::uint8_t* row = bitmap.topRow(y);
            for (int x = 0; x < width; ++x) {
                row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = gray[x];
            }
        }
        result.bitmap = std::move(bitmap);
        result.ppi = ppi;
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

}  // namespace nist
