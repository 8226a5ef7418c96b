#include "nist/transaction_reader.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <utility>

#include "nist/fingerprint_decoder.h"
#include "platform/conversion.h"
#include "platform/files.h"
#include "platform/prompter.h"

namespace nist {

namespace {
constexpr char kValueDelimiterBytes[] = {kGS, kFS};
constexpr std::string_view kValueDelimiters(kValueDelimiterBytes, 2);

std::string hexOf(const std::uint8_t* bytes, int count)
{
    std::string text;
    char pair[3];
    for (int i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
    }
    return text;
}
}  // namespace

std::array<bool, 17> TransactionReader::allExportTypes()
{
    std::array<bool, 17> types;
    types.fill(true);
    return types;
}

bool TransactionReader::loadNistFile(const std::filesystem::path& path)
{
    platform::FileContents contents;
    if (platform::directoryExists(path)) {
        contents.status = platform::ReadStatus::CannotOpen;
    } else {
        try {
            contents = platform::readWholeFile(path);
        } catch (const std::exception&) {
            // A length the platform cannot allocate.
            contents.status = platform::ReadStatus::OutOfMemory;
        }
    }
    switch (contents.status) {
    case platform::ReadStatus::Ok:
        break;
    case platform::ReadStatus::CannotTakeLength:
        platform::showError("Error: filelength < 0");
        return false;
    case platform::ReadStatus::CannotOpen:
        platform::showError("Error: open file failed");
        return false;
    case platform::ReadStatus::OutOfMemory:
        platform::showError("Error: malloc for buffer failed");
        return false;
    case platform::ReadStatus::ShortRead:
        platform::showError("Error: reading file failed");
        return false;
    }
    loadNistBytes(std::move(contents.bytes));
    return true;
}

void TransactionReader::loadNistBytes(std::vector<std::uint8_t> bytes)
{
    buffer = std::move(bytes);
    bufferSize = static_cast<std::int64_t>(buffer.size());
    readTransaction();
}

void TransactionReader::resetTransaction()
{
    type4Count = 0;
    position = 0;
    type4Records.clear();
    fingerprintBitmaps.clear();
    fingerprintInfo.clear();
    for (int t = 2; t <= 16; ++t)
        window().setRecordTabVisible(t, false);
    for (int row = 1; row < type2Table.rowCount(); ++row) {
        type2Table.setValue(row, {});
        if (row >= 3)
            type2Table.setRowVisible(row, false);
    }
    type1 = T_T1{};
    type2 = T_T2{};
    window().clearFingerprints();
    window().repaint();
}

void TransactionReader::readTransaction()
{
    resetTransaction();
    type4Count = 0;
    if (readType1Record() != kType1Ok)
        return;
    // Drop CNT's first subfield (type 1, US, count of other records): the
    // Type-1 record's own entry.
    std::string rest = type1.CNT;
    if (const auto us = rest.find(kUS); us != std::string::npos)
        rest.erase(0, us + 1);
    if (const auto rs = rest.find(kRS); rs != std::string::npos)
        rest.erase(0, rs + 1);
    window().setRecordTabVisible(1, true);
    walkRecords(Record{std::move(rest), {}});
}

void TransactionReader::walkRecords(Record cursor)
{
    bool stop = false;
    bool splitBefore = false;
    std::string restBefore;
    std::int64_t positionBefore = 0;
    while (!stop) {
        // The last CNT entry is split off again for as long as bytes remain.
        // When a round consumed neither CNT nor file bytes, every further
        // round would be the same one: the walk is over.
        if (splitBefore && cursor.rest == restBefore && position == positionBefore)
            break;
        splitBefore = true;
        restBefore = cursor.rest;
        positionBefore = position;
        if (!getNextRecord(cursor))
            break;
        const int t = platform::strToInt(cursor.recordType);
        if (t == 1) {
            window().setRecordTabVisible(1, true);
        } else if (t == 2) {
            window().setRecordTabVisible(2, true);
            stop = !readType2Record();
        } else if (t == 4) {
            readAndPlaceType4(stop);
        } else if (t >= 3 && t <= 16) {
            window().setRecordTabVisible(t, true);
            stop = true;
        } else {
            platform::showMessage("invalid record-type (" + cursor.recordType + ") in message content...");
        }
    }
}

void TransactionReader::readAndPlaceType4(bool& stop)
{
    window().setRecordTabVisible(4, true);
    window().activateType4Page();
    T_T4 record;
    stop = readType4Record(record) != kType4Ok;
    if (stop)
        return;  // a rejected record is not kept
    ++type4Count;
    type4Records.push_back(std::move(record));
    if (decodeImages)
        decodeAndPlace(type4Records.back());
}

void TransactionReader::decodeAndPlace(const T_T4& record)
{
    DecodedFingerprint decoded = decodeFingerprint(record.imageData);
    if (!decoded.error.empty())
        platform::showMessage("Error: the fingerprint of Type-4 record " + std::to_string(type4Count) +
                              " (IDC " + record.IDC + ") cannot be decoded: " + decoded.error);
    fingerprintBitmaps.push_back(std::move(decoded.bitmap));
    fingerprintInfo.push_back({decoded.ppi, std::move(decoded.error)});
    // An image that could not be decoded keeps its (empty) place in the list
    // but gets no thumbnail.
    if (!fingerprintBitmaps.back().empty())
        window().placeFingerprint(fingerprintBitmaps.back(), record, type4Count);
}

std::string TransactionReader::nextWord(std::string_view delimiters, int limit)
{
    std::string word;
    try {
        // Only the first and the last byte of the delimiter text delimit.
        const int first = delimiters.empty() ? -1 : static_cast<unsigned char>(delimiters.front());
        const int last = delimiters.empty() ? -1 : static_cast<unsigned char>(delimiters.back());
        int count = 0;
        while (count < limit && position >= 0 && position < bufferSize) {
            const std::uint8_t b = buffer[static_cast<std::size_t>(position)];
            if (b == first || b == last)
                break;
            word.push_back(static_cast<char>(b));
            ++count;
            ++position;
        }
    } catch (const std::exception&) {
        platform::showMessage("NIST extraction Error: nextWord failed.");
        return "0";
    }
    return word;
}

std::optional<TagInfo> TransactionReader::getTagInfo()
{
    const std::string typeText = nextWord(".", 2);
    ++position;
    const std::string fieldText = nextWord(":", 10);
    ++position;
    const auto recordType = platform::tryStrToInt(typeText);
    const auto fieldNumber = platform::tryStrToInt(fieldText);
    if (!recordType || !fieldNumber) {
        platform::showMessage("NIST extraction Error: getTagInfo failed.");
        return std::nullopt;
    }
    return TagInfo{*recordType, *fieldNumber};
}

bool TransactionReader::getNextRecord(Record& cursor)
{
    try {
        if (cursor.rest.empty()) {
            platform::showMessage("getNextRecord false");
            return false;
        }
        const auto rs = cursor.rest.find(kRS);
        const auto us = cursor.rest.find(kUS);
        cursor.recordType = us == std::string::npos ? std::string() : cursor.rest.substr(0, us);
        // Without an RS the last entry stays, to be split off again.
        if (rs != std::string::npos)
            cursor.rest.erase(0, rs + 1);
        return position < bufferSize;
    } catch (const std::exception&) {
        platform::showMessage("NIST extraction Error: getNextRecord failed.");
        return false;
    }
}

bool TransactionReader::atFieldSeparator(char separator) const
{
    return position >= 0 && position < bufferSize &&
           buffer[static_cast<std::size_t>(position)] == static_cast<std::uint8_t>(separator);
}

std::string TransactionReader::readFieldValue()
{
    std::string value = nextWord(kValueDelimiters, kFieldValueLimit);
    // A value longer than one step's limit is read on to its separator, so
    // the next tag is never looked for inside a value.
    while (position >= 0 && position < bufferSize && !atFieldSeparator(kGS) && !atFieldSeparator(kFS)) {
        const std::int64_t before = position;
        value += nextWord(kValueDelimiters, kFieldValueLimit);
        if (position == before)
            break;
    }
    return value;
}

int TransactionReader::readType1Record()
{
    if (position >= bufferSize) {
        platform::showMessage("Error: NULL pointer to T1 record");
        writeType1Table();
        return kType1NoBytes;
    }
    int result = kType1Ok;
    try {
        for (;;) {
            result = kType1Ok;
            const std::int64_t start = position;
            const std::optional<TagInfo> tag = getTagInfo();
            if (!tag) {
                result = kType1TagUnreadable;
                break;
            }
            if (tag->recordType != 1) {
                position = start;
                result = kType1OtherRecordType;
                platform::showMessage("T1::Invalid message type = " + std::to_string(tag->recordType));
                break;
            }
            std::string value = readFieldValue();
            const bool last = atFieldSeparator(kFS);
            ++position;
            if (tag->fieldNumber == 1) {
                type1.LEN = platform::strToInt(value);
            } else if (std::string* text = type1.text(tag->fieldNumber)) {
                *text = std::move(value);
            } else {
                result = kType1BadFieldNumber;
                platform::showMessage("T1::Error detected on tag 1." + std::to_string(tag->fieldNumber));
                platform::showMessage("T1::Invalid message type = 1");
            }
            if (last)
                break;
        }
    } catch (...) {
        // The table always shows this file's values, also when a malformed
        // number ended the record.
        writeType1Table();
        throw;
    }
    writeType1Table();
    return result;
}

void TransactionReader::writeType1Table()
{
    type1Table.setValue(1, std::to_string(type1.LEN));
    for (int row = 2; row <= 15; ++row)
        type1Table.setValue(row, *type1.text(row));
}

bool TransactionReader::readType2Record()
{
    const std::int64_t start = position;
    bool lenSeen = false;
    for (;;) {
        const std::int64_t remembered = position;
        const std::optional<TagInfo> tag = getTagInfo();
        if (!tag)
            return false;
        if (tag->recordType != 2) {
            if (lenSeen && start + type2.LEN > position)
                position = start + type2.LEN;
            else
                position = remembered;
            platform::showMessage("T2::Invalid message type = " + std::to_string(tag->recordType));
            return true;
        }
        std::string value = readFieldValue();
        const bool last = atFieldSeparator(kFS);
        ++position;
        if (tag->fieldNumber == 1) {
            type2.LEN = platform::strToInt(value);
            lenSeen = true;
            type2Table.setValue(1, std::to_string(type2.LEN));
        } else if (tag->fieldNumber == 2) {
            type2.IDC = platform::strToInt(value);
            type2Table.setValue(2, std::to_string(type2.IDC));
        } else {
            // Field 2.n lives in row n; a number without a row raises GridIndexError.
            type2Table.setRowVisible(tag->fieldNumber, true);
            type2Table.setValue(tag->fieldNumber, std::move(value));
        }
        if (last)
            return true;
    }
}

int TransactionReader::readType4Record(T_T4& record)
{
    const std::int64_t p = position;
    if (p < 0 || bufferSize - p < kType4HeaderSize) {
        platform::showMessage("Error: Type-4 record header is cut by the end of the file");
        return kType4Rejected;
    }
    const std::uint8_t* header = buffer.data() + p;
    record.LEN = hexToDecimal(hexOf(header, 4));
    record.IDC = std::to_string(header[4]);
    record.IMP = std::to_string(header[5]);
    record.FGP = std::to_string(header[6]);
    record.ISR = std::to_string(header[12]);
    record.HLL = hexToDecimal(hexOf(header + 13, 2));
    record.VLL = hexToDecimal(hexOf(header + 15, 2));
    record.GCA = std::to_string(header[17]);

    std::uint64_t length = 0;
    std::from_chars(record.LEN.data(), record.LEN.data() + record.LEN.size(), length);
    if (length < kType4HeaderSize) {
        // Such a record would not even hold its own header, and the walk
        // could never move past it.
        platform::showMessage("Error: Type-4 record length " + record.LEN + " is shorter than its 18-byte header");
        return kType4Rejected;
    }
    if (record.GCA != "1")
        platform::showMessage("Error: Type-4 record grayscale compression algorithm is unknown (not WSQ)");

    const std::int64_t available = bufferSize - p - kType4HeaderSize;
    const std::int64_t size = std::min<std::int64_t>({static_cast<std::int64_t>(length - kType4HeaderSize), available,
                                                      std::numeric_limits<std::int32_t>::max()});
    record.imageData.assign(header + kType4HeaderSize, header + kType4HeaderSize + size);
    record.imageSize = static_cast<std::int32_t>(size);
    // The header's length even past the end of the buffer: the walk then ends.
    position = p + static_cast<std::int64_t>(length);
    return kType4Ok;
}

}  // namespace nist
