#include "nist/transaction_reader.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

#include "nist/fingerprint_decoder.h"
#include "platform/conversion.h"
#include "platform/files.h"
#include "platform/prompter.h"

namespace nist {

namespace {
constexpr char kValueDelimiterBytes[] = {kGS, kFS};
constexpr std::string_view kValueDelimiters(kValueDelimiterBytes, 2);

// Makes sure one more element can be added without reallocating (growing
// geometrically), so that a push_back after it cannot fail.
template <typename T>
void roomForOneMore(std::vector<T>& list)
{
    static_assert(std::is_nothrow_move_constructible_v<T>);
    if (list.size() == list.capacity())
        list.reserve(std::max<std::size_t>(8, 2 * list.capacity()));
}

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

Completeness TransactionReader::completeness() const
{
    if (type1FieldsRead_ == 0)
        return Completeness::Unread;
    return hasErrors(problems_) ? Completeness::Partial : Completeness::Complete;
}

void TransactionReader::say(Severity severity, std::int64_t offset, const std::string& text)
{
    note(severity, offset, text);
    problems_.back().shown = true;
    if (showMessages)
        platform::showMessage(text);
}

void TransactionReader::sayError(const std::string& text, const std::string& reason)
{
    problems_.push_back({Severity::Error, 0, std::nullopt, 0, text, reason, true});
    if (showMessages)
        platform::showError(text);
}

void TransactionReader::note(Severity severity, std::int64_t offset, const std::string& text)
{
    // Bytes CNT does not list are read as further records of its last type;
    // what fails there loses nothing CNT promised.
    if (beyondListed_ && severity == Severity::Error)
        severity = Severity::Warning;
    problems_.push_back({severity, offset, currentRecord_, currentRecordType_, text, {}});
}

bool TransactionReader::loadNistFile(const std::filesystem::path& path)
{
    platform::FileContents contents;
    int error = 0;
    if (platform::directoryExists(path)) {
        contents.status = platform::ReadStatus::CannotOpen;
        error = EISDIR;
    } else {
        try {
            errno = 0;
            contents = platform::readWholeFile(path);
            error = errno;
        } catch (const std::exception&) {
            // A length the platform cannot allocate.
            contents.status = platform::ReadStatus::OutOfMemory;
            error = ENOMEM;
        }
    }
    if (contents.status != platform::ReadStatus::Ok) {
        // Nothing of this file is parsed; the problems are this file's alone.
        problems_.clear();
        type1FieldsRead_ = 0;
        currentRecord_.reset();
        currentRecordType_ = 0;
    }
    const std::string reason = error != 0 ? std::strerror(error) : "";
    switch (contents.status) {
    case platform::ReadStatus::Ok:
        break;
    case platform::ReadStatus::CannotTakeLength:
        sayError("Error: filelength < 0", reason);
        return false;
    case platform::ReadStatus::CannotOpen:
        sayError("Error: open file failed", reason);
        return false;
    case platform::ReadStatus::OutOfMemory:
        sayError("Error: malloc for buffer failed", reason);
        return false;
    case platform::ReadStatus::ShortRead:
        sayError("Error: reading file failed", reason);
        return false;
    }
    try {
        loadNistBytes(std::move(contents.bytes));
    } catch (const std::bad_alloc&) {
        // Memory ran out while reading: the file is refused as one that could
        // not be read, and nothing of it stays.
        clearTransaction();
        problems_.clear();
        type1FieldsRead_ = 0;
        sayError("Error: malloc for buffer failed", std::strerror(ENOMEM));
        return false;
    }
    return true;
}

void TransactionReader::loadNistBytes(std::vector<std::uint8_t> bytes)
{
    setBuffer(std::move(bytes));
    readLoadedBytes();
}

void TransactionReader::loadNistView(std::span<const std::uint8_t> bytes)
{
    std::vector<std::uint8_t>().swap(owned_);  // the previous file's bytes are not needed any more
    startBuffer(bytes);
    readLoadedBytes();
}

void TransactionReader::readLoadedBytes()
{
    try {
        readTransaction();
    } catch (const std::exception& e) {
        // The error ends the load; the caller shows it, the list keeps it.
        beyondListed_ = false;
        note(Severity::Error, std::min(errorOffset_, bufferSize_), e.what());
        problems_.back().shown = true;  // by the front end's error box
        currentRecord_.reset();
        currentRecordType_ = 0;
        throw;
    }
}

void TransactionReader::setBuffer(std::vector<std::uint8_t> bytes)
{
    owned_ = std::move(bytes);
    startBuffer(owned_);
}

void TransactionReader::startBuffer(std::span<const std::uint8_t> bytes)
{
    buffer_ = bytes;
    bufferSize_ = static_cast<std::int64_t>(buffer_.size());
    position_ = 0;
    problems_.clear();
    type1FieldsRead_ = 0;
    type1LenSeen_ = false;
    beyondListed_ = false;
    errorOffset_ = 0;
    currentRecord_.reset();
    currentRecordType_ = 0;
}

void TransactionReader::resetTransaction()
{
    type4Count_ = 0;
    position_ = 0;
    type4Records_.clear();
    fingerprintBitmaps_.clear();
    fingerprintInfo_.clear();
    records_.clear();
    type1Extra_.clear();
    type1Table_.truncateRows(16);
    for (int t = 2; t <= 16; ++t)
        window().setRecordTabVisible(t, false);
    for (int row = 1; row < type2Table_.rowCount(); ++row) {
        type2Table_.setValue(row, {});
        if (row >= 3)
            type2Table_.setRowVisible(row, false);
    }
    type1_ = T_T1{};
    type2_ = T_T2{};
    window().clearFingerprints();
    window().repaint();
}

namespace {

// The record type texts of the CNT entries in rest, in order.
std::vector<std::string> listedTypes(const std::string& rest)
{
    std::vector<std::string> types;
    std::size_t start = 0;
    while (start < rest.size()) {
        const std::size_t rs = std::min(rest.find(kRS, start), rest.size());
        const std::string entry = rest.substr(start, rs - start);
        if (!entry.empty())
            types.push_back(entry.substr(0, entry.find(kUS)));
        start = rs + 1;
    }
    return types;
}

std::string joined(const std::vector<std::string>& texts)
{
    std::string out;
    for (const std::string& t : texts)
        out += (out.empty() ? "" : ", ") + t;
    return out;
}

std::string count(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string unreadCountText(std::size_t listed, int read, bool fileEnded, std::int64_t fileSize)
{
    std::string text = "CNT lists " + count(listed, "record", "records") + "; " + std::to_string(read) +
                       (read == 1 ? " was" : " were") + " read";
    if (fileEnded)
        text += "; the file ends at byte " + std::to_string(fileSize);
    return text;
}

}  // namespace

void TransactionReader::clearTransaction()
{
    resetTransaction();
    for (int row = 1; row <= 15; ++row)
        type1Table_.setValue(row, {});
}

void TransactionReader::readTransaction()
{
    resetTransaction();
    type4Count_ = 0;
    currentRecord_ = 0;
    currentRecordType_ = 1;
    NistRecord type1Record;
    type1Record.type = 1;
    type1Record.tagged = true;
    fieldSink_ = &type1Record.fields;
    int type1Result = kType1NoBytes;
    try {
        type1Result = readType1Record();
    } catch (...) {
        fieldSink_ = nullptr;
        throw;
    }
    fieldSink_ = nullptr;
    type1Record.length = type1_.LEN;
    if (type1FieldsRead_ > 0)
        addRecord(std::move(type1Record));
    if (type1Result == kType1Ok && type1LenSeen_ && type1_.LEN != position_)
        note(Severity::Warning, 0,
             "Type-1 LEN is " + std::to_string(type1_.LEN) + ", but the record holds " + std::to_string(position_) +
                 " bytes");
    currentRecord_.reset();
    currentRecordType_ = 0;
    // Drop CNT's first subfield (type 1, US, count of other records): the
    // Type-1 record's own entry.
    std::string rest = type1_.CNT;
    if (const auto us = rest.find(kUS); us != std::string::npos)
        rest.erase(0, us + 1);
    if (const auto rs = rest.find(kRS); rs != std::string::npos)
        rest.erase(0, rs + 1);
    if (type1Result != kType1Ok) {
        const std::size_t listed = listedTypes(rest).size();
        if (type1FieldsRead_ > 0 && listed > 0)
            note(Severity::Error, std::min(position_, bufferSize_),
                 unreadCountText(listed, 0, position_ >= bufferSize_, bufferSize_));
        return;
    }
    window().setRecordTabVisible(1, true);
    walkRecords(Record{std::move(rest), {}});
}

void TransactionReader::walkRecords(Record cursor)
{
    Walk walk;
    walk.listedTypes = listedTypes(cursor.rest);
    bool splitBefore = false;
    std::string restBefore;
    std::int64_t positionBefore = 0;
    for (;;) {
        // The last CNT entry is split off again for as long as bytes remain.
        // When a round consumed neither CNT nor file bytes, every further
        // round would be the same one: the walk is over.
        if (splitBefore && cursor.rest == restBefore && position_ == positionBefore)
            break;
        splitBefore = true;
        restBefore = cursor.rest;
        positionBefore = position_;
        currentRecord_.reset();
        currentRecordType_ = 0;
        if (!getNextRecord(cursor))
            break;
        ++walk.entries;
        currentRecord_ = walk.entries;
        beyondListed_ = walk.entries > static_cast<int>(walk.listedTypes.size());
        if (!walkEntry(walk, cursor))
            break;
    }
    beyondListed_ = false;
    currentRecord_.reset();
    currentRecordType_ = 0;
    accountForWalk(walk);
}

// Handles the entry just split off; false when it ends the walk.
bool TransactionReader::walkEntry(Walk& walk, const Record& cursor)
{
    const std::int64_t start = position_;
    errorOffset_ = start;
    const bool listed = walk.entries <= static_cast<int>(walk.listedTypes.size());
    const int t = platform::strToInt(cursor.recordType);
    currentRecordType_ = t >= 1 && t <= 16 ? t : 0;
    if (!listed && !walk.trailingNoted && t >= 2 && t <= 99) {
        walk.trailingNoted = true;
        note(Severity::Warning, start,
             count(static_cast<std::size_t>(bufferSize_ - start), "byte", "bytes") + " after the " +
                 count(walk.listedTypes.size(), "record", "records") + " CNT lists are taken for further Type-" +
                 std::to_string(t) + " records");
    }
    bool stop = false;
    bool handled = true;
    if (t == 1) {
        window().setRecordTabVisible(1, true);
    } else if (t == 2) {
        window().setRecordTabVisible(2, true);
        NistRecord record;
        record.type = 2;
        record.offset = start;
        record.tagged = true;
        fieldSink_ = &record.fields;
        try {
            stop = !readType2Record();
        } catch (...) {
            fieldSink_ = nullptr;
            throw;
        }
        fieldSink_ = nullptr;
        handled = !stop;
        if (handled) {
            record.length = type2_.LEN;
            if (const std::string* idc = record.field(2))
                record.idc = platform::tryStrToInt(*idc);
            addRecord(std::move(record));
        }
    } else if (t == 4) {
        readAndPlaceType4(stop);
        handled = !stop;
    } else if (t >= 3 && t <= 99) {
        window().setRecordTabVisible(t, true);
        const bool read = t <= 8 ? readBinaryRecord(t) : readTaggedRecord(t);
        if (!read) {
            walk.unsupportedType = t;
            stop = true;
            handled = false;
        }
    } else {
        say(Severity::Error, start, "invalid record-type (" + cursor.recordType + ") in message content...");
        handled = false;
    }
    if (listed && handled)
        ++walk.listedRead;
    return !stop;
}

void TransactionReader::accountForWalk(const Walk& walk)
{
    const int listed = static_cast<int>(walk.listedTypes.size());
    if (walk.unsupportedType != 0) {
        std::string text = "the Type-" + std::to_string(walk.unsupportedType) + " record is not read";
        if (walk.entries <= listed) {
            currentRecord_ = walk.entries;
            currentRecordType_ = walk.unsupportedType;
        }
        const std::vector<std::string> after(
            walk.listedTypes.begin() + std::min(walk.entries, listed), walk.listedTypes.end());
        if (!after.empty())
            text += ", nor the " + count(after.size(), "record", "records") + " CNT lists after it (types " +
                    joined(after) + ")";
        note(Severity::Error, position_, text);
        currentRecord_.reset();
        currentRecordType_ = 0;
        return;
    }
    if (walk.listedRead < listed) {
        note(Severity::Error, std::min(position_, bufferSize_),
             unreadCountText(static_cast<std::size_t>(listed), walk.listedRead, position_ >= bufferSize_, bufferSize_));
        return;
    }
    if (position_ < bufferSize_)
        note(Severity::Warning, position_,
             count(static_cast<std::size_t>(bufferSize_ - position_), "byte", "bytes") +
                 " after the last record, from byte " + std::to_string(position_) + " on, were not read");
}

void TransactionReader::readAndPlaceType4(bool& stop)
{
    window().setRecordTabVisible(4, true);
    window().activateType4Page();
    const std::int64_t start = position_;
    T_T4 record;
    stop = readType4Record(record) != kType4Ok;
    if (stop)
        return;  // a rejected record is not kept
    const bool decodable = checkStreamAgainstRecord(record, start);
    // Everything that can run out of memory happens before the record is
    // kept: its lists then grow together, or not at all.
    std::optional<DecodedType4> decoded;
    if (decodeImages)
        decoded = decodeType4(record, start, decodable);
    NistRecord entry =
        type4Entry(record, start, decoded ? &decoded->bitmap : nullptr, decoded ? &decoded->info : nullptr);
    roomForOneMore(type4Records_);
    roomForOneMore(records_);
    if (decoded) {
        roomForOneMore(fingerprintBitmaps_);
        roomForOneMore(fingerprintInfo_);
    }
    ++type4Count_;
    type4Records_.push_back(std::move(record));
    records_.push_back(std::move(entry));
    if (!decoded)
        return;
    fingerprintBitmaps_.push_back(std::move(decoded->bitmap));
    fingerprintInfo_.push_back(std::move(decoded->info));
    // An image that could not be decoded keeps its (empty) place in the list
    // but gets no thumbnail.
    if (!fingerprintBitmaps_.back().empty())
        window().placeFingerprint(fingerprintBitmaps_.back(), type4Records_.back(), type4Count_);
}

bool TransactionReader::checkStreamAgainstRecord(const T_T4& record, std::int64_t start)
{
    const std::optional<WsqStreamHead> head = readWsqStreamHead(record.imageData);
    if (!head)
        return true;  // not WSQ, or damaged: the decode says what it finds
    const std::string name = "Type-4 record (IDC " + record.IDC + ")";
    const auto hll = platform::tryStrToInt(record.HLL);
    const auto vll = platform::tryStrToInt(record.VLL);
    bool decodable = true;
    if (hll && vll && (head->width != *hll || head->height != *vll)) {
        const std::string frame = std::to_string(head->width) + " x " + std::to_string(head->height);
        const std::string lines = record.HLL + " x " + record.VLL;
        // The record's size is what the transaction vouches for; a frame
        // that promises more pixels is not worth the memory it would take.
        decodable = static_cast<std::int64_t>(head->width) * head->height <= static_cast<std::int64_t>(*hll) * *vll;
        if (decodable || !decodeImages)
            note(Severity::Warning, start,
                 name + " says " + lines + " pixels (HLL x VLL), but its WSQ frame is " + frame);
        else
            note(Severity::Error, start,
                 name + ": its WSQ frame of " + frame + " pixels is larger than the record's " + lines +
                     "; the image is not decoded");
    }
    // ISR 0 is the minimum scanning resolution, 19.69 pixels per millimetre
    // (500 ppi); ISR 1 the native one that Type-1 NSR gives.
    int expected = 0;
    if (record.ISR == "0") {
        expected = 500;
    } else if (record.ISR == "1") {
        char* stop = nullptr;
        const double nsr = std::strtod(type1_.NSR.c_str(), &stop);
        if (stop != type1_.NSR.c_str() && *stop == '\0' && nsr > 0 && nsr < 10000)
            expected = static_cast<int>(nsr * 25.4 + 0.5);
    }
    // The format allows 0.2 pixels per millimetre either way, about 1 %.
    if (expected > 0 && head->ppi > 0 && std::abs(head->ppi - expected) * 100 > expected)
        note(Severity::Warning, start,
             name + ": ISR " + record.ISR + " stands for " + std::to_string(expected) +
                 " ppi, but its WSQ stream says " + std::to_string(head->ppi) + " ppi");
    return decodable;
}

TransactionReader::DecodedType4 TransactionReader::decodeType4(const T_T4& record, std::int64_t start,
                                                            bool decodable)
{
    if (!decodable)
        return {{}, {-1, "the WSQ frame is larger than the record"}};  // kept in its place, undecoded
    DecodedFingerprint decoded = decodeFingerprint(record.imageData);
    for (int i = 0; i < decoded.headFailures; ++i)
        say(Severity::Error, start, "Error: getc_marker_wsq");
    if (!decoded.error.empty())
        say(Severity::Error, start,
            "Error: the fingerprint of Type-4 record " + std::to_string(type4Count_ + 1) + " (IDC " + record.IDC +
                ") cannot be decoded: " + decoded.error);
    return {std::move(decoded.bitmap), {decoded.ppi, std::move(decoded.error)}};
}

std::string TransactionReader::nextWord(std::string_view delimiters, int limit)
{
    std::string word;
    try {
        // Only the first and the last byte of the delimiter text delimit.
        const int first = delimiters.empty() ? -1 : static_cast<unsigned char>(delimiters.front());
        const int last = delimiters.empty() ? -1 : static_cast<unsigned char>(delimiters.back());
        if (limit > 0 && position_ >= 0 && position_ < bufferSize_) {
            // Found first, then copied in one piece.
            const std::uint8_t* begin = buffer_.data() + position_;
            const std::uint8_t* end = begin + std::min<std::int64_t>(limit, bufferSize_ - position_);
            const std::uint8_t* stop = begin;
            while (stop != end && *stop != first && *stop != last)
                ++stop;
            word.assign(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(stop - begin));
            position_ += stop - begin;
        }
    } catch (const std::bad_alloc&) {
        throw;  // a word made up in its place would misread the rest: the load fails
    } catch (const std::exception&) {
        say(Severity::Error, position_, "NIST extraction Error: nextWord failed.");
        return "0";
    }
    return word;
}

std::optional<TagInfo> TransactionReader::getTagInfo()
{
    const std::int64_t start = position_;
    const std::string typeText = nextWord(".", 2);
    ++position_;
    const std::string fieldText = nextWord(":", 10);
    ++position_;
    const auto recordType = platform::tryStrToInt(typeText);
    const auto fieldNumber = platform::tryStrToInt(fieldText);
    if (!recordType || !fieldNumber) {
        say(Severity::Error, std::min(start, bufferSize_), "NIST extraction Error: getTagInfo failed.");
        return std::nullopt;
    }
    return TagInfo{*recordType, *fieldNumber};
}

bool TransactionReader::getNextRecord(Record& cursor)
{
    try {
        if (cursor.rest.empty()) {
            // Nothing is lost here: whatever CNT did not get to is counted
            // after the walk.
            say(Severity::Note, std::min(position_, bufferSize_), "getNextRecord false");
            return false;
        }
        const auto rs = cursor.rest.find(kRS);
        const auto us = cursor.rest.find(kUS);
        cursor.recordType = us == std::string::npos ? std::string() : cursor.rest.substr(0, us);
        // Without an RS the last entry stays, to be split off again.
        if (rs != std::string::npos)
            cursor.rest.erase(0, rs + 1);
        return position_ < bufferSize_;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        say(Severity::Error, position_, "NIST extraction Error: getNextRecord failed.");
        return false;
    }
}

bool TransactionReader::atFieldSeparator(char separator) const
{
    return position_ >= 0 && position_ < bufferSize_ &&
           buffer_[static_cast<std::size_t>(position_)] == static_cast<std::uint8_t>(separator);
}

std::string TransactionReader::readFieldValue()
{
    std::string value = nextWord(kValueDelimiters, kFieldValueLimit);
    // A value longer than one step's limit is read on to its separator, so
    // the next tag is never looked for inside a value.
    while (position_ >= 0 && position_ < bufferSize_ && !atFieldSeparator(kGS) && !atFieldSeparator(kFS)) {
        const std::int64_t before = position_;
        value += nextWord(kValueDelimiters, kFieldValueLimit);
        if (position_ == before)
            break;
    }
    return value;
}

int TransactionReader::readType1Record()
{
    if (position_ >= bufferSize_) {
        say(Severity::Error, bufferSize_, "Error: NULL pointer to T1 record");
        writeType1Table();
        return kType1NoBytes;
    }
    int result = kType1Ok;
    try {
        for (;;) {
            result = kType1Ok;
            const std::int64_t start = position_;
            errorOffset_ = start;
            const std::optional<TagInfo> tag = getTagInfo();
            if (!tag) {
                result = kType1TagUnreadable;
                break;
            }
            if (tag->recordType != 1) {
                position_ = start;
                result = kType1OtherRecordType;
                say(Severity::Error, start, "T1::Invalid message type = " + std::to_string(tag->recordType));
                break;
            }
            const std::int64_t tagEnd = position_;
            std::string value = readFieldValue();
            const bool last = atFieldSeparator(kFS);
            ++position_;
            if (fieldSink_)
                fieldSink_->push_back({bytesText(start, tagEnd - 1), tag->fieldNumber, value});
            if (tag->fieldNumber == 1) {
                type1_.LEN = platform::strToInt(value);
                type1LenSeen_ = true;
                ++type1FieldsRead_;
            } else if (std::string* text = type1_.text(tag->fieldNumber)) {
                *text = std::move(value);
                ++type1FieldsRead_;
            } else if (tag->fieldNumber > 15) {
                // The later editions' fields (APS, ANM, GNS, ...): further rows.
                type1Extra_.push_back({bytesText(start, tagEnd - 1), tag->fieldNumber, std::move(value)});
                ++type1FieldsRead_;
            } else {
                // The field's value is dropped; whether the reading ends here
                // is told after the record.
                result = kType1BadFieldNumber;
                say(Severity::Warning, start, "T1::Error detected on tag 1." + std::to_string(tag->fieldNumber));
                say(Severity::Warning, start, "T1::Invalid message type = 1");
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
    type1Table_.setValue(1, std::to_string(type1_.LEN));
    for (int row = 2; row <= 15; ++row)
        type1Table_.setValue(row, *type1_.text(row));
    writeType1ExtraRows();
}

bool TransactionReader::readType2Record()
{
    const std::int64_t start = position_;
    bool lenSeen = false;
    for (;;) {
        const std::int64_t remembered = position_;
        errorOffset_ = remembered;
        const std::optional<TagInfo> tag = getTagInfo();
        if (!tag)
            return false;
        if (tag->recordType != 2) {
            if (lenSeen && start + type2_.LEN > position_)
                position_ = start + type2_.LEN;
            else
                position_ = remembered;
            say(Severity::Warning, remembered, "T2::Invalid message type = " + std::to_string(tag->recordType));
            return true;
        }
        const std::int64_t tagEnd = position_;
        std::string value = readFieldValue();
        const bool last = atFieldSeparator(kFS);
        ++position_;
        if (fieldSink_)
            fieldSink_->push_back({bytesText(remembered, tagEnd - 1), tag->fieldNumber, value});
        if (tag->fieldNumber == 1) {
            type2_.LEN = platform::strToInt(value);
            lenSeen = true;
            type2Table_.setValue(1, std::to_string(type2_.LEN));
        } else if (tag->fieldNumber == 2) {
            type2_.IDC = platform::strToInt(value);
            type2Table_.setValue(2, std::to_string(type2_.IDC));
        } else {
            // Field 2.n lives in row n; a number without a row raises GridIndexError.
            type2Table_.setRowVisible(tag->fieldNumber, true);
            type2Table_.setValue(tag->fieldNumber, std::move(value));
        }
        if (last) {
            if (lenSeen && type2_.LEN != position_ - start)
                note(Severity::Warning, start,
                     "Type-2 LEN is " + std::to_string(type2_.LEN) + ", but the record holds " +
                         std::to_string(position_ - start) + " bytes");
            return true;
        }
    }
}

int TransactionReader::readType4Record(T_T4& record)
{
    const std::int64_t p = position_;
    if (p < 0 || bufferSize_ - p < kType4HeaderSize) {
        say(Severity::Error, std::min(p, bufferSize_), "Error: Type-4 record header is cut by the end of the file");
        return kType4Rejected;
    }
    const std::uint8_t* header = buffer_.data() + p;
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
        say(Severity::Error, p, "Error: Type-4 record length " + record.LEN + " is shorter than its 18-byte header");
        return kType4Rejected;
    }
    if (record.GCA != "1")
        say(Severity::Warning, p, "Error: Type-4 record grayscale compression algorithm is unknown (not WSQ)");

    const std::int64_t available = bufferSize_ - p - kType4HeaderSize;
    const std::int64_t size = std::min<std::int64_t>({static_cast<std::int64_t>(length - kType4HeaderSize), available,
                                                      std::numeric_limits<std::int32_t>::max()});
    if (static_cast<std::uint64_t>(available) < length - kType4HeaderSize)
        note(Severity::Error, p,
             "Type-4 record (IDC " + record.IDC + ") is cut by the end of the file: LEN is " + record.LEN +
                 ", the file holds " + std::to_string(bufferSize_ - p) + " bytes of it");
    record.imageData.assign(header + kType4HeaderSize, header + kType4HeaderSize + size);
    record.imageSize = static_cast<std::int32_t>(size);
    // The header's length even past the end of the buffer: the walk then ends.
    position_ = p + static_cast<std::int64_t>(length);
    return kType4Ok;
}

}  // namespace nist
