#include "cli/text_encoding.h"

#include <cstdio>

namespace cli {

namespace {
// U+2400 + byte for 0x00..0x1F, U+2421 for DEL; all three bytes in UTF-8.
void appendControlPicture(std::string& out, unsigned char c)
{
    const unsigned codePoint = c == 0x7F ? 0x2421u : 0x2400u + c;
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
}

void appendLatin1(std::string& out, unsigned char c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
}  // namespace

std::string jsonString(std::string_view bytes)
{
    std::string out = "\"";
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            appendLatin1(out, c);
        }
    }
    out += '"';
    return out;
}

std::string displayText(std::string_view bytes)
{
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F)
            appendControlPicture(out, c);
        else
            appendLatin1(out, c);
    }
    return out;
}

}  // namespace cli
