#pragma once
// The WSQ encoder: 8-bit gray pixels in, a complete WSQ stream out.
#include <optional>
#include <string_view>
#include <vector>

// Compresses width x height gray pixels (row-major, top row first) at the bit
// rate r_bitrate into *odata, which receives exactly the stream's bytes. depth
// and ppi only go into the NIST_COM comment; comment_text, when given, is
// merged into it (a text starting with "NIST_COM") or written as a second,
// plain comment. Returns 0 or a negative code (wsq/errors.h); on failure
// *odata is left untouched. Prints the block sizes and the compression ratio
// on stderr on every successful encode. Deterministic; no shared state.
int wsq_encode_1(std::vector<unsigned char>* odata, float r_bitrate, const unsigned char* idata,
                 int width, int height, int depth, int ppi,
                 std::optional<std::string_view> comment_text);
