#include "nist/fingerprint_decoder.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "wsq/diagnostics.h"
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

std::optional<WsqStreamHead> readWsqStreamHead(const std::vector<std::uint8_t>& imageData)
{
    wsq::DiagnosticCapture quiet;
    const unsigned char* cursor = imageData.data();
    const unsigned char* const end = cursor + imageData.size();
    unsigned short marker = 0;
    if (getc_marker_wsq(&marker, EXPECT_SOI, &cursor, end) != 0)
        return std::nullopt;
    WsqStreamHead head;
    // Every segment moves the cursor on, so the walk ends at the buffer's end.
    for (;;) {
        if (getc_marker_wsq(&marker, EXPECT_TABLES_OR_SOF, &cursor, end) != 0)
            return std::nullopt;
        if (marker == SOF_WSQ) {
            FrameHeader frame{};
            if (getc_sof_segment(&frame, &cursor, end) != 0)
                return std::nullopt;
            head.width = frame.width;
            head.height = frame.height;
            return head;
        }
        if (marker == COM_WSQ) {
            std::string text;
            if (getc_comment(&text, &cursor, end) != 0)
                return std::nullopt;
            std::unique_ptr<FetList> fet;
            std::optional<std::string> ppi;
            if (text.compare(0, 8, "NIST_COM") == 0 && string2fet(&fet, text) == 0 &&
                extractfet_ret(&ppi, "PPI", *fet) == 0 && ppi) {
                char* stop = nullptr;
                const long value = std::strtol(ppi->c_str(), &stop, 10);
                if (stop != ppi->c_str() && *stop == '\0' && value > 0 && value < 1000000)
                    head.ppi = static_cast<int>(value);
            }
        } else if (getc_skip_marker_segment(marker, &cursor, end) != 0) {
            return std::nullopt;
        }
    }
}

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
