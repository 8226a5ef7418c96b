#include "platform/conversion.h"

namespace platform {

ConversionError::ConversionError(std::string_view text)
    : std::runtime_error("'" + std::string(text) + "' is not a valid integer value"), text_(text)
{
}

std::optional<std::int32_t> tryStrToInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    std::int64_t value = 0;
    const std::int64_t limit = negative ? std::int64_t{2147483648} : std::int64_t{2147483647};
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::int32_t strToInt(std::string_view text)
{
    if (auto v = tryStrToInt(text))
        return *v;
    throw ConversionError(text);
}

}  // namespace platform
