#pragma once
// Every result code of the WSQ codec, in one place.
//
// Each codec function returns 0 or one of these negative codes. The first
// failure ends the operation and its code is passed up unchanged; the failing
// function writes one line "ERROR : function : reason" through the diagnostics
// sink (wsq/diagnostics.h; stderr by default). Several codes are shared by
// unrelated failures (-2 especially): callers only distinguish 0 from
// non-zero, the line tells which failure it was.
//
// The same number can stand for unrelated failures (the historic codes of
// the format's reference tools); each failure has its own name here.

// Huffman tables (stream readers, code construction, encoder tables).
inline constexpr int WSQ_ERR_ALL_ONES_CODE = -1;        // check_all_ones_code: a code of 1-bits only
                                                        // (a warning for the decoder, an error for the encoder)
inline constexpr int WSQ_ERR_NO_TABLE_BYTES = -2;       // getc_huffman_table: no bytes left in the DHT segment
inline constexpr int WSQ_ERR_TABLE_REDEFINED = -2;      // getc_huffman_table_wsq: later table of a segment
                                                        // into a defined slot
inline constexpr int WSQ_ERR_HUFFCODE_ALLOC = -2;       // build_huffsizes: no memory
inline constexpr int WSQ_ERR_HUFFBITS_ALLOC = -3;       // getc_huffman_table: no memory
inline constexpr int WSQ_ERR_CODE_TOO_LONG = -3;        // sort_huffbits: a code longer than 16 bits remains
inline constexpr int WSQ_ERR_SYMBOL_WITHOUT_CODE = -3;  // make_huff_table: a counted symbol got no code
inline constexpr int WSQ_ERR_TOO_MANY_VALUES = -4;      // getc_huffman_table: more than 257 values
inline constexpr int WSQ_ERR_HUFFVALUES_ALLOC = -5;     // getc_huffman_table: no memory

// Segments and comments.
inline constexpr int WSQ_ERR_COMMENT_ALLOC = -2;        // getc_comment: no memory
inline constexpr int WSQ_ERR_SEGMENT_PAST_END = -2;     // getc_skip_marker_segment: runs to the buffer end

// NIST_COM lists.
inline constexpr int WSQ_ERR_FET_ALLOC = -2;            // allocfet_ret: the list
inline constexpr int WSQ_ERR_FET_NAMES_ALLOC = -3;      // allocfet_ret: its names
inline constexpr int WSQ_ERR_FET_VALUES_ALLOC = -4;     // allocfet_ret: its values
inline constexpr int WSQ_ERR_FET_GROW_NAMES = -2;       // reallocfet_ret: names
inline constexpr int WSQ_ERR_FET_GROW_VALUES = -3;      // reallocfet_ret: values
inline constexpr int WSQ_ERR_FET_REPLACE_VALUE = -2;    // updatefet_ret: copy of a replaced value
inline constexpr int WSQ_ERR_FET_APPEND_NAME = -3;      // updatefet_ret: copy of an appended name
inline constexpr int WSQ_ERR_FET_APPEND_VALUE = -4;     // updatefet_ret: copy of an appended value
inline constexpr int WSQ_ERR_FET_NOT_FOUND = -2;        // extractfet_ret: no such name
inline constexpr int WSQ_ERR_FET_EXTRACT_COPY = -3;     // extractfet_ret: copy of the value
inline constexpr int WSQ_ERR_FET_LOOKUP_COPY = -2;      // lookupfet: copy of the value
inline constexpr int WSQ_ERR_FET_EMPTY_NAME = -2;       // string2fet: a line starts with a blank
inline constexpr int WSQ_ERR_FET_STRING_ALLOC = -2;     // fet2string: no memory

// Encoder.
inline constexpr int WSQ_ERR_ENCODE_FDATA_ALLOC = -10;  // wsq_encode_1: the float image
inline constexpr int WSQ_ERR_BLOCK_SIZES = -11;         // wsq_encode_1: block sizes do not add up
inline constexpr int WSQ_ERR_ENCODE_OUTPUT_ALLOC = -12; // wsq_encode_1: the output buffer
inline constexpr int WSQ_ERR_ENCODE_BLOCK_ALLOC = -13;  // wsq_encode_1: the block buffer
inline constexpr int WSQ_ERR_QUANTIZE_ALLOC = -90;      // quantize: the indices
inline constexpr int WSQ_ERR_DECOMPOSE_ALLOC = -94;     // wsq_decompose: working memory
inline constexpr int WSQ_ERR_LOFILT_TOO_HIGH = -82;     // putc_transform_table: a lowpass tap too large
inline constexpr int WSQ_ERR_HIFILT_TOO_HIGH = -83;     // putc_transform_table: a highpass tap too large
inline constexpr int WSQ_ERR_Q_TOO_HIGH = -86;          // putc_quantization_table: a bin width too large
inline constexpr int WSQ_ERR_Z_TOO_HIGH = -87;          // putc_quantization_table: a zero bin too large

// Decoder.
inline constexpr int WSQ_ERR_DECODE_QDATA_ALLOC = -20;  // wsq_decode_mem: the indices
inline constexpr int WSQ_ERR_DECODE_CDATA_ALLOC = -21;  // wsq_decode_mem: the output image
inline constexpr int WSQ_ERR_UNQUANTIZE_ALLOC = -91;    // unquantize: the coefficient image
inline constexpr int WSQ_ERR_NO_DQT = -92;              // unquantize: no quantization table
inline constexpr int WSQ_ERR_NO_LOPASS = -95;           // wsq_reconstruct: no lowpass filter (no DTT)
inline constexpr int WSQ_ERR_NO_HIPASS = -96;           // wsq_reconstruct: no highpass filter
inline constexpr int WSQ_ERR_RECONSTRUCT_ALLOC = -97;   // wsq_reconstruct: working memory
inline constexpr int WSQ_ERR_FILTER_PAIR = -98;         // wsq_reconstruct: filter lengths that form no wavelet pair

// Byte writers and readers.
inline constexpr int WSQ_ERR_PUTC_BYTE_FULL = -32;      // putc_byte: output buffer full
inline constexpr int WSQ_ERR_PUTC_BYTES_FULL = -33;     // putc_bytes: output buffer full
inline constexpr int WSQ_ERR_BYTE_END = -39;            // getc_byte: end of buffer
inline constexpr int WSQ_ERR_BYTES_END = -40;           // getc_bytes: end of buffer (also u16, u32, comment text)
inline constexpr int WSQ_ERR_NO_STUFFED_ZERO = -41;     // getc_nextbits_wsq: 0xFF and a non-zero byte
                                                        // where no marker may stand
inline constexpr int WSQ_ERR_UNDEFINED_TABLE = -51;     // huffman_decode_data_mem: block names an undefined table
inline constexpr int WSQ_ERR_INVALID_CODE = -52;        // huffman_decode_data_mem: category 0 or 255

// Markers and tables.
inline constexpr int WSQ_ERR_NO_SOI = -88;              // getc_marker_wsq: no SOI where the stream starts
inline constexpr int WSQ_ERR_NO_SOF = -89;              // getc_marker_wsq: not a table, comment or SOF
inline constexpr int WSQ_ERR_NO_SOB = -90;              // getc_marker_wsq: not a table, comment or SOB
inline constexpr int WSQ_ERR_NO_MARKER = -91;           // getc_marker_wsq: high byte not 0xFF
inline constexpr int WSQ_ERR_MARKER_CLASS = -92;        // getc_marker_wsq: unknown expectation class
inline constexpr int WSQ_ERR_NOT_A_TABLE = -93;         // getc_table_wsq: marker opens no table or comment
inline constexpr int WSQ_ERR_LOFILT_ALLOC = -94;        // getc_transform_table: lowpass filter
inline constexpr int WSQ_ERR_HIFILT_ALLOC = -95;        // getc_transform_table: highpass filter

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
inline constexpr int WSQ_ERR_FRAME_TOO_LARGE = -110;   // frame beyond the decoder's pixel limit or what
                                                       // the encoder will allocate, or a side above 65535
inline constexpr int WSQ_ERR_BITRATE = -111;           // encoder: a NaN or zero bit-rate scale
inline constexpr int WSQ_ERR_FRAME_IMPLAUSIBLE = -112; // decoder: a frame the stream is too short to code
inline constexpr int WSQ_ERR_OUT_OF_MEMORY = -113;     // decoder or encoder: memory ran out in a table or buffer
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
//  -110 "ERROR : wsq_decode_mem : image %d x %d is over the limit of %lld pixels\n"
//       "ERROR : wsq_encode_1 : image %d x %d is larger than the codec accepts\n"
//       "ERROR : putc_sof_segment : frame value out of range\n"
//  -111 "ERROR : quantize : bit rate %f gives no usable bin widths\n"
//  -112 "ERROR : wsq_decode_mem : image %d x %d cannot be coded in %zu bytes\n"
//  -113 "ERROR : wsq_decode_mem : out of memory\n" (or wsq_encode_1)

// Largest frame (width x height) the encoder allocates for.
inline constexpr long long WSQ_MAX_PIXELS = 1LL << 27;

// Longest name or value accepted when a NIST_COM text is parsed.
inline constexpr int MAX_FET_LENGTH = 511;
