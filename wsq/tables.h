#pragma once
// The data a WSQ stream carries: markers, the frame header, and the transform,
// quantization and Huffman tables that the segment readers fill and the
// segment writers emit. Shared by the decoder and the encoder.
#include <array>
#include <cstdint>
#include <vector>

// Segment markers.
inline constexpr unsigned short SOI_WSQ = 0xFFA0;
inline constexpr unsigned short EOI_WSQ = 0xFFA1;
inline constexpr unsigned short SOF_WSQ = 0xFFA2;
inline constexpr unsigned short SOB_WSQ = 0xFFA3;
inline constexpr unsigned short DTT_WSQ = 0xFFA4;
inline constexpr unsigned short DQT_WSQ = 0xFFA5;
inline constexpr unsigned short DHT_WSQ = 0xFFA6;
inline constexpr unsigned short DRT_WSQ = 0xFFA7;  // restart interval: never accepted
inline constexpr unsigned short COM_WSQ = 0xFFA8;

// What getc_marker_wsq accepts. An int, because callers may pass any value
// (anything not listed here is refused with its own code).
inline constexpr int EXPECT_SOI = 0xFFA0;
inline constexpr int EXPECT_TABLES_OR_SOF = 2;
inline constexpr int EXPECT_TABLES_OR_SOB = 4;
inline constexpr int EXPECT_ANY = 0xFFFF;

inline constexpr int MAX_HUFFBITS = 16;        // longest code
inline constexpr int MAX_HUFFCOUNTS = 257;     // values one table may hold
inline constexpr int MAX_DHT_TABLES = 8;       // Huffman table slots (ids 0-7)
inline constexpr int MAX_SUBBANDS = 64;
inline constexpr int NUM_CODED_SUBBANDS = 60;  // 60-63 are never coded
inline constexpr int MAX_HUFFCOEFF = 74;       // largest value coded without escape
inline constexpr int MAX_HUFFZRUN = 100;       // longest zero run coded without escape

// Synthesis filters from a DTT segment. The segment's first (analysis lowpass)
// group becomes hifilt, its second (analysis highpass) group lofilt.
struct TransformTable {
    std::vector<float> lofilt;  // losize taps
    std::vector<float> hifilt;  // hisize taps
    unsigned char losize = 0;
    unsigned char hisize = 0;
    bool lo_defined = false;
    bool hi_defined = false;
};

// The decoder's view of a DQT segment.
struct QuantTable {
    float center = 0.0f;  // bin centre C
    std::array<float, MAX_SUBBANDS> q{};  // bin widths; 0 = subband not coded
    std::array<float, MAX_SUBBANDS> z{};  // zero-bin widths
    bool defined = false;
};

// The encoder's quantization parameters, written by putc_quantization_table.
struct QuantValues {
    float r = 0.0f;  // requested bit rate
    std::array<float, MAX_SUBBANDS> bin_width{};  // Q; 0 = subband not coded
    std::array<float, MAX_SUBBANDS> zero_bin{};   // Z
    std::array<float, MAX_SUBBANDS> variance{};
};

// One Huffman table slot as a DHT segment defines it.
struct HuffSlot {
    bool defined = false;
    std::array<unsigned char, MAX_HUFFBITS> huffbits{};       // codes of length 1..16
    std::array<unsigned char, MAX_HUFFCOUNTS> huffvalues{};   // symbols in code order, rest 0
};
using HuffSlots = std::array<HuffSlot, MAX_DHT_TABLES>;

struct FrameHeader {
    unsigned char black = 0;
    unsigned char white = 0;
    unsigned short width = 0;
    unsigned short height = 0;
    float m_shift = 0.0f;
    float r_scale = 0.0f;
    unsigned char WSQ_encoder = 0;
    unsigned short Software = 0;
};

// Everything a decode reads from the stream. One per call, so every decode
// starts from empty tables.
struct DecoderTables {
    TransformTable dtt;
    QuantTable dqt;
    HuffSlots dht;
    FrameHeader frame;
};
