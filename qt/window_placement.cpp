#include "qt/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <optional>

#include "platform/conversion.h"
#include "platform/ini_file.h"

namespace {

constexpr const char* kSizeKey = "window_size";
constexpr const char* kMaximizedKey = "window_maximized";
constexpr int kSmallestSide = 100;

const QScreen* screenOf(const QWidget& window)
{
    return window.screen() ? window.screen() : QGuiApplication::primaryScreen();
}

// "WIDTHxHEIGHT" with two positive decimal numbers.
std::optional<QSize> parseSize(const std::string& text)
{
    const std::size_t x = text.find('x');
    if (x == std::string::npos)
        return std::nullopt;
    const auto width = platform::tryStrToInt(text.substr(0, x));
    const auto height = platform::tryStrToInt(text.substr(x + 1));
    if (!width || !height || *width < kSmallestSide || *height < kSmallestSide)
        return std::nullopt;
    return QSize(*width, *height);
}

}  // namespace

void centerOnScreen(QWidget& window)
{
    const QScreen* screen = screenOf(window);
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize outer = window.frameGeometry().size();
    window.move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
}

void restoreWindowSize(QWidget& window, const std::string& section)
{
    const platform::IniFile settings(platform::IniFile::defaultPath());
    if (const auto size = parseSize(settings.readString(section, kSizeKey, ""))) {
        QSize bounded = *size;
        if (const QScreen* screen = screenOf(window))
            bounded = bounded.boundedTo(screen->availableGeometry().size());
        window.resize(bounded);
    }
    if (settings.readBool(section, kMaximizedKey, false))
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void saveWindowSize(const QWidget& window, const std::string& section)
{
    const bool maximized = window.isMaximized();
    // A maximised window comes back maximised, over the size it had before.
    const QSize size = maximized ? window.normalGeometry().size() : window.size();
    platform::IniFile settings(platform::IniFile::defaultPath());
    std::vector<std::pair<std::string, std::string>> values{{kMaximizedKey, maximized ? "1" : "0"}};
    if (size.width() >= kSmallestSide && size.height() >= kSmallestSide)
        values.emplace_back(kSizeKey, std::to_string(size.width()) + "x" + std::to_string(size.height()));
    settings.writeStrings(section, values);
}
