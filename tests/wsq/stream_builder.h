#pragma once
// Hand-built WSQ streams for the decoder tests: raw segments, Huffman-coded
// block data with byte stuffing, and whole small streams whose pieces a test
// can leave out, repeat or move.
#include <cstdint>
#include <string>
#include <vector>

#include "wsq/analysis_filters.h"
#include "wsq/huffman_codes.h"
#include "wsq/stream_writer.h"
#include "wsq/tables.h"

namespace wsqtest {

using namespace ::wsq;

using Bytes = std::vector<unsigned char>;

inline void put8(Bytes& b, unsigned v) { b.push_back(static_cast<unsigned char>(v)); }
inline void put16(Bytes& b, unsigned v)
{
    put8(b, v >> 8);
    put8(b, v);
}
inline void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// marker, length (body + 2), body
inline Bytes segment(unsigned marker, const Bytes& body)
{
    Bytes b;
    put16(b, marker);
    put16(b, static_cast<unsigned>(body.size() + 2));
    append(b, body);
    return b;
}

inline Bytes comSegment(const std::string& text) { return segment(COM_WSQ, Bytes(text.begin(), text.end())); }

struct Table {
    int id = 0;
    std::vector<int> bits;    // counts of codes of length 1, 2, ... (missing ones are 0)
    std::vector<int> values;  // symbols in code order
};

inline Bytes tableBody(const Table& t)
{
    Bytes b;
    put8(b, static_cast<unsigned>(t.id));
    for (int i = 0; i < MAX_HUFFBITS; ++i)
        put8(b, i < static_cast<int>(t.bits.size()) ? static_cast<unsigned>(t.bits[static_cast<std::size_t>(i)]) : 0);
    for (int v : t.values)
        put8(b, static_cast<unsigned>(v));
    return b;
}

inline Bytes dhtSegment(const std::vector<Table>& tables)
{
    Bytes body;
    for (const Table& t : tables)
        append(body, tableBody(t));
    return segment(DHT_WSQ, body);
}

inline Bytes sobSegment(int id) { return segment(SOB_WSQ, Bytes{static_cast<unsigned char>(id)}); }

// Every symbol 1-254 with an 8-bit code equal to its position: no code is all 1-bits.
inline Table fullTable(int id = 0)
{
    Table t{id, std::vector<int>(8, 0), {}};
    for (int v = 1; v <= 254; ++v)
        t.values.push_back(v);
    t.bits[7] = 254;
    return t;
}

// One coded symbol and the bits that follow its code.
struct Symbol {
    int category = 0;
    unsigned extra = 0;
    int extraBits = 0;
};

// Codes symbols with a table the way an encoder does: most significant bit
// first, a 0x00 after every 0xFF byte, the last byte filled with 1-bits.
inline Bytes codeBlock(const Table& t, const std::vector<Symbol>& symbols)
{
    unsigned char huffbits[MAX_HUFFBITS] = {};
    for (std::size_t i = 0; i < t.bits.size(); ++i)
        huffbits[i] = static_cast<unsigned char>(t.bits[i]);
    std::vector<HuffCode> codes;
    int count = 0;
    build_huffsizes(&codes, &count, huffbits);
    assign_huffcodes(codes);

    Bytes out;
    unsigned current = 0;
    int used = 0;
    auto emit = [&](unsigned value, int n) {
        for (int i = n - 1; i >= 0; --i) {
            current = (current << 1) | ((value >> i) & 1u);
            if (++used == 8) {
                put8(out, current);
                if ((current & 0xFF) == 0xFF)
                    put8(out, 0);
                current = 0;
                used = 0;
            }
        }
    };
    for (const Symbol& s : symbols) {
        std::size_t k = 0;
        while (k < t.values.size() && t.values[k] != s.category)
            ++k;
        emit(codes.at(k).code, codes.at(k).size);
        emit(s.extra, s.extraBits);
    }
    if (used > 0)
        emit(0xFF, 8 - used);
    return out;
}

// Symbols for a list of indices (runs up to 100, values -73..74, escapes otherwise).
inline std::vector<Symbol> symbolsFor(const std::vector<int>& indices)
{
    std::vector<Symbol> out;
    int run = 0;
    auto flush = [&] {
        if (run > 0)
            out.push_back(run <= 100 ? Symbol{run} : Symbol{run <= 255 ? 105 : 106, static_cast<unsigned>(run), run <= 255 ? 8 : 16});
        run = 0;
    };
    for (int v : indices) {
        if (v == 0) {
            ++run;
            continue;
        }
        flush();
        if (v >= -73 && v <= 74)
            out.push_back(Symbol{v + 180});
        else if (v > 0)
            out.push_back(Symbol{v <= 255 ? 101 : 103, static_cast<unsigned>(v), v <= 255 ? 8 : 16});
        else
            out.push_back(Symbol{v >= -255 ? 102 : 104, static_cast<unsigned>(-v), v >= -255 ? 8 : 16});
    }
    flush();
    return out;
}

inline Bytes dttSegment()
{
    unsigned char buf[64];
    std::size_t len = 0;
    putc_transform_table(kAnalysisLowpass.data(), kAnalysisLowpassTaps, kAnalysisHighpass.data(),
                         kAnalysisHighpassTaps, buf, sizeof buf, &len);
    return Bytes(buf, buf + len);
}

inline Bytes dqtSegment(float q)
{
    QuantValues values;
    for (int s = 0; s < NUM_CODED_SUBBANDS; ++s) {
        values.bin_width[static_cast<std::size_t>(s)] = q;
        values.zero_bin[static_cast<std::size_t>(s)] = 1.2f * q;
    }
    unsigned char buf[400];
    std::size_t len = 0;
    putc_quantization_table(values, buf, sizeof buf, &len);
    return Bytes(buf, buf + len);
}

inline Bytes sofSegment(int width, int height, float m_shift = 117.5f, float r_scale = 2.5f)
{
    unsigned char buf[32];
    std::size_t len = 0;
    putc_sof_segment(width, height, m_shift, r_scale, buf, sizeof buf, &len);
    return Bytes(buf, buf + len);
}

// The pieces of a small valid stream, in stream order. Tests edit the pieces
// and join them.
struct StreamPieces {
    Bytes soi{0xFF, 0xA0};
    Bytes beforeFrame;  // tables and comments before the frame header
    Bytes sof;
    Bytes blocks;  // tables, block headers and block data
    Bytes eoi{0xFF, 0xA1};
    Bytes trailer;

    Bytes join() const
    {
        Bytes b = soi;
        for (const Bytes* p : {&beforeFrame, &sof, &blocks, &eoi, &trailer})
            append(b, *p);
        return b;
    }
};

inline std::vector<int> blockIndices(int count, int seed)
{
    std::vector<int> v(static_cast<std::size_t>(count), 0);
    for (int i = 0; i < count; i += 3)
        v[static_cast<std::size_t>(i)] = ((i * 7 + seed) % 41) - 20;
    if (count > 10)
        v[static_cast<std::size_t>(count / 2)] = 300;  // an escaped value
    return v;
}

// A 96 x 88 image with a NIST_COM comment (PPI 500) and three blocks whose
// first indices are non-zero in a fixed pattern.
inline StreamPieces smallStream(int width = 96, int height = 88)
{
    StreamPieces p;
    p.beforeFrame = comSegment("NIST_COM 3\nPIX_WIDTH 96\nPPI 500");
    append(p.beforeFrame, dttSegment());
    append(p.beforeFrame, dqtSegment(1.5f));
    p.sof = sofSegment(width, height);
    const Table table = fullTable(0);
    append(p.blocks, dhtSegment({table}));
    for (int block = 0; block < 3; ++block) {
        append(p.blocks, sobSegment(0));
        append(p.blocks, codeBlock(table, symbolsFor(blockIndices(120 - 40 * block, block))));
    }
    return p;
}

}  // namespace wsqtest
