#pragma once
// Readers of WSQ stream segments. Every reader takes a cursor (the address of
// a pointer to the next unread byte, advanced past what it consumes) and the
// end of the buffer (one past its last byte); none reads at or past the end.
// They return 0 or a negative code (wsq/errors.h) after printing its message.
// Byte, integer, marker and comment readers write their out-parameter only on
// success; table readers fill their table as they read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "wsq/tables.h"

int getc_byte(unsigned char* ochar, const unsigned char** cbufptr, const unsigned char* ebufptr);
int getc_bytes(unsigned char* ochars, std::size_t ilen, const unsigned char** cbufptr,
               const unsigned char* ebufptr);
int getc_u16(unsigned short* oshrt, const unsigned char** cbufptr, const unsigned char* ebufptr);
int getc_u32(std::uint32_t* oint, const unsigned char** cbufptr, const unsigned char* ebufptr);

// Reads a marker and checks it against the expectation class (EXPECT_*).
int getc_marker_wsq(unsigned short* omarker, int type, const unsigned char** cbufptr,
                    const unsigned char* ebufptr);

// Reads the table or comment segment that marker opens (the comment is dropped).
int getc_table_wsq(unsigned short marker, TransformTable* dtt_table, QuantTable* dqt_table, HuffSlots* dht_table,
                   const unsigned char** cbufptr, const unsigned char* ebufptr);

// The segment readers below are called with the cursor just after their marker.
int getc_transform_table(TransformTable* dtt_table, const unsigned char** cbufptr, const unsigned char* ebufptr);
int getc_dqt_segment(QuantTable* dqt_table, const unsigned char** cbufptr, const unsigned char* ebufptr);
int getc_huffman_table_wsq(HuffSlots* dht_table, const unsigned char** cbufptr, const unsigned char* ebufptr);
int getc_sof_segment(FrameHeader* frm_header, const unsigned char** cbufptr, const unsigned char* ebufptr);
int getc_sob_segment(unsigned char* otable_id, const unsigned char** cbufptr, const unsigned char* ebufptr);

// One table of a DHT segment. With read_table_len set the segment length is
// read first and *bytes_left starts at length - 2; every table read counts
// down *bytes_left by the bytes it consumed.
int getc_huffman_table(unsigned char* otable_id, std::array<unsigned char, MAX_HUFFBITS>* ohuffbits,
                       std::array<unsigned char, MAX_HUFFCOUNTS>* ohuffvalues, bool read_table_len,
                       int* bytes_left, const unsigned char** cbufptr, const unsigned char* ebufptr);

// The text of a COM segment: exactly length - 2 bytes (it may hold zero bytes;
// c_str() gives the C text a reader of zero-terminated strings would see).
int getc_comment(std::string* ocomment, const unsigned char** cbufptr, const unsigned char* ebufptr);

// Skips the segment that marker opens, by its length field. The segment must be
// followed by at least one more byte.
int getc_skip_marker_segment(unsigned short marker, const unsigned char** cbufptr, const unsigned char* ebufptr);

// A scaled number: integer / 10^scale, formed in 32-bit float steps as the
// stream's numbers are everywhere.
float scaledValue(unsigned char scale, std::uint32_t integer);
