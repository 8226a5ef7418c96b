#pragma once
// Small transactions with one record of each type the reader knows (2, 3 to
// 8, 9, 10, 13, 14, 15, 17 and 99), their images as small as their codings
// allow, for tests that damage the bytes and look at what the reader makes
// of them.
#include <cstdint>
#include <string>
#include <vector>

#include "imagelib/memory_codecs.h"
#include "nist/records.h"
#include "nist/transaction_writer.h"
#include "test_support/later_edition_fixtures.h"

namespace fixtures {

// One record of the given type, with the writer's Type-1 record before it
// (VER 0500 for the tagged types above 2, so that the record is read as the
// later editions write it).
struct SingleRecordTransaction {
    int recordType = 0;
    std::vector<std::uint8_t> bytes;
    std::size_t recordStart = 0;  // where the record begins: the bytes before are the Type-1 record
};

inline nist::Type4Image smallBinaryImage(std::uint8_t idc, std::uint8_t gca, std::uint16_t hll, std::uint16_t vll,
                                         std::vector<std::uint8_t> data)
{
    nist::Type4Image image;
    image.idc = idc;
    image.imp = 1;
    image.fgp[0] = 2;
    image.hll = hll;
    image.vll = vll;
    image.gca = gca;
    image.data = std::move(data);
    return image;
}

// Adds one small record of the given type.
inline void addRecordOfType(nist::TransactionWriter& w, int type)
{
    const std::vector<std::uint8_t> gray = pattern(16, 12, 1, type);
    switch (type) {
    case 2:
        w.addType2Record({{18, "DOE,JOHN"}, {20, "BLUE"}});
        break;
    case 3:
    case 5:
        w.addRecordBytes(type, 1,
                         nist::makeBinaryImageRecord(smallBinaryImage(1, 0, 4, 2, {0, 50, 100, 150, 200, 250, 255, 1})));
        break;
    case 4: {
        nist::Type4Image print = smallBinaryImage(1, 1, 81, 81, wsqPrint(81, 81, 4));
        w.addType4Record(print);
        break;
    }
    case 6:
        w.addRecordBytes(6, 1, nist::makeBinaryImageRecord(smallBinaryImage(1, 0, 8, 2, {0x81, 0x3C})));
        break;
    case 7:
        w.addRecordBytes(7, 1, nist::makeType7Record(1, {1, 2, 3, 0x1C, 0x1D}));
        break;
    case 8:
        w.addRecordBytes(8, 1, nist::makeType8Record(1, 0, 2, 10, 20, {9, 8, 7, 6}));
        break;
    case 9:
        w.addTaggedRecord(9, 1, {{3, "1"}, {4, "S"}, {10, "2"}, {12, "001\x1F" "0100\x1E" "002\x1F" "0200"}});
        break;
    case 10:
        w.addTaggedRecord(10, 1,
                          {{3, "FACE"}, {4, "WVATF0800"}, {5, "20250101"}, {6, "16"}, {7, "12"}, {8, "0"}, {9, "1"},
                           {10, "1"}, {11, "JPEGB"}, {12, "SRGB"}},
                          imagelib::encodeJpegBytes(pattern(16, 12, 3, 10).data(), 16, 12, 3, 90, 0));
        break;
    case 13:
        w.addTaggedRecord(13, 1, printFields(4, 16, 12, "PNG", 0), imagelib::encodePngBytes(gray.data(), 16, 12, 1));
        break;
    case 14:
        w.addTaggedRecord(14, 1, printFields(1, 81, 81, "WSQ20", 1), wsqPrint(81, 81, 14));
        break;
    case 15:
        w.addTaggedRecord(15, 1, printFields(10, 16, 12, "NONE", 20), gray);
        break;
    case 17:
        w.addTaggedRecord(17, 1, printFields(1, 16, 12, "JP2L", 1),
                          imagelib::encodeJpeg2000Bytes(gray.data(), 16, 12, 1, true));
        break;
    case 99:
        w.addTaggedRecord(99, 1, {{4, "WVATF0800"}, {100, "0101"}, {101, "00000008"}, {103, "001B"}, {104, "0201"}},
                          {0x01, 0x1D, 0x1C, 0x1E, 0x1F, 0x00});
        break;
    default:
        break;
    }
}

inline const std::vector<int>& everyRecordType()
{
    static const std::vector<int> types{2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14, 15, 17, 99};
    return types;
}

inline SingleRecordTransaction transactionWithRecord(int type)
{
    nist::TransactionWriter w;
    if (type > 4)
        w.setType1Field(2, "0500");
    SingleRecordTransaction t;
    t.recordType = type;
    addRecordOfType(w, type);
    t.bytes = w.build();
    // The Type-1 record ends at its FS.
    for (std::size_t i = 0; i < t.bytes.size(); ++i)
        if (t.bytes[i] == static_cast<std::uint8_t>(nist::kFS)) {
            t.recordStart = i + 1;
            break;
        }
    return t;
}

// Every type above in one transaction (VER 0500), in the order of the list.
inline std::vector<std::uint8_t> transactionWithEveryRecordType()
{
    nist::TransactionWriter w;
    w.setType1Field(2, "0500");
    for (int type : everyRecordType())
        addRecordOfType(w, type);
    return w.build();
}

}  // namespace fixtures
