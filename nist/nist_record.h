#pragma once
// Every record of a transaction as the walk met it: its place in the file,
// its LEN, its fields and, for the image records, the image with what its
// decode gave. The Type-1, Type-2 and Type-4 records are listed here too (their
// tables and T_T4 values stay where they always were).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace nist {

struct RecordField {
    std::string tag;  // as written in the file ("14.013")
    int number = 0;
    std::string value;
    bool operator==(const RecordField&) const = default;
};

struct RecordImage {
    // The compression field's value as written; for binary records the
    // GCA/BCA (or SRT) number in decimal.
    std::string compression;
    std::vector<std::uint8_t> data;  // the image bytes, unchanged (empty for Type-4, kept in T_T4)
    int declaredWidth = 0;           // HLL
    int declaredHeight = 0;          // VLL
    int bitsPerPixel = 8;            // BPX, or what the record type implies
    int declaredPpi = -1;            // from SLC and HPS, -1 when the record does not say

    // What a decode gave (only while decodeImages is on).
    bool decoded = false;            // a decode was tried
    platform::Bitmap bitmap;         // 24-bit display bitmap; empty when not decoded (always empty for Type-4)
    int width = 0;
    int height = 0;
    int ppi = -1;
    std::string decodeError;         // empty when the image was decoded
};

struct NistRecord {
    int type = 0;
    std::optional<int> idc;          // none for Type-1 or an IDC that is not a number
    std::int64_t offset = 0;         // first byte in the file
    std::int64_t length = 0;         // its LEN (0 when it has none)
    bool tagged = false;
    // Tagged records: every field in file order but the image field x.999.
    // Binary records: the header values, tagged "T.001", "T.002", ...
    std::vector<RecordField> fields;
    bool hasImage = false;           // the record carries an image (types 3-6, 10, 13-17)
    bool hasData = false;            // it carries bytes that are not fields (image field, binary body)
    RecordImage image;               // for hasImage; data also holds the bytes of hasData records
    int type4Index = -1;             // index into type4Records() for a Type-4 record

    // "14.3": type and IDC, as the problems name a record.
    std::string label() const;
    // The value of a field by number; nullptr when the record has none.
    const std::string* field(int number) const;
};

}  // namespace nist
