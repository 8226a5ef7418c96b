#pragma once
// The values of the three record types the reader understands, and the small
// lookups that turn Type-4 header codes into names.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nist {

// Separator bytes of the transaction format.
inline constexpr char kFS = '\x1C';  // ends a tagged record
inline constexpr char kGS = '\x1D';  // ends a field inside a tagged record
inline constexpr char kRS = '\x1E';  // between subfields (split only in CNT)
inline constexpr char kUS = '\x1F';  // between items (split only in CNT)

// Type-1 (transaction information) values; texts hold the file's bytes unchanged.
struct T_T1 {
    std::int32_t LEN = 0;
    std::string VER, CNT, TOT, DAT, PRY, DAI, ORI, TCN, TCR, NSR, NTR, DOM, GMT, DCS;

    // Field 2 to 15 by field number; nullptr for any other number.
    std::string* text(int fieldNumber);
    const std::string* text(int fieldNumber) const;
};

// Type-2 (descriptive text) values; the user-defined fields live only in the table.
struct T_T2 {
    std::int32_t LEN = 0;
    std::int32_t IDC = 0;
};

// One Type-4 (high-resolution grayscale fingerprint) record. The header values
// are kept as decimal texts because they are shown and exported as text.
struct T_T4 {
    std::string LEN, IDC, IMP, FGP, ISR, HLL, VLL, GCA;
    std::vector<std::uint8_t> imageData;  // the compressed image, byte for byte
    std::int32_t imageSize = 0;           // bytes in imageData
};

// Size of the binary Type-4 header that precedes the image bytes.
inline constexpr int kType4HeaderSize = 18;

// Decimal text of a hexadecimal text (either case), exact for any length.
// Throws platform::ConversionError for a character that is not a hex digit.
std::string hexToDecimal(std::string_view hex);

// Names shown on the finger map; empty text for codes without a name. The
// lookup compares texts, so only the plain decimal form matches ("2", not "02").
std::string fingerPositionName(std::string_view fgp);
std::string impressionTypeName(std::string_view imp);

// Width over height of the print for display, 1.0 when the height is 0 (or
// either text is not a number).
double displayAspect(const T_T4& record);

}  // namespace nist
