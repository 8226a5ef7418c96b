// Reading steps for the record types beyond Type-1, Type-2 and Type-4: the
// tagged records of types 9 to 99 and the binary records 3, 5, 6, 7 and 8.
// Each works within its own LEN and records what it finds wrong; none shows a
// message box.
#include <algorithm>
#include <cstdio>

#include "nist/field_names.h"
#include "nist/record_image.h"
#include "nist/transaction_reader.h"
#include "platform/conversion.h"

namespace nist {

std::string NistRecord::label() const
{
    return std::to_string(type) + "." + (idc ? std::to_string(*idc) : std::string("?"));
}

const std::string* NistRecord::field(int number) const
{
    for (const RecordField& f : fields)
        if (f.number == number)
            return &f.value;
    return nullptr;
}

struct TransactionReader::RawTag {
    int recordType = 0;
    int fieldNumber = 0;
    std::string text;            // "14.013", as written
    std::int64_t valueStart = 0; // the byte after ":"
};

namespace {

constexpr int kImageField = 999;

bool isDigit(std::uint8_t b)
{
    return b >= '0' && b <= '9';
}

bool isImageRecordType(int type)
{
    return type == 10 || (type >= 13 && type <= 17);
}

std::optional<int> numberOf(const std::string* text)
{
    if (!text)
        return std::nullopt;
    return platform::tryStrToInt(*text);
}

std::uint32_t bigEndian(const std::uint8_t* p, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

}  // namespace

std::string TransactionReader::bytesText(std::int64_t from, std::int64_t to) const
{
    from = std::clamp<std::int64_t>(from, 0, bufferSize_);
    to = std::clamp<std::int64_t>(to, from, bufferSize_);
    return std::string(buffer_.begin() + from, buffer_.begin() + to);
}

// "T.N:" at the given byte, all of it before end: up to 3 digits of record
// type and 9 of field number.
std::optional<TransactionReader::RawTag> TransactionReader::parseTag(std::int64_t at, std::int64_t end) const
{
    end = std::min(end, bufferSize_);
    RawTag tag;
    std::int64_t p = at;
    auto digits = [&](int limit, int& value) {
        int count = 0;
        value = 0;
        while (p < end && count < limit && isDigit(buffer_[static_cast<std::size_t>(p)])) {
            value = value * 10 + (buffer_[static_cast<std::size_t>(p)] - '0');
            ++p;
            ++count;
        }
        return count > 0;
    };
    if (!digits(3, tag.recordType) || p >= end || buffer_[static_cast<std::size_t>(p)] != '.')
        return std::nullopt;
    ++p;
    if (!digits(9, tag.fieldNumber) || p >= end || buffer_[static_cast<std::size_t>(p)] != ':')
        return std::nullopt;
    tag.text = bytesText(at, p);
    tag.valueStart = p + 1;
    return tag;
}

void TransactionReader::addRecord(NistRecord record)
{
    records_.push_back(std::move(record));
}

void TransactionReader::writeType1ExtraRows()
{
    type1Table_.truncateRows(16);
    for (const RecordField& f : type1Extra_) {
        FieldName name = fieldName(1, f.number);
        const int row = type1Table_.appendRow({name.code.empty() ? f.tag : name.code, f.value, name.description, true});
        (void)row;
    }
}

NistRecord TransactionReader::type4Entry(const T_T4& record, std::int64_t start, const platform::Bitmap* bitmap,
                                        const FingerprintInfo* info) const
{
    NistRecord entry;
    entry.type = 4;
    entry.idc = platform::tryStrToInt(record.IDC);
    entry.offset = start;
    entry.length = platform::tryStrToInt(record.LEN).value_or(0);
    const std::pair<const char*, const std::string*> header[] = {
        {"LEN", &record.LEN}, {"IDC", &record.IDC}, {"IMP", &record.IMP}, {"FGP", &record.FGP},
        {"ISR", &record.ISR}, {"HLL", &record.HLL}, {"VLL", &record.VLL}, {"GCA", &record.GCA}};
    int number = 1;
    for (const auto& [name, value] : header) {
        (void)name;
        entry.fields.push_back({"4.00" + std::to_string(number), number, *value});
        ++number;
    }
    entry.hasImage = entry.hasData = true;
    entry.type4Index = static_cast<int>(type4Records_.size());
    entry.image.compression = record.GCA;
    entry.image.declaredWidth = platform::tryStrToInt(record.HLL).value_or(0);
    entry.image.declaredHeight = platform::tryStrToInt(record.VLL).value_or(0);
    if (bitmap && info) {
        entry.image.decoded = true;
        entry.image.decodeError = info->error;
        entry.image.width = bitmap->width();
        entry.image.height = bitmap->height();
        entry.image.ppi = info->ppi;
    }
    return entry;
}

void TransactionReader::decodeImageOf(NistRecord& record)
{
    if (!record.hasImage || !decodeImages)
        return;
    std::vector<std::string> errors, warnings;
    decodeRecordImage(record, errors, warnings);
    for (const std::string& text : errors)
        note(Severity::Error, record.offset, text);
    for (const std::string& text : warnings)
        note(Severity::Warning, record.offset, text);
}

bool TransactionReader::readTaggedRecord(int recordType)
{
    const std::int64_t start = position_;
    NistRecord record;
    record.type = recordType;
    record.offset = start;
    record.tagged = true;
    const std::string where = " at byte " + std::to_string(start);
    const std::optional<RawTag> first = parseTag(start, bufferSize_);
    if (!first || first->recordType != recordType) {
        note(Severity::Error, std::min(start, bufferSize_),
             "the Type-" + std::to_string(recordType) + " record CNT lists is not a tagged Type-" +
                 std::to_string(recordType) + " record" + where);
        return false;
    }

    // The record's extent: its LEN where that is usable, else up to its FS.
    std::int64_t end = bufferSize_;
    bool lenKnown = false;
    std::int64_t length = 0;
    if (first->fieldNumber == 1) {
        std::int64_t p = first->valueStart;
        while (p < bufferSize_ && buffer_[static_cast<std::size_t>(p)] != kGS &&
               buffer_[static_cast<std::size_t>(p)] != kFS)
            ++p;
        const auto len = platform::tryStrToInt(bytesText(first->valueStart, p));
        if (len && *len > p - start) {
            lenKnown = true;
            length = *len;
            if (start + length > bufferSize_)
                note(Severity::Error, start,
                     "LEN " + std::to_string(length) + " of the Type-" + std::to_string(recordType) + " record" +
                         where + " runs past the end of the file (" + std::to_string(bufferSize_ - start) +
                         " bytes left)");
            end = std::min(start + length, bufferSize_);
        }
    }
    if (!lenKnown)
        note(Severity::Error, start,
             "the Type-" + std::to_string(recordType) + " record" + where + " has no usable LEN field");
    record.length = length;

    std::int64_t cursor = start;
    bool closed = false;
    bool imageSeen = false;
    while (cursor < end) {
        const std::optional<RawTag> tag = parseTag(cursor, end);
        if (!tag || tag->recordType != recordType) {
            note(Severity::Error, cursor,
                 "the Type-" + std::to_string(recordType) + " record" + where + " holds no readable field at byte " +
                     std::to_string(cursor));
            break;
        }
        if (tag->fieldNumber == kImageField) {
            imageSeen = true;
            std::int64_t valueEnd = end;
            if (valueEnd > tag->valueStart && buffer_[static_cast<std::size_t>(valueEnd - 1)] == kFS)
                --valueEnd;
            // A field after the image would start with GS and this record's tag.
            std::int64_t next = -1;
            for (std::int64_t p = tag->valueStart; p + 1 < valueEnd && next < 0; ++p)
                if (buffer_[static_cast<std::size_t>(p)] == kGS) {
                    const auto after = parseTag(p + 1, end);
                    if (after && after->recordType == recordType && after->fieldNumber != kImageField)
                        next = p;
                }
            record.image.data.assign(buffer_.begin() + tag->valueStart, buffer_.begin() + (next >= 0 ? next : valueEnd));
            record.hasData = true;
            if (next >= 0) {
                note(Severity::Error, next,
                     "the image field " + tag->text + " of the Type-" + std::to_string(recordType) + " record" +
                         where + " is not its last field");
                cursor = next + 1;
                continue;
            }
            cursor = valueEnd + 1;
            closed = valueEnd < end;
            break;
        }
        std::int64_t p = tag->valueStart;
        while (p < end && buffer_[static_cast<std::size_t>(p)] != kGS && buffer_[static_cast<std::size_t>(p)] != kFS)
            ++p;
        record.fields.push_back({tag->text, tag->fieldNumber, bytesText(tag->valueStart, p)});
        cursor = p + 1;
        if (p < end && buffer_[static_cast<std::size_t>(p)] == kFS) {
            closed = true;
            break;
        }
    }
    record.idc = numberOf(record.field(2));
    if (!closed && cursor >= end && lenKnown && start + length <= bufferSize_)
        note(Severity::Warning, start,
             "the Type-" + std::to_string(recordType) + " record" + where + " does not end with FS");
    if (closed && lenKnown && start + length <= bufferSize_ && cursor != start + length)
        note(Severity::Warning, start,
             "Type-" + std::to_string(recordType) + " LEN is " + std::to_string(length) + ", but the record holds " +
                 std::to_string(cursor - start) + " bytes");
    // The walk goes on where LEN says (past the end of the file, it ends).
    position_ = lenKnown ? start + length : std::max(cursor, start + 1);

    if (isImageRecordType(recordType)) {
        record.hasImage = true;
        RecordImage& image = record.image;
        image.compression = record.field(11) ? *record.field(11) : std::string();
        image.declaredWidth = numberOf(record.field(6)).value_or(0);
        image.declaredHeight = numberOf(record.field(7)).value_or(0);
        if (recordType == 10) {
            const std::string* csp = record.field(12);
            image.bitsPerPixel = csp && (*csp == "GRAY" || *csp == "gray") ? 8 : csp ? 24 : 8;
        } else {
            image.bitsPerPixel = numberOf(record.field(12)).value_or(8);
        }
        const int slc = numberOf(record.field(8)).value_or(0);
        const int hps = numberOf(record.field(9)).value_or(0);
        if (slc == 1 && hps > 0)
            image.declaredPpi = hps;
        else if (slc == 2 && hps > 0)
            image.declaredPpi = static_cast<int>(hps * 2.54 + 0.5);
        if (!imageSeen) {
            image.decodeError = "record " + record.label() + " has no image field";
            note(Severity::Error, start, image.decodeError);
        }
        else
            decodeImageOf(record);
    }
    addRecord(std::move(record));
    return true;
}

bool TransactionReader::readBinaryRecord(int recordType)
{
    const std::int64_t start = position_;
    const std::string where = " at byte " + std::to_string(start);
    const int headerSize = recordType == 7 ? 5 : recordType == 8 ? 12 : kType4HeaderSize;
    if (start < 0 || bufferSize_ - start < headerSize) {
        note(Severity::Error, std::min(start, bufferSize_),
             "the Type-" + std::to_string(recordType) + " record header" + where + " is cut by the end of the file");
        return false;
    }
    const std::uint8_t* h = buffer_.data() + start;
    const std::int64_t length = bigEndian(h, 4);
    if (length < headerSize) {
        note(Severity::Error, start,
             "LEN " + std::to_string(length) + " of the Type-" + std::to_string(recordType) + " record" + where +
                 " is shorter than its " + std::to_string(headerSize) + "-byte header");
        return false;
    }
    NistRecord record;
    record.type = recordType;
    record.offset = start;
    record.length = length;
    record.idc = h[4];
    auto add = [&](int number, std::uint32_t value) {
        char tag[16];
        std::snprintf(tag, sizeof tag, "%d.%03d", recordType, number);
        record.fields.push_back({tag, number, std::to_string(value)});
    };
    add(1, static_cast<std::uint32_t>(length));
    add(2, h[4]);
    if (recordType == 8) {
        add(3, h[5]);                 // SIG
        add(4, h[6]);                 // SRT
        add(5, h[7]);                 // ISR
        add(6, bigEndian(h + 8, 2));  // HLL
        add(7, bigEndian(h + 10, 2)); // VLL
    } else if (recordType != 7) {
        add(3, h[5]);                 // IMP
        add(4, h[6]);                 // FGP (first of six bytes)
        add(5, h[12]);                // ISR
        add(6, bigEndian(h + 13, 2)); // HLL
        add(7, bigEndian(h + 15, 2)); // VLL
        add(8, h[17]);                // GCA / BCA
        record.hasImage = true;
        record.image.compression = std::to_string(h[17]);
        record.image.declaredWidth = static_cast<int>(bigEndian(h + 13, 2));
        record.image.declaredHeight = static_cast<int>(bigEndian(h + 15, 2));
        record.image.bitsPerPixel = recordType == 3 ? 8 : 1;
    }
    const std::int64_t available = bufferSize_ - start;
    if (length > available)
        note(Severity::Error, start,
             "the Type-" + std::to_string(recordType) + " record" + where + " is cut by the end of the file: LEN is " +
                 std::to_string(length) + ", the file holds " + std::to_string(available) + " bytes of it");
    record.image.data.assign(buffer_.begin() + start + headerSize, buffer_.begin() + start + std::min(length, available));
    record.hasData = true;
    position_ = start + length;
    decodeImageOf(record);
    addRecord(std::move(record));
    return true;
}

}  // namespace nist
