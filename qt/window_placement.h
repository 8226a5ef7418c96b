#pragma once
// Every window places itself in the middle of its screen when it is shown.
class QWidget;

// left = (screen width - window width) / 2, top likewise, with the window's
// frame counted in its size.
void centerOnScreen(QWidget& window);
