#include "viewer/properties_fields.h"

#include "viewer/zoom_model.h"

namespace viewer {

bool acceptDigitsKey(std::string_view currentText, char ch, bool backspace)
{
    if (currentText.size() > 16)
        return false;
    return backspace || (ch >= '0' && ch <= '9');
}

bool acceptBitrateKey(std::string_view currentText, char ch, bool backspace)
{
    if (currentText.size() > 61)
        return false;
    if (backspace || (ch >= '0' && ch <= '9'))
        return true;
    if (ch == '.' || ch == ',')
        return currentText.find_first_of(".,") == std::string_view::npos;
    return false;
}

double parseBitrate(std::string_view text)
{
    return parseZoomScale(text);
}

std::string formatBitrate(double bitrate)
{
    return formatZoomScale(bitrate);
}

std::uint16_t predictorFromText(std::string_view text)
{
    std::uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        value = (value * 10 + static_cast<std::uint32_t>(c - '0')) & 0xFFFFu;
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace viewer
