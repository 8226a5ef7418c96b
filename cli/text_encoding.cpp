#include "cli/text_encoding.h"

#include <cstdio>

namespace cli {

namespace {
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
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            appendLatin1(out, c);
        }
    }
    return out;
}

}  // namespace cli
