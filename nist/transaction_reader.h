#pragma once
// The transaction reader: reads one transaction file into memory, parses the
// Type-1 record, walks the records that its CNT field lists and reads the
// Type-2 and Type-4 ones. One reader lives as long as the window that shows
// its state; every file replaces what the previous one left.
//
// Failures are reported through platform::prompter(). A malformed number in
// LEN, IDC or CNT raises platform::ConversionError and a Type-2 field number
// without a table row raises GridIndexError; either ends the load, and what
// was read before stays in place.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nist/reader_window.h"
#include "nist/record_table.h"
#include "nist/records.h"
#include "platform/bitmap.h"

namespace nist {

// Results of readType1Record.
inline constexpr int kType1Ok = 0;
inline constexpr int kType1OtherRecordType = 1;  // a tag of another record type was met
inline constexpr int kType1NoBytes = 2;          // nothing left to read
inline constexpr int kType1TagUnreadable = 3;    // a tag was not a number
inline constexpr int kType1BadFieldNumber = 4;   // the last field had a number outside 1 to 15

// Results of readType4Record.
inline constexpr int kType4Ok = 0;
inline constexpr int kType4Rejected = 1;  // header cut by the end of the file, or LEN below the header

// Limit for one field value per read step; longer values are read on in
// further steps, so a long value is still taken whole.
inline constexpr int kFieldValueLimit = 1023;

struct TagInfo {
    std::int32_t recordType = 0;
    std::int32_t fieldNumber = 0;
};

// What a decode of one Type-4 image gave, at the index of its record.
struct FingerprintInfo {
    int ppi = -1;        // -1 when the stream does not say or the decode failed
    std::string error;   // empty when the image was decoded
};

class TransactionReader {
public:
    // The cursor over CNT: the part not consumed yet and the record type text
    // of the entry just split off.
    struct Record {
        std::string rest;
        std::string recordType;
    };

    TransactionReader() = default;
    TransactionReader(const TransactionReader&) = delete;
    TransactionReader& operator=(const TransactionReader&) = delete;

    // The window that shows this reader's state; null for none.
    void setWindow(ReaderWindow* window) { window_ = window ? window : &noWindow_; }
    ReaderWindow& window() const { return *window_; }

    // Reads the file into buffer and runs readTransaction. False (after an
    // "Error" message) when the file could not be read; nothing is parsed then.
    bool loadNistFile(const std::filesystem::path& path);
    // The same for bytes already in memory.
    void loadNistBytes(std::vector<std::uint8_t> bytes);

    void readTransaction();
    void resetTransaction();

    // Record steps, each working at position.
    std::string nextWord(std::string_view delimiters, int limit);
    std::optional<TagInfo> getTagInfo();
    bool getNextRecord(Record& cursor);
    int readType1Record();
    // False when a tag could not be read, which ends the walk.
    bool readType2Record();
    int readType4Record(T_T4& record);

    // Reader state, read by the window, the export and nisttool.
    std::vector<std::uint8_t> buffer;
    std::int64_t bufferSize = 0;
    std::int64_t position = 0;
    std::int32_t type4Count = 0;
    T_T1 type1;
    T_T2 type2;
    std::vector<T_T4> type4Records;
    // Entry k is the decoded image of type4Records[k] (empty when the decode
    // failed); filled only while decodeImages is on.
    std::vector<platform::Bitmap> fingerprintBitmaps;
    std::vector<FingerprintInfo> fingerprintInfo;  // aligned with fingerprintBitmaps
    // Entry n (finger position 1 to 14): 1-based number of the record shown in
    // thumbnail n. Maintained by the window's finger map; not cleared per file.
    std::array<std::int32_t, 15> fingerMap{};
    std::int32_t selectedFingerprint = 0;
    bool decodeImages = true;
    // Indexed by record type 1 to 16 (entry 0 unused); only 1, 2 and 4 matter.
    std::array<bool, 17> exportTypes = allExportTypes();

    RecordTable type1Table = RecordTable::type1();
    RecordTable type2Table = RecordTable::type2();

private:
    static std::array<bool, 17> allExportTypes();
    std::string readFieldValue();
    bool atFieldSeparator(char separator) const;
    void writeType1Table();
    void walkRecords(Record cursor);
    void readAndPlaceType4(bool& stop);
    void decodeAndPlace(const T_T4& record);

    ReaderWindow noWindow_;
    ReaderWindow* window_ = &noWindow_;
};

}  // namespace nist
