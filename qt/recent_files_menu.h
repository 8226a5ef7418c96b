#pragma once
// The File menu's "Open Recent" submenu of a window: the last eight files it
// opened, kept in the settings file under the window's section, and an item
// that empties the list.
#include <QMenu>
#include <functional>
#include <string>

namespace app {

class RecentFilesMenu : public QMenu {
public:
    RecentFilesMenu(std::string section, QWidget* parent = nullptr);

    // Called with the full name of the entry chosen.
    std::function<void(const std::string& fileName)> onOpen;

    // A file the window has just opened: to the front of the list (as an
    // absolute name).
    void add(const std::string& fileName);
    void remove(const std::string& fileName);
    // Refills the menu from the settings file, as it does each time it opens.
    void rebuild();
    // Enables the menu exactly when the settings file lists a file; the
    // window runs it whenever its File menu opens, so that files another
    // window or another copy of the program added show up.
    void refresh();
    // The listed names, newest first.
    std::vector<std::string> entries() const;
    // The folder of the newest entry, empty without one.
    std::string newestFolder() const;

    QAction* clearAction() const { return clearAction_; }

private:
    void choose(const std::string& fileName);

    std::string section_;
    QAction* clearAction_ = nullptr;
};

}  // namespace app
