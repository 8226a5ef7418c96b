#pragma once
// Text to integer conversion with the program's error convention: a text that
// is not a whole number raises ConversionError("'<text>' is not a valid integer
// value"), which the front end's command dispatcher shows and survives.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(std::string_view text);
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// Leading blanks, an optional sign and decimal digits, within the 32-bit
// signed range; nothing may follow the digits.
std::optional<std::int32_t> tryStrToInt(std::string_view text);
// As tryStrToInt, but throws ConversionError.
std::int32_t strToInt(std::string_view text);

}  // namespace platform
