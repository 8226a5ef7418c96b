#pragma once
// Every result code of the WSQ codec, in one place.
//
// Each codec function returns 0 or one of these negative codes. The first
// failure ends the operation and its code is passed up unchanged; the failing
// function writes one line "ERROR : function : reason" to stderr. Several codes
// are shared by unrelated failures (-2 especially): callers only distinguish 0
// from non-zero, the stderr line tells which failure it was.
//
//  code  where                          meaning
//  ----  -----------------------------  --------------------------------------
//    -1  check_all_ones_code            a code of 1-bits only (a warning for
//                                       the decoder, an error for the encoder)
//    -2  getc_huffman_table             no table bytes left in a DHT segment
//        getc_huffman_table_wsq         second table of a segment re-defines a slot
//        getc_comment                   allocation
//        getc_skip_marker_segment       segment runs to or past the buffer end
//        build_huffsizes, NIST_COM list operations: allocation / lookup, see
//        nist_com.h; string2fet: empty name; extractfet_ret: name not found
//    -3  getc_huffman_table             allocation (huffbits)
//        sort_huffbits                  a code longer than 16 bits remains
//        make_huff_table                a counted symbol got no code:
//                                       "ERROR : make_huff_table : symbol %d has no code\n"
//    -4  getc_huffman_table             a table holds more than 257 values
//    -5  getc_huffman_table             allocation (huffvalues)
//   -10..-13  wsq_encode_1              allocation / block sizes (encoder)
//   -20  wsq_decode_mem                 allocation of the coefficient indices
//   -21  wsq_decode_mem                 allocation of the output image
//   -32  putc_byte                      output buffer full
//   -33  putc_bytes                     output buffer full
//   -39  getc_byte                      end of buffer
//   -40  getc_bytes                     end of buffer (also u16, u32, comment text)
//   -41  getc_nextbits_wsq              0xFF followed by a non-zero byte where
//                                       no marker may stand
//   -48  count_block                    allocation (encoder)
//   -51  huffman_decode_data_mem        a block names an undefined table
//   -52  huffman_decode_data_mem        category 0 or 255
//   -82, -83  putc_transform_table      a filter tap too large to write
//   -86, -87  putc_quantization_table   a bin width too large to write
//   -88  getc_marker_wsq                no SOI where the stream must start
//   -89  getc_marker_wsq                not a table, comment or SOF
//   -90  getc_marker_wsq                not a table, comment or SOB
//        quantize                       allocation (encoder)
//   -91  getc_marker_wsq                no marker (high byte not 0xFF)
//        unquantize                     allocation
//   -92  getc_marker_wsq                unknown expectation class
//        unquantize                     no quantization table (no DQT)
//   -93  getc_table_wsq                 marker opens no table or comment
//   -94  getc_transform_table           allocation; wsq_decompose: allocation
//   -95  getc_transform_table           allocation;
//        wsq_reconstruct                no lowpass filter (no DTT)
//   -96, -97  getc_transform_table      allocation; wsq_reconstruct: no highpass
//                                       filter / allocation
//   -98  wsq_reconstruct                filter lengths that form no wavelet pair
//                                       (kWsqErrorFilterPair, wsq/filter_banks.h)
//
// Limits of the stream format that the codec enforces, each with its own code:
inline constexpr int WSQ_ERR_TABLE_ID = -100;          // DHT table id of 8 or more
inline constexpr int WSQ_ERR_COMMENT_LENGTH = -101;    // COM length field below 2
inline constexpr int WSQ_ERR_COEFF_OVERRUN = -102;     // more coefficients than the image has pixels
inline constexpr int WSQ_ERR_NO_CODE = -103;           // no Huffman code matches within 16 bits
inline constexpr int WSQ_ERR_FRAME_TOO_SMALL = -104;   // a side below 81 pixels (decoder and encoder)
inline constexpr int WSQ_ERR_UNIFORM_IMAGE = -105;     // encoder: every pixel equal
inline constexpr int WSQ_ERR_NO_VARIANCE = -106;       // encoder: no subband above the variance threshold
inline constexpr int WSQ_ERR_BLOCK_OVERFLOW = -107;    // encoder: coded block larger than its buffer
inline constexpr int WSQ_ERR_FET_TOO_LONG = -108;      // NIST_COM name or value over 511 characters
inline constexpr int WSQ_ERR_COMMENT_TOO_LONG = -109;  // comment text too long for one COM segment
inline constexpr int WSQ_ERR_FRAME_TOO_LARGE = -110;   // frame beyond what the codec will allocate
                                                       // or a side above 65535 for a frame header
//
// Their stderr lines:
//  -100 "ERROR : getc_huffman_table_wsq : huffman table ID = %d is not below 8\n"
//  -101 "ERROR : getc_comment : segment length %d is below 2\n"
//  -102 "ERROR : huffman_decode_data_mem : coefficients overrun the image of %zu values\n"
//  -103 "ERROR : decode_category : no huffman code matches within 16 bits\n"
//  -104 "ERROR : wsq_decode_mem : image %d x %d is smaller than 81 x 81\n"
//       (the encoder's line names wsq_encode_1)
//  -105 "ERROR : wsq_encode_1 : uniform image, every pixel is %d\n"
//  -106 "ERROR : quantize : no subband variance reaches the threshold\n"
//  -107 "ERROR : compress_block : coded block exceeds its buffer of %zu bytes\n"
//  -108 "ERROR : string2fet : name or value longer than 511 characters\n"
//  -109 "ERROR : putc_com_segment : comment of %zu bytes does not fit a segment\n"
//  -110 "ERROR : wsq_decode_mem : image %d x %d is larger than the decoder accepts\n"
//       "ERROR : wsq_encode_1 : image %d x %d is larger than the codec accepts\n"
//       "ERROR : putc_sof_segment : frame value out of range\n"
//  -111 "ERROR : quantize : bit rate %f gives no usable bin widths\n"
//       (WSQ_ERR_BITRATE, wsq/quantization.h: a NaN or zero bit-rate scale)

// Largest frame (width x height) the decoder allocates for; about 11 bytes of
// working memory per pixel.
inline constexpr long long WSQ_MAX_PIXELS = 1LL << 27;

// Longest name or value accepted when a NIST_COM text is parsed.
inline constexpr int MAX_FET_LENGTH = 511;
