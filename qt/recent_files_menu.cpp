#include "qt/recent_files_menu.h"

#include <QAction>
#include <QFontMetrics>
#include <filesystem>
#include <system_error>

#include "platform/recent_files.h"
#include "qt/command_guard.h"
#include "qt/qt_text.h"

namespace app {

namespace {

constexpr int kEntryTextWidth = 420;

platform::RecentFiles recentFiles(const std::string& section)
{
    return platform::RecentFiles(platform::IniFile(platform::IniFile::defaultPath()), section);
}

}  // namespace

RecentFilesMenu::RecentFilesMenu(std::string section, QWidget* parent)
    : QMenu(QStringLiteral("Open &Recent"), parent), section_(std::move(section))
{
    setToolTipsVisible(true);
    // The entries are made as the menu opens, never while one of them is
    // being chosen.
    connect(this, &QMenu::aboutToShow, this, [this] { rebuild(); });
    refresh();
}

std::vector<std::string> RecentFilesMenu::entries() const
{
    return recentFiles(section_).entries();
}

std::string RecentFilesMenu::newestFolder() const
{
    const std::vector<std::string> names = entries();
    return names.empty() ? std::string() : std::filesystem::path(names.front()).parent_path().string();
}

void RecentFilesMenu::add(const std::string& fileName)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(fileName, ec);
    // A settings file that cannot be written costs the list, nothing else.
    recentFiles(section_).add(ec ? fileName : absolute.lexically_normal().string());
    refresh();
}

void RecentFilesMenu::remove(const std::string& fileName)
{
    recentFiles(section_).remove(fileName);
    refresh();
}

void RecentFilesMenu::rebuild()
{
    clear();
    const std::vector<std::string> names = entries();
    const QFontMetrics metrics(font());
    int number = 0;
    for (const std::string& name : names) {
        const QString path = fromSystemText(name);
        QString shown = metrics.elidedText(path, Qt::ElideMiddle, kEntryTextWidth);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* entry = addAction(QStringLiteral("&%1 %2").arg(++number).arg(shown));
        entry->setToolTip(path);
        entry->setData(path);
        connect(entry, &QAction::triggered, this, [this, name] { choose(name); });
    }
    addSeparator();
    clearAction_ = addAction(QStringLiteral("&Clear list"));
    connect(clearAction_, &QAction::triggered, this, [this] {
        recentFiles(section_).clear();
        refresh();
    });
    menuAction()->setEnabled(!names.empty());
}

void RecentFilesMenu::refresh()
{
    menuAction()->setEnabled(!entries().empty());
}

void RecentFilesMenu::choose(const std::string& fileName)
{
    // A file that has gone leaves the list; opening it still reports why it
    // cannot be read, as the window reports any failed open.
    std::error_code ec;
    if (!std::filesystem::exists(fileName, ec))
        remove(fileName);
    if (onOpen)
        runCommand([&] { onOpen(fileName); });
}

}  // namespace app
