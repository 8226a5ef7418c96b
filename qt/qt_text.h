#pragma once
// Texts between the engine (8-bit strings) and Qt (Unicode).
#include <QString>
#include <string>
#include <string_view>

namespace app {

// Program texts, messages and file names: UTF-8 when the bytes are valid
// UTF-8, otherwise one character per byte (Latin-1).
QString fromSystemText(std::string_view text);
// A file name for the engine, in the file system's encoding.
std::string toSystemPath(const QString& path);

// Bytes of a NIST value for display: one character per byte (Latin-1), with the
// control bytes shown as their Unicode control pictures (RS as U+241E, US as
// U+241F, ...) so the separators inside a value stay visible.
QString fromFieldBytes(std::string_view bytes);
// The inverse of fromFieldBytes; characters outside one byte become '?'.
std::string toFieldBytes(const QString& text);

}  // namespace app
