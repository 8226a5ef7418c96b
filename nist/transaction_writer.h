#pragma once
// Builds transaction files: tagged records of any type with their LEN fields
// computed (an image field T.999 last, its bytes as given), binary records of
// the Type-4 layout (types 3 to 6), Type-7 and Type-8 records, and the Type-1
// CNT field listing the records in the order they were added.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace nist {

// One tagged field: the value is written as given (RS and US bytes included).
struct TaggedField {
    int number = 0;
    std::string value;
};

// One Type-4 record's header values and image bytes.
struct Type4Image {
    std::uint8_t idc = 0;
    std::uint8_t imp = 0;
    std::array<std::uint8_t, 6> fgp{0, 255, 255, 255, 255, 255};
    std::uint8_t isr = 0;
    std::uint16_t hll = 0;
    std::uint16_t vll = 0;
    std::uint8_t gca = 1;
    std::vector<std::uint8_t> data;
};

// A tagged record of the given type: field 1 (LEN, the record's own length in
// bytes) first, then the given fields, "T.NNN:value" each, GS between, FS at
// the end. A given field 1 is ignored.
std::string makeTaggedRecord(int recordType, const std::vector<TaggedField>& fields);
// The same with the image field T.999 holding imageData, written last.
std::string makeTaggedRecord(int recordType, const std::vector<TaggedField>& fields,
                             const std::vector<std::uint8_t>& imageData);
// A binary Type-4 record: the 18-byte header with LEN = 18 + image bytes.
std::string makeType4Record(const Type4Image& image);
// The same layout for record types 3, 5 and 6 (GCA or BCA in image.gca).
std::string makeBinaryImageRecord(const Type4Image& image);
// Type-7: LEN, IDC, then the bytes. Type-8: LEN, IDC, SIG, SRT, ISR, HLL,
// VLL, then the bytes.
std::string makeType7Record(std::uint8_t idc, const std::vector<std::uint8_t>& data);
std::string makeType8Record(std::uint8_t idc, std::uint8_t sig, std::uint8_t srt, std::uint16_t hll,
                            std::uint16_t vll, const std::vector<std::uint8_t>& data);

struct CntEntry {
    int recordType = 0;
    int idc = 0;
};
// The CNT value: "1" US count RS, then type US IDC per entry (IDC with two
// digits), RS between entries.
std::string makeCntValue(const std::vector<CntEntry>& entries);

class TransactionWriter {
public:
    // Starts with the required Type-1 fields VER, TOT, DAT, DAI, ORI, TCN,
    // NSR and NTR filled with plausible values.
    TransactionWriter();

    // Sets or replaces Type-1 field 2 or 4 to 15 (LEN and CNT are computed).
    void setType1Field(int number, std::string value);
    void removeType1Field(int number);
    // Each added record gets the next IDC, starting at 1.
    void addType2Record(std::vector<TaggedField> userFields);
    // The image's idc is written as given.
    void addType4Record(Type4Image image);
    // A tagged record of any type but 1: field 2 (IDC, two digits) first, then
    // the given fields as given, then the image field when there is one.
    void addTaggedRecord(int recordType, int idc, std::vector<TaggedField> fields);
    void addTaggedRecord(int recordType, int idc, std::vector<TaggedField> fields,
                         const std::vector<std::uint8_t>& imageData);
    // Record bytes made by one of the functions above, listed in CNT with
    // the given type and IDC.
    void addRecordBytes(int recordType, int idc, std::string bytes);

    std::vector<std::uint8_t> build() const;
    bool writeFile(const std::filesystem::path& path) const;

private:
    std::vector<TaggedField> type1Fields_;
    std::vector<CntEntry> entries_;
    std::vector<std::string> records_;
};

}  // namespace nist
