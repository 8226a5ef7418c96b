#include "nist/transaction_writer.h"

#include <algorithm>
#include <cstdio>

#include "nist/records.h"
#include "platform/files.h"

namespace nist {

namespace {
std::string tag(int recordType, int number)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%03d:", recordType, number);
    return text;
}

std::string twoDigits(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}
}  // namespace

namespace {
std::string taggedRecord(int recordType, const std::vector<TaggedField>& fields,
                         const std::vector<std::uint8_t>* imageData)
{
    std::string body;
    for (const TaggedField& f : fields) {
        if (f.number == 1)
            continue;
        body += kGS;
        body += tag(recordType, f.number) + f.value;
    }
    if (imageData) {
        body += kGS;
        body += tag(recordType, 999);
        body.append(imageData->begin(), imageData->end());
    }
    body += kFS;
    // LEN counts its own digits: grow the guess until it describes itself.
    const std::string lenTag = tag(recordType, 1);
    std::size_t length = lenTag.size() + body.size() + 1;
    while (lenTag.size() + std::to_string(length).size() + body.size() != length)
        length = lenTag.size() + std::to_string(length).size() + body.size();
    return lenTag + std::to_string(length) + body;
}
}  // namespace

std::string makeTaggedRecord(int recordType, const std::vector<TaggedField>& fields)
{
    return taggedRecord(recordType, fields, nullptr);
}

std::string makeTaggedRecord(int recordType, const std::vector<TaggedField>& fields,
                             const std::vector<std::uint8_t>& imageData)
{
    return taggedRecord(recordType, fields, &imageData);
}

std::string makeBinaryImageRecord(const Type4Image& image)
{
    return makeType4Record(image);
}

namespace {
void putBigEndian(std::string& out, std::uint32_t value, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}
}  // namespace

std::string makeType7Record(std::uint8_t idc, const std::vector<std::uint8_t>& data)
{
    std::string record;
    putBigEndian(record, static_cast<std::uint32_t>(5 + data.size()), 4);
    record += static_cast<char>(idc);
    record.append(data.begin(), data.end());
    return record;
}

std::string makeType8Record(std::uint8_t idc, std::uint8_t sig, std::uint8_t srt, std::uint16_t hll,
                            std::uint16_t vll, const std::vector<std::uint8_t>& data)
{
    std::string record;
    putBigEndian(record, static_cast<std::uint32_t>(12 + data.size()), 4);
    record += static_cast<char>(idc);
    record += static_cast<char>(sig);
    record += static_cast<char>(srt);
    record += '\0';  // ISR
    putBigEndian(record, hll, 2);
    putBigEndian(record, vll, 2);
    record.append(data.begin(), data.end());
    return record;
}

std::string makeType4Record(const Type4Image& image)
{
    const std::uint32_t length = static_cast<std::uint32_t>(kType4HeaderSize + image.data.size());
    std::string record;
    record.reserve(length);
    for (int shift = 24; shift >= 0; shift -= 8)
        record += static_cast<char>((length >> shift) & 0xFF);
    record += static_cast<char>(image.idc);
    record += static_cast<char>(image.imp);
    for (std::uint8_t b : image.fgp)
        record += static_cast<char>(b);
    record += static_cast<char>(image.isr);
    record += static_cast<char>(image.hll >> 8);
    record += static_cast<char>(image.hll & 0xFF);
    record += static_cast<char>(image.vll >> 8);
    record += static_cast<char>(image.vll & 0xFF);
    record += static_cast<char>(image.gca);
    record.append(image.data.begin(), image.data.end());
    return record;
}

std::string makeCntValue(const std::vector<CntEntry>& entries)
{
    std::string cnt = "1";
    cnt += kUS;
    cnt += std::to_string(entries.size());
    for (const CntEntry& e : entries) {
        cnt += kRS;
        cnt += std::to_string(e.recordType);
        cnt += kUS;
        cnt += twoDigits(e.idc);
    }
    return cnt;
}

TransactionWriter::TransactionWriter()
{
    type1Fields_ = {
        {2, "0300"}, {4, "CAR"}, {5, "20240101"}, {7, "WVMEDS001"},
        {8, "WVATF0800"}, {9, "1234567890"}, {11, "19.69"}, {12, "19.69"},
    };
}

void TransactionWriter::setType1Field(int number, std::string value)
{
    removeType1Field(number);
    type1Fields_.push_back({number, std::move(value)});
    std::stable_sort(type1Fields_.begin(), type1Fields_.end(),
                     [](const TaggedField& a, const TaggedField& b) { return a.number < b.number; });
}

void TransactionWriter::removeType1Field(int number)
{
    std::erase_if(type1Fields_, [number](const TaggedField& f) { return f.number == number; });
}

void TransactionWriter::addType2Record(std::vector<TaggedField> userFields)
{
    const int idc = static_cast<int>(entries_.size()) + 1;
    std::vector<TaggedField> fields{{2, twoDigits(idc)}};
    fields.insert(fields.end(), userFields.begin(), userFields.end());
    entries_.push_back({2, idc});
    records_.push_back(makeTaggedRecord(2, fields));
}

void TransactionWriter::addType4Record(Type4Image image)
{
    entries_.push_back({4, image.idc});
    records_.push_back(makeType4Record(image));
}

void TransactionWriter::addTaggedRecord(int recordType, int idc, std::vector<TaggedField> fields)
{
    std::vector<TaggedField> all{{2, twoDigits(idc)}};
    all.insert(all.end(), fields.begin(), fields.end());
    addRecordBytes(recordType, idc, makeTaggedRecord(recordType, all));
}

void TransactionWriter::addTaggedRecord(int recordType, int idc, std::vector<TaggedField> fields,
                                        const std::vector<std::uint8_t>& imageData)
{
    std::vector<TaggedField> all{{2, twoDigits(idc)}};
    all.insert(all.end(), fields.begin(), fields.end());
    addRecordBytes(recordType, idc, makeTaggedRecord(recordType, all, imageData));
}

void TransactionWriter::addRecordBytes(int recordType, int idc, std::string bytes)
{
    entries_.push_back({recordType, idc});
    records_.push_back(std::move(bytes));
}

std::vector<std::uint8_t> TransactionWriter::build() const
{
    std::vector<TaggedField> fields;
    for (const TaggedField& f : type1Fields_) {
        if (f.number == 3)
            continue;
        if (f.number > 3 && (fields.empty() || fields.back().number < 3))
            fields.push_back({3, makeCntValue(entries_)});
        fields.push_back(f);
    }
    if (fields.empty() || fields.back().number < 3)
        fields.push_back({3, makeCntValue(entries_)});
    std::string bytes = makeTaggedRecord(1, fields);
    for (const std::string& r : records_)
        bytes += r;
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

bool TransactionWriter::writeFile(const std::filesystem::path& path) const
{
    const std::vector<std::uint8_t> bytes = build();
    return platform::writeWholeFile(path, bytes.data(), bytes.size());
}

}  // namespace nist
