#pragma once
// Transactions of the later editions for tests: a ten-print with Type-14 WSQ
// prints, a Type-10 JPEG face, a Type-13 PNG latent, a Type-14 JPEG 2000
// print, Type-9 minutiae and a Type-99 CBEFF block, built with the project's
// transaction writer from small synthetic pictures.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "imagelib/memory_codecs.h"
#include "nist/records.h"
#include "nist/transaction_writer.h"
#include "wsq/encoder.h"

namespace fixtures {

// width x height gray (channels 1) or R,G,B (channels 3) bytes, top row first.
inline std::vector<std::uint8_t> pattern(int width, int height, int channels, int seed)
{
    std::vector<std::uint8_t> px(static_cast<std::size_t>(width) * height * channels);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                px[(static_cast<std::size_t>(y) * width + x) * channels + c] = static_cast<std::uint8_t>(
                    128 + 100 * std::sin(0.4 * x + 0.25 * y + seed + 2.0 * c));
    return px;
}

inline std::vector<std::uint8_t> wsqPrint(int width, int height, int seed)
{
    std::vector<std::uint8_t> gray = pattern(width, height, 1, seed);
    std::vector<unsigned char> wsq;
    wsq_encode_1(&wsq, 0.75f, gray.data(), width, height, 8, 500, std::nullopt);
    return wsq;
}

// The fields 3 to 13 of a Type-13/14 record (IMP, SRC, date, HLL, VLL, SLC 1,
// HPS/VPS 500, CGA, BPX 8, FGP).
inline std::vector<nist::TaggedField> printFields(int imp, int width, int height, const std::string& cga, int fgp)
{
    return {{3, std::to_string(imp)}, {4, "WVATF0800"},        {5, "20250101"}, {6, std::to_string(width)},
            {7, std::to_string(height)}, {8, "1"},             {9, "500"},      {10, "500"},
            {11, cga},                   {12, "8"},             {13, std::to_string(fgp)}};
}

struct LaterEdition {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> wsq;        // the bytes of the first Type-14 print (IDC 2)
    std::vector<std::uint8_t> jpeg;       // the face (IDC 5)
    std::vector<std::uint8_t> png;        // the latent (IDC 6)
    std::vector<std::uint8_t> jp2;        // the JPEG 2000 print (IDC 7)
    std::vector<std::uint8_t> latentGray; // the latent's pixels
    std::vector<std::uint8_t> jp2Gray;    // the JPEG 2000 print's pixels
    std::vector<std::uint8_t> cbeff;      // the Type-99 block (IDC 9), with separator bytes inside
    std::string minutiae;                 // the Type-9 MRC value, with RS and US inside
};

// Records in order: Type-1 (VER 0500, fields 1.016-1.018 and 1.020), Type-2
// (IDC 1), Type-14 WSQ at finger positions 1, 2 and 13 (IDC 2-4), Type-10 JPEG
// face (IDC 5), Type-13 PNG latent (IDC 6, 500 ppi given in pixels per
// centimetre), Type-14 JPEG 2000 at position 7 (IDC 7), Type-9 (IDC 8),
// Type-99 (IDC 9).
inline LaterEdition laterEditionTenPrint()
{
    LaterEdition t;
    nist::TransactionWriter w;
    w.setType1Field(2, "0500");
    w.setType1Field(16, "^ANSI/NIST-ITL 1-2011^");
    w.setType1Field(17, "Sending Agency" + std::string(1, nist::kUS) + "Receiving Agency");
    w.setType1Field(18, "ISO");
    w.setType1Field(20, "plain");
    w.addType2Record({{18, "DOE,JOHN"}});

    t.wsq = wsqPrint(100, 90, 1);
    w.addTaggedRecord(14, 2, printFields(1, 100, 90, "WSQ20", 1), t.wsq);
    w.addTaggedRecord(14, 3, printFields(1, 100, 90, "WSQ20", 2), wsqPrint(100, 90, 2));
    w.addTaggedRecord(14, 4, printFields(0, 120, 90, "WSQ", 13), wsqPrint(120, 90, 3));

    const std::vector<std::uint8_t> face = pattern(64, 48, 3, 4);
    t.jpeg = imagelib::encodeJpegBytes(face.data(), 64, 48, 3, 90, 0);
    w.addTaggedRecord(10, 5,
                      {{3, "FACE"}, {4, "WVATF0800"}, {5, "20250101"}, {6, "64"}, {7, "48"}, {8, "0"}, {9, "1"},
                       {10, "1"}, {11, "JPEGB"}, {12, "SRGB"}, {20, "F"}},
                      t.jpeg);

    t.latentGray = pattern(50, 40, 1, 5);
    t.png = imagelib::encodePngBytes(t.latentGray.data(), 50, 40, 1);
    std::vector<nist::TaggedField> latent = printFields(4, 50, 40, "PNG", 0);
    latent[5].value = "2";  // SLC: pixels per centimetre
    latent[6].value = latent[7].value = "197";
    w.addTaggedRecord(13, 6, latent, t.png);

    t.jp2Gray = pattern(40, 30, 1, 6);
    t.jp2 = imagelib::encodeJpeg2000Bytes(t.jp2Gray.data(), 40, 30, 1, true);
    w.addTaggedRecord(14, 7, printFields(1, 40, 30, "JP2L", 7), t.jp2);

    t.minutiae = "001" + std::string(1, nist::kUS) + "0100" + std::string(1, nist::kRS) + "002" +
                 std::string(1, nist::kUS) + "0200";
    w.addTaggedRecord(9, 8, {{3, "1"}, {4, "S"}, {10, "2"}, {12, t.minutiae}});

    t.cbeff = {0x01, 0x1D, 0x1C, 0x1E, 0x1F, 0x00, 0xFF, '9', '9', '.', '0'};
    w.addTaggedRecord(99, 9, {{4, "WVATF0800"}, {100, "0101"}, {101, "00000008"}, {103, "001B"}, {104, "0201"}},
                      t.cbeff);
    t.bytes = w.build();
    return t;
}

}  // namespace fixtures
