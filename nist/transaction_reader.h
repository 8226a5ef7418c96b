#pragma once
// The transaction reader: reads one transaction file into memory, parses the
// Type-1 record, walks the records that its CNT field lists and reads the
// Type-2 and Type-4 ones. One reader lives as long as the window that shows
// its state; every file replaces what the previous one left.
//
// Failures are reported through platform::prompter() and kept, with what the
// reading found without a message, in problems(). A malformed number in LEN,
// IDC or CNT raises platform::ConversionError and a Type-2 field number
// without a table row raises GridIndexError; either ends the load (after it
// is added to problems()), and what was read before stays in place.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "nist/nist_record.h"
#include "nist/problems.h"
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

    // Reads the file into the buffer and runs readTransaction. False (after an
    // "Error" message) when the file could not be read, or memory ran out
    // while reading it; nothing of the file is kept then.
    bool loadNistFile(const std::filesystem::path& path);
    // The same for bytes already in memory. std::bad_alloc passes through;
    // each record is then either kept whole (with its bitmap and decode
    // result) or not at all.
    void loadNistBytes(std::vector<std::uint8_t> bytes);

    // The same for bytes the caller owns, parsed where they are without a
    // copy. They must stay unchanged until the call returns; buffer() views
    // them until the next load, and nothing else the reader keeps refers to
    // them.
    void loadNistView(std::span<const std::uint8_t> bytes);

    void readTransaction();
    void resetTransaction();
    // resetTransaction, and the Type-1 values and table emptied too: for a
    // window that must show nothing of the previous file after a failed open.
    // The problems stay.
    void clearTransaction();

    // Record steps, each working at position().
    std::string nextWord(std::string_view delimiters, int limit);
    std::optional<TagInfo> getTagInfo();
    bool getNextRecord(Record& cursor);
    int readType1Record();
    // False when a tag could not be read, which ends the walk.
    bool readType2Record();
    int readType4Record(T_T4& record);
    // A tagged record of the given type (9 to 99, or any type whose bytes
    // start with its own tag), read with its own LEN. False when the bytes at
    // position() are not such a record, which ends the walk.
    bool readTaggedRecord(int recordType);
    // A binary record of type 3, 5, 6 (the Type-4 header layout), 7 (LEN and
    // IDC) or 8 (the signature header). False when its header cannot be read.
    bool readBinaryRecord(int recordType);

    // For running the steps one by one: the bytes to work on, at position 0,
    // with an empty problem list.
    void setBuffer(std::vector<std::uint8_t> bytes);
    void setPosition(std::int64_t position) { position_ = position; }

    // What the last file gave.
    std::span<const std::uint8_t> buffer() const { return buffer_; }
    std::int64_t bufferSize() const { return bufferSize_; }
    std::int64_t position() const { return position_; }
    std::int32_t type4Count() const { return type4Count_; }
    const T_T1& type1() const { return type1_; }
    const T_T2& type2() const { return type2_; }
    const std::vector<T_T4>& type4Records() const { return type4Records_; }
    // Entry k is the decoded image of type4Records()[k] (empty when the decode
    // failed); filled only while decodeImages is on.
    const std::vector<platform::Bitmap>& fingerprintBitmaps() const { return fingerprintBitmaps_; }
    const std::vector<FingerprintInfo>& fingerprintInfo() const { return fingerprintInfo_; }
    // Every record read, in file order, the Type-1 record first.
    const std::vector<NistRecord>& records() const { return records_; }
    // The tables the window's grids show; the user's edits go into them.
    const RecordTable& type1Table() const { return type1Table_; }
    const RecordTable& type2Table() const { return type2Table_; }
    RecordTable& type1Table() { return type1Table_; }
    RecordTable& type2Table() { return type2Table_; }

    // Every problem of the last file, in the order found: each message shown
    // through the prompter, and what the reading found without a message.
    const std::vector<Problem>& problems() const { return problems_; }
    // Unread when no Type-1 field could be read; Partial when a problem is an
    // error; Complete otherwise.
    Completeness completeness() const;

    // Settings that survive every file; the front ends set them directly.
    bool decodeImages = true;
    // Indexed by record type 1 to 16 (entry 0 unused); types above 16 are
    // always exported.
    std::array<bool, 17> exportTypes = allExportTypes();
    // Off: the reader and its export only record their messages (problems(),
    // the export result) and never call the prompter, as a reader on a
    // worker thread must.
    bool showMessages = true;

private:
    // Where a walk ended and why, for the accounting after it.
    struct Walk {
        std::vector<std::string> listedTypes;  // record type text of every CNT entry after the Type-1 one
        int entries = 0;                       // entries split off so far (1-based index of the current one)
        int listedRead = 0;                    // listed entries handled in full
        int unsupportedType = 0;               // type of the record that ended the walk, 0 for none
        bool trailingNoted = false;
    };

    static std::array<bool, 17> allExportTypes();
    void startBuffer(std::span<const std::uint8_t> bytes);
    void readLoadedBytes();
    std::string readFieldValue();
    bool atFieldSeparator(char separator) const;
    void writeType1Table();
    void walkRecords(Record cursor);
    bool walkEntry(Walk& walk, const Record& cursor);
    void accountForWalk(const Walk& walk);
    void readAndPlaceType4(bool& stop);
    // Compares the stream's frame and PPI with the record's HLL, VLL and ISR;
    // false when the frame is too large to decode.
    bool checkStreamAgainstRecord(const T_T4& record, std::int64_t start);
    struct DecodedType4 {
        platform::Bitmap bitmap;
        FingerprintInfo info;
    };
    DecodedType4 decodeType4(const T_T4& record, std::int64_t start, bool decodable);
    // The record list's entry of a Type-4 record about to be added.
    NistRecord type4Entry(const T_T4& record, std::int64_t start, const platform::Bitmap* bitmap,
                          const FingerprintInfo* info) const;
    void addRecord(NistRecord record);
    void decodeImageOf(NistRecord& record);
    struct RawTag;
    std::optional<RawTag> parseTag(std::int64_t at, std::int64_t end) const;
    std::string bytesText(std::int64_t from, std::int64_t to) const;
    void writeType1ExtraRows();

    // A plain message box (caption: the application title), recorded.
    void say(Severity severity, std::int64_t offset, const std::string& text);
    // A box captioned "Error", recorded.
    void sayError(const std::string& text, const std::string& reason);
    // Recorded only.
    void note(Severity severity, std::int64_t offset, const std::string& text);

    // The bytes being parsed: owned_ or the caller's.
    std::vector<std::uint8_t> owned_;
    std::span<const std::uint8_t> buffer_;
    std::int64_t bufferSize_ = 0;
    std::int64_t position_ = 0;
    std::int32_t type4Count_ = 0;
    T_T1 type1_;
    T_T2 type2_;
    std::vector<T_T4> type4Records_;
    std::vector<platform::Bitmap> fingerprintBitmaps_;
    std::vector<FingerprintInfo> fingerprintInfo_;  // aligned with fingerprintBitmaps_
    RecordTable type1Table_ = RecordTable::type1();
    RecordTable type2Table_ = RecordTable::type2();

    std::vector<NistRecord> records_;
    // Where the Type-1 and Type-2 steps put the fields they read, when set.
    std::vector<RecordField>* fieldSink_ = nullptr;
    // Type-1 fields above 15, shown as further table rows.
    std::vector<RecordField> type1Extra_;

    std::vector<Problem> problems_;
    int type1FieldsRead_ = 0;
    bool type1LenSeen_ = false;
    // The record the steps are working on, for the problems they find.
    std::optional<int> currentRecord_;
    int currentRecordType_ = 0;
    bool beyondListed_ = false;  // reading a record after the ones CNT lists
    std::int64_t errorOffset_ = 0;  // start of the field or record in hand, for a raised error

    ReaderWindow noWindow_;
    ReaderWindow* window_ = &noWindow_;
};

}  // namespace nist
