#include "nist/records.h"

#include <array>

#include "platform/conversion.h"

namespace nist {

std::string* T_T1::text(int fieldNumber)
{
    std::array<std::string*, 14> fields{&VER, &CNT, &TOT, &DAT, &PRY, &DAI, &ORI,
                                        &TCN, &TCR, &NSR, &NTR, &DOM, &GMT, &DCS};
    if (fieldNumber < 2 || fieldNumber > 15)
        return nullptr;
    return fields[static_cast<std::size_t>(fieldNumber - 2)];
}

const std::string* T_T1::text(int fieldNumber) const
{
    return const_cast<T_T1*>(this)->text(fieldNumber);
}

std::string hexToDecimal(std::string_view hex)
{
    // Decimal digits, least significant first; each hex digit multiplies the
    // number by 16 and adds its value, so long texts never overflow.
    std::vector<int> digits{0};
    for (char c : hex) {
        int value;
        if (c >= '0' && c <= '9')
            value = c - '0';
        else if (c >= 'a' && c <= 'f')
            value = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            value = c - 'A' + 10;
        else
            throw platform::ConversionError(hex);
        int carry = value;
        for (int& d : digits) {
            const int v = d * 16 + carry;
            d = v % 10;
            carry = v / 10;
        }
        while (carry != 0) {
            digits.push_back(carry % 10);
            carry /= 10;
        }
    }
    while (digits.size() > 1 && digits.back() == 0)
        digits.pop_back();
    std::string text;
    text.reserve(digits.size());
    for (auto it = digits.rbegin(); it != digits.rend(); ++it)
        text.push_back(static_cast<char>('0' + *it));
    return text;
}

std::string fingerPositionName(std::string_view fgp)
{
    static const char* const names[] = {
        "Unknown",
        "Right thumb", "Right index finger", "Right middle finger", "Right ring finger", "Right little finger",
        "Left thumb", "Left index finger", "Left middle finger", "Left ring finger", "Left little finger",
        "Plain right thumb", "Plain left thumb", "Plain right four fingers", "Plain left four fingers",
    };
    for (int i = 0; i < 15; ++i)
        if (fgp == std::to_string(i))
            return names[i];
    return {};
}

std::string impressionTypeName(std::string_view imp)
{
    static const char* const names[] = {
        "Live-scan plain", "Live-scan rolled", "Nonlive-scan plain", "Nonlive-scan rolled",
        "Latent impression", "Latent tracing", "Latent photo", "Latent lift",
    };
    for (int i = 0; i < 8; ++i)
        if (imp == std::to_string(i))
            return names[i];
    return {};
}

double displayAspect(const T_T4& record)
{
    const auto hll = platform::tryStrToInt(record.HLL);
    const auto vll = platform::tryStrToInt(record.VLL);
    if (!hll || !vll || *vll == 0)
        return 1.0;
    return static_cast<double>(*hll) / static_cast<double>(*vll);
}

}  // namespace nist
