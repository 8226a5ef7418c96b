#pragma once
// How nisttool prints transaction values: every byte is one character
// U+0000-U+00FF, written as UTF-8.
#include <string>
#include <string_view>

namespace cli {

// A JSON string literal, quotes included; quote, backslash and control
// characters escaped.
std::string jsonString(std::string_view bytes);
// Text for a terminal: control bytes shown as their Unicode control
// pictures (US as U+241F "␟", RS as U+241E "␞", DEL as U+2421), as the
// desktop program's tables show them, everything else as its character.
// Every byte stays one character, and no byte gives a control picture, so
// the text reads back unambiguously.
std::string displayText(std::string_view bytes);

}  // namespace cli
