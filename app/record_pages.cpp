#include "app/record_pages.h"

#include <map>
#include <optional>

#include "nist/field_names.h"
#include "nist/record_image.h"
#include "platform/conversion.h"

namespace app {

namespace {

bool hasOwnView(int recordType)
{
    return recordType != 1 && recordType != 2 && recordType != 4;
}

// The first item of a field value: a Type-13/14 FGP may list several
// positions, separated by RS (or US).
std::string firstItem(const std::string& value)
{
    return value.substr(0, value.find_first_of(std::string{nist::kRS, nist::kUS}));
}

std::optional<int> fieldNumberValue(const nist::NistRecord& record, int number)
{
    const std::string* value = record.field(number);
    if (!value)
        return std::nullopt;
    return platform::tryStrToInt(firstItem(*value));
}

// The impression types of the Type-4 table, then those the later editions
// add for Type-13 and Type-14 prints.
std::string printImpressionName(int code)
{
    std::string name = nist::impressionTypeName(std::to_string(code));
    if (!name.empty())
        return name;
    static const std::map<int, const char*> later = {
        {8, "Live-scan vertical swipe"},
        {20, "Live-scan optical contact plain"},
        {21, "Live-scan optical contact rolled"},
        {22, "Live-scan non-optical contact plain"},
        {23, "Live-scan non-optical contact rolled"},
        {24, "Live-scan optical contactless plain"},
        {25, "Live-scan optical contactless rolled"},
        {26, "Live-scan non-optical contactless plain"},
        {27, "Live-scan non-optical contactless rolled"},
        {28, "Other"},
        {29, "Unknown"},
    };
    const auto it = later.find(code);
    return it == later.end() ? "Impression type " + std::to_string(code) : it->second;
}

std::string fieldText(const nist::NistRecord& record, int number)
{
    const std::string* value = record.field(number);
    return value ? *value : std::string();
}

double printAspect(const nist::NistRecord& record)
{
    const nist::RecordImage& image = record.image;
    if (image.declaredWidth > 0 && image.declaredHeight > 0)
        return static_cast<double>(image.declaredWidth) / image.declaredHeight;
    if (image.width > 0 && image.height > 0)
        return static_cast<double>(image.width) / image.height;
    return 1.0;
}

}  // namespace

std::vector<RecordRow> recordRows(const nist::NistRecord& record)
{
    std::vector<RecordRow> rows;
    rows.reserve(record.fields.size());
    for (const nist::RecordField& f : record.fields) {
        const nist::FieldName name = nist::fieldName(record.type, f.number);
        rows.push_back({name.code.empty() ? f.tag : name.code, f.value, name.description});
    }
    return rows;
}

std::string imageNote(const nist::NistRecord& record)
{
    if (!record.hasImage || !record.image.bitmap.empty())
        return {};
    if (!record.image.decodeError.empty())
        return "The image cannot be shown: " + record.image.decodeError;
    if (!record.image.decoded)
        return "The image was not decoded.";
    return "The image cannot be shown.";
}

bool holdsWsqImage(const nist::NistRecord& record)
{
    return record.hasImage && !record.image.data.empty() && nist::codingOf(record) == nist::ImageCoding::Wsq;
}

std::vector<RecordPage> recordPages(const std::vector<nist::NistRecord>& records)
{
    std::map<int, RecordPage> byType;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const nist::NistRecord& record = records[i];
        if (!hasOwnView(record.type))
            continue;
        RecordPage& page = byType[record.type];
        if (page.records.empty()) {
            page.recordType = record.type;
            page.caption = nist::recordTypeCaption(record.type);
        }
        RecordEntry entry;
        entry.recordIndex = i;
        entry.heading = "Record " + record.label();
        entry.rows = recordRows(record);
        entry.hasImage = record.hasImage;
        entry.imageNote = imageNote(record);
        page.records.push_back(std::move(entry));
    }
    std::vector<RecordPage> pages;
    for (auto& [type, page] : byType)
        pages.push_back(std::move(page));
    return pages;
}

std::array<bool, 15> positionsHeldByType4(const std::vector<nist::T_T4>& type4Records,
                                          const std::vector<platform::Bitmap>& bitmaps)
{
    std::array<bool, 15> held{};
    for (std::size_t i = 0; i < type4Records.size() && i < bitmaps.size(); ++i) {
        const auto fgp = platform::tryStrToInt(type4Records[i].FGP);
        if (fgp && *fgp >= 1 && *fgp <= 14 && !bitmaps[i].empty())
            held[static_cast<std::size_t>(*fgp)] = true;
    }
    return held;
}

std::vector<MapPrint> mapPrints(const std::vector<nist::NistRecord>& records, const std::array<bool, 15>& heldByType4)
{
    // Type-13 field 13 (friction ridge position) and Type-14 field 13
    // (finger position) share the codes 1 to 14 of the Type-4 header.
    constexpr int kPositionField = 13;
    constexpr int kImpressionField = 3;
    std::array<std::optional<MapPrint>, 15> slots;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const nist::NistRecord& record = records[i];
        if ((record.type != 13 && record.type != 14) || record.image.bitmap.empty())
            continue;
        const auto position = fieldNumberValue(record, kPositionField);
        if (!position || *position < 1 || *position > 14 || heldByType4[static_cast<std::size_t>(*position)])
            continue;
        MapPrint print;
        print.position = *position;
        print.recordIndex = i;
        const auto impression = fieldNumberValue(record, kImpressionField);
        print.label = nist::fingerPositionName(std::to_string(*position)) + "\n" +
                      (impression ? printImpressionName(*impression) : std::string("Impression type unknown")) +
                      "\n" + fieldText(record, 6) + "x" + fieldText(record, 7);
        print.aspect = printAspect(record);
        slots[static_cast<std::size_t>(*position)] = std::move(print);
    }
    std::vector<MapPrint> prints;
    for (auto& slot : slots)
        if (slot)
            prints.push_back(std::move(*slot));
    return prints;
}

int nextVisibleTab(const std::vector<bool>& visible, int current, int step)
{
    const int count = static_cast<int>(visible.size());
    if (count == 0)
        return current;
    for (int k = 1; k < count; ++k) {
        const int candidate = ((current + step * k) % count + count) % count;
        if (visible[static_cast<std::size_t>(candidate)])
            return candidate;
    }
    return current;
}

}  // namespace app
