#pragma once
// Decoding one Type-4 image into the fingerprint bitmap the finger map shows.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace nist {

struct DecodedFingerprint {
    // 24 bits per pixel, blue = green = red = the decoded gray value; empty
    // when the image could not be decoded.
    platform::Bitmap bitmap;
    int ppi = -1;
    // Why the decode failed; empty on success.
    std::string error;
    // Failed checks of the stream's head (0 to 2); the reader reports each.
    int headFailures = 0;
};

// What the head of a WSQ stream says before its image data: the frame's size
// and the PPI of its NIST_COM comment (-1 when it says none).
struct WsqStreamHead {
    int width = 0;
    int height = 0;
    int ppi = -1;
};

// Reads the stream up to its frame header without decoding anything; none
// when the stream does not get that far. The codec's messages of this walk
// are kept back: a decode reports the same faults itself.
std::optional<WsqStreamHead> readWsqStreamHead(const std::vector<std::uint8_t>& imageData);

// Decodes the WSQ bytes of a Type-4 record. Also checks the stream's head for
// a start-of-image marker followed by another marker, counting each failed
// check in headFailures.
DecodedFingerprint decodeFingerprint(const std::vector<std::uint8_t>& imageData);

}  // namespace nist
