#pragma once
// The WSQ codec's public entry points.
//
// Every function returns 0 or a negative code (wsq/errors.h) and writes one
// "ERROR : function : reason" line to stderr when it fails. Decoding works on
// a memory buffer with an explicit end and never reads past it.
#include <cstddef>
#include <vector>

#include "wsq/encoder.h"       // wsq_encode_1
#include "wsq/errors.h"
#include "wsq/nist_com.h"      // NIST_COM lists, nistcom_from_stream, ppi_from_stream
#include "wsq/stream_reader.h" // getc_marker_wsq, getc_comment, getc_skip_marker_segment
#include "wsq/tables.h"

// Bounds a decode checks before it allocates anything of the frame's size:
// a decode holds about 6 bytes per pixel at its peak (the coefficient image,
// the indices or the output, and a strip of working lines), so maxPixels
// bounds its memory. The defaults admit every print a scanner makes.
inline constexpr long long WSQ_DEFAULT_MAX_PIXELS = 1LL << 26;  // 8192 x 8192

struct WsqDecodeLimits {
    // Largest width x height decoded (WSQ_ERR_FRAME_TOO_LARGE beyond it).
    long long maxPixels = WSQ_DEFAULT_MAX_PIXELS;
    // Refuse a frame whose coded subbands hold more coefficients than the
    // stream's remaining bytes could code even at the densest coding the
    // format has (a 1-bit code for a run of 65535 zeros and its 16-bit
    // length: 30840 coefficients a byte); WSQ_ERR_FRAME_IMPLAUSIBLE.
    bool refuseImplausibleFrames = true;
};

// Decodes a complete WSQ stream into 8-bit gray pixels, row-major, top row
// first, width bytes per row. On success: *odata holds width x height bytes,
// *od = 8, *oppi = the NIST_COM PPI entry or -1, *lossyflag = 1. On failure no
// out-parameter is written. Each call starts from empty tables: nothing of an
// earlier stream carries over. Safe to call from several threads at once.
int wsq_decode_mem(std::vector<unsigned char>* odata, int* ow, int* oh, int* od, int* oppi, int* lossyflag,
                   const unsigned char* idata, std::size_t ilen);
// The same within the caller's limits.
int wsq_decode_mem(std::vector<unsigned char>* odata, int* ow, int* oh, int* od, int* oppi, int* lossyflag,
                   const unsigned char* idata, std::size_t ilen, const WsqDecodeLimits& limits);
