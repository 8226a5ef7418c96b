#pragma once
// The image viewer's cursors and button glyphs, drawn by the program at start-up
// in place of bitmap resources.
#include <QCursor>
#include <QIcon>

namespace viewer {

// Cursor numbers registered for the whole application.
inline constexpr int kCursorHandGrabber = 1;      // "HAND_GRABBER": open hand, at rest
inline constexpr int kCursorHandGrabberFist = 2;  // "HAND_GRABBER_FIST": closed hand, while pressed
inline constexpr int kCursorZoomIn = 3;           // "ZOOM_IN": a point zoom in is armed
inline constexpr int kCursorZoomOut = 4;          // "ZOOM_OUT": a point zoom out is armed

// Draws the four cursors and registers them under their numbers (idempotent).
void registerViewerCursors();
// A registered cursor; the arrow for an unknown number.
QCursor viewerCursor(int number);

// Glyphs by resource name: "MORE_SETTINGS_ARROW_UP", "MORE_SETTINGS_ARROW_DOWN",
// "ZOOM_IN_GLYPH", "ZOOM_OUT_GLYPH", "FIT_VIEW_GLYPH", "ORIGINAL_SIZE_GLYPH".
QIcon viewerGlyph(const char* name);

}  // namespace viewer
