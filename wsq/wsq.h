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

// Decodes a complete WSQ stream into 8-bit gray pixels, row-major, top row
// first, width bytes per row. On success: *odata holds width x height bytes,
// *od = 8, *oppi = the NIST_COM PPI entry or -1, *lossyflag = 1. On failure no
// out-parameter is written. Each call starts from empty tables: nothing of an
// earlier stream carries over. Safe to call from several threads at once.
int wsq_decode_mem(std::vector<unsigned char>* odata, int* ow, int* oh, int* od, int* oppi, int* lossyflag,
                   const unsigned char* idata, std::size_t ilen);
