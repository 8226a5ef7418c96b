#pragma once
// How nisttool prints transaction values: every byte is one character
// U+0000-U+00FF, written as UTF-8.
#include <string>
#include <string_view>

namespace cli {

// A JSON string literal, quotes included; quote, backslash and control
// characters escaped.
std::string jsonString(std::string_view bytes);
// Text for a terminal: control bytes shown as \xNN (RS as \x1E), backslash
// doubled, everything else as its character.
std::string displayText(std::string_view bytes);

}  // namespace cli
