#include "nist/field_names.h"

#include <map>
#include <utility>

namespace nist {

namespace {

using Names = std::map<int, std::pair<const char*, const char*>>;

// Fields 6 to 12 of the variable-resolution image records.
void addImageFields(Names& names, const char* horizontalScale, const char* verticalScale, const char* twelfth,
                    const char* twelfthDescription)
{
    names[6] = {"HLL", "Horizontal line length"};
    names[7] = {"VLL", "Vertical line length"};
    names[8] = {"SLC", "Scale units"};
    names[9] = {horizontalScale, "Horizontal pixel scale"};
    names[10] = {verticalScale, "Vertical pixel scale"};
    names[11] = {"CGA", "Compression algorithm"};
    names[12] = {twelfth, twelfthDescription};
}

Names namesOf(int type)
{
    Names n;
    n[1] = {"LEN", "Logical record length"};
    n[2] = {"IDC", "Information designation character"};
    switch (type) {
    case 9:
        n[3] = {"IMP", "Impression type"};
        n[4] = {"FMT", "Minutiae format"};
        n[5] = {"OFR", "Originating fingerprint reading system"};
        n[6] = {"FGP", "Finger position"};
        n[7] = {"FPC", "Fingerprint pattern classification"};
        n[8] = {"CRP", "Core position"};
        n[9] = {"DLT", "Delta position"};
        n[10] = {"MIN", "Number of minutiae"};
        n[11] = {"RDG", "Minutiae ridge count indicator"};
        n[12] = {"MRC", "Minutiae and ridge count data"};
        break;
    case 10:
        n[3] = {"IMT", "Image type"};
        n[4] = {"SRC", "Source agency"};
        n[5] = {"PHD", "Photo capture date"};
        addImageFields(n, "HPS", "VPS", "CSP", "Color space");
        n[13] = {"SAP", "Subject acquisition profile"};
        n[16] = {"SHPS", "Scanned horizontal pixel scale"};
        n[17] = {"SVPS", "Scanned vertical pixel scale"};
        n[20] = {"POS", "Subject pose"};
        n[21] = {"POA", "Pose offset angle"};
        n[23] = {"PAS", "Photo acquisition source"};
        n[25] = {"SPA", "Subject pose angles"};
        n[26] = {"SXS", "Subject facial description"};
        n[27] = {"SEC", "Subject eye color"};
        n[28] = {"SHC", "Subject hair color"};
        break;
    case 13:
        n[3] = {"IMP", "Impression type"};
        n[4] = {"SRC", "Source agency"};
        n[5] = {"LCD", "Latent capture date"};
        addImageFields(n, "HPS", "VPS", "BPX", "Bits per pixel");
        n[13] = {"FGP", "Friction ridge generalized position"};
        n[14] = {"SPD", "Search position descriptors"};
        n[15] = {"PPC", "Print position coordinates"};
        n[16] = {"SHPS", "Scanned horizontal pixel scale"};
        n[17] = {"SVPS", "Scanned vertical pixel scale"};
        n[20] = {"COM", "Comment"};
        n[24] = {"LQM", "Latent quality metric"};
        break;
    case 14:
        n[3] = {"IMP", "Impression type"};
        n[4] = {"SRC", "Source agency"};
        n[5] = {"FCD", "Fingerprint capture date"};
        addImageFields(n, "HPS", "VPS", "BPX", "Bits per pixel");
        n[13] = {"FGP", "Finger position"};
        n[14] = {"PPD", "Print position descriptors"};
        n[15] = {"PPC", "Print position coordinates"};
        n[16] = {"SHPS", "Scanned horizontal pixel scale"};
        n[17] = {"SVPS", "Scanned vertical pixel scale"};
        n[18] = {"AMP", "Amputated or bandaged"};
        n[20] = {"COM", "Comment"};
        n[21] = {"SEG", "Fingerprint segmentation position"};
        n[22] = {"NQM", "NIST quality metric"};
        n[23] = {"SQM", "Segmentation quality metric"};
        n[24] = {"FQM", "Fingerprint quality metric"};
        n[25] = {"ASEG", "Alternate finger segment position"};
        n[30] = {"DMM", "Device monitoring mode"};
        n[31] = {"FAP", "Subject acquisition profile - fingerprint"};
        break;
    case 15:
        n[3] = {"IMP", "Impression type"};
        n[4] = {"SRC", "Source agency"};
        n[5] = {"PCD", "Palmprint capture date"};
        addImageFields(n, "HPS", "VPS", "BPX", "Bits per pixel");
        n[13] = {"PLP", "Palmprint position"};
        n[16] = {"SHPS", "Scanned horizontal pixel scale"};
        n[17] = {"SVPS", "Scanned vertical pixel scale"};
        n[20] = {"COM", "Comment"};
        n[24] = {"PQM", "Palmprint quality metric"};
        break;
    case 16:
        n[3] = {"UDI", "User-defined image type"};
        n[4] = {"SRC", "Source agency"};
        n[5] = {"UTD", "User-defined testing date"};
        addImageFields(n, "HPS", "VPS", "BPX", "Bits per pixel");
        n[13] = {"CSP", "Color space"};
        n[16] = {"SHPS", "Scanned horizontal pixel scale"};
        n[17] = {"SVPS", "Scanned vertical pixel scale"};
        n[20] = {"COM", "Comment"};
        break;
    case 17:
        n[3] = {"ELR", "Eye label"};
        n[4] = {"SRC", "Source agency"};
        n[5] = {"ICD", "Iris capture date"};
        addImageFields(n, "HPS", "VPS", "BPX", "Bits per pixel");
        n[13] = {"CSP", "Color space"};
        n[14] = {"RAE", "Rotation angle of eye"};
        n[15] = {"RAU", "Rotation uncertainty"};
        n[16] = {"IPC", "Image property code"};
        n[17] = {"DUI", "Device unique identifier"};
        n[21] = {"ECL", "Eye color"};
        n[22] = {"COM", "Comment"};
        break;
    case 98:
        n[3] = {"DFO", "Data format owner"};
        n[4] = {"SRC", "Source agency"};
        n[5] = {"DFT", "Data format type"};
        n[6] = {"DCD", "Date of creation"};
        break;
    case 99:
        n[4] = {"SRC", "Source agency"};
        n[5] = {"BCD", "Biometric capture date"};
        n[100] = {"HDV", "CBEFF header version"};
        n[101] = {"BTY", "Biometric type"};
        n[102] = {"BDQ", "Biometric data quality"};
        n[103] = {"BFO", "BDB format owner"};
        n[104] = {"BFT", "BDB format type"};
        break;
    default:
        break;
    }
    n[999] = type == 99 ? std::pair{"BDB", "Biometric data block"} : std::pair{"DATA", "Image data"};
    if (type == 9 || type == 98)
        n.erase(999);
    return n;
}

// The header values of the binary records, numbered as the reader lists them.
FieldName binaryFieldName(int recordType, int fieldNumber)
{
    if (recordType < 3 || recordType == 4 || recordType > 8)
        return {};
    switch (fieldNumber) {
    case 1: return {"LEN", "Logical record length"};
    case 2: return {"IDC", "Information designation character"};
    default: break;
    }
    if (recordType == 8) {
        switch (fieldNumber) {
        case 3: return {"SIG", "Signature type"};
        case 4: return {"SRT", "Signature representation type"};
        case 5: return {"ISR", "Image scanning resolution"};
        case 6: return {"HLL", "Horizontal line length"};
        case 7: return {"VLL", "Vertical line length"};
        default: return {};
        }
    }
    if (recordType == 7)
        return {};
    switch (fieldNumber) {
    case 3: return {"IMP", "Impression type"};
    case 4: return {"FGP", "Finger position"};
    case 5: return {"ISR", "Image scanning resolution"};
    case 6: return {"HLL", "Horizontal line length"};
    case 7: return {"VLL", "Vertical line length"};
    case 8:
        if (recordType == 3)
            return {"GCA", "Grayscale compression algorithm"};
        return {"BCA", "Binary compression algorithm"};
    default: return {};
    }
}

}  // namespace

FieldName fieldName(int recordType, int fieldNumber)
{
    if (recordType == 1) {
        switch (fieldNumber) {
        case 16: return {"APS", "Application profile specifications"};
        case 17: return {"ANM", "Agency names"};
        case 18: return {"GNS", "Geographic name set"};
        default: return {};
        }
    }
    if (recordType < 9)
        return binaryFieldName(recordType, fieldNumber);
    const Names names = namesOf(recordType);
    const auto it = names.find(fieldNumber);
    if (it == names.end())
        return {};
    return {it->second.first, it->second.second};
}

std::string recordTypeCaption(int recordType)
{
    switch (recordType) {
    case 1: return "1 Transaction Information";
    case 2: return "2 Descriptive Text (User-defined)";
    case 3: return "3 Fingerprint Image Data (Low-resolution grayscale)";
    case 4: return "4 Fingerprint Image Data (High-resolution grayscale)";
    case 5: return "5 Fingerprint Image Data (Low-resolution binary)";
    case 6: return "6 Fingerprint Image Data (High-resolution binary)";
    case 7: return "7 Image Data (User-defined)";
    case 8: return "8 Signature Image Data";
    case 9: return "9 Minutiae Data";
    case 10: return "10 Facial and SMT Image Data";
    case 11: return "11 Reserved for Future Use";
    case 12: return "12 Reserved for Future Use";
    case 13: return "13 Latent Image Data (Variable-resolution)";
    case 14: return "14 Tenprint fingerprint Impressions (Variable-resolution)";
    case 15: return "15 Palmprint Image Data (Variable-resolution)";
    case 16: return "16 User-defined Testing Image Data (Variable-resolution)";
    case 17: return "17 Iris Image Data";
    case 98: return "98 Information Assurance";
    case 99: return "99 CBEFF Biometric Data";
    default: return std::to_string(recordType) + " Type-" + std::to_string(recordType) + " record";
    }
}

}  // namespace nist
