#pragma once
// The field rules of the WSQ and TIFF properties dialogs, without the dialogs:
// which typed characters each edit takes, and how its text is read.
#include <cstdint>
#include <string>
#include <string_view>

namespace viewer {

// Pixels per inch and the TIFF predictor: digits and backspace, nothing once
// the text is longer than 16 characters.
bool acceptDigitsKey(std::string_view currentText, char ch, bool backspace);
// The bit rate: digits, backspace and one decimal mark ('.' or ','), nothing
// once the text is longer than 61 characters.
bool acceptBitrateKey(std::string_view currentText, char ch, bool backspace);

// The bit rate as a number; a text that is not one throws the zoom scale's
// ScaleFormatError ("'<text>' is not a valid floating point value").
double parseBitrate(std::string_view text);
std::string formatBitrate(double bitrate);

// The value of the text's leading digits, 0 when it starts with none, kept in
// 16 bits.
std::uint16_t predictorFromText(std::string_view text);

}  // namespace viewer
