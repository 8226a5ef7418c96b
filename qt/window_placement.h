#pragma once
// Every window places itself in the middle of its screen when it is shown,
// at the size it had when it was last closed.
#include <string>

class QWidget;

// left = (screen width - window width) / 2, top likewise, with the window's
// frame counted in its size.
void centerOnScreen(QWidget& window);

// The size (and whether maximised) of a window, kept in the settings file as
// window_size=WIDTHxHEIGHT and window_maximized in the window's section.
// Restoring keeps the design size when nothing usable is stored and never
// makes the window larger than its screen.
void restoreWindowSize(QWidget& window, const std::string& section);
void saveWindowSize(const QWidget& window, const std::string& section);
