// nistviewer: the desktop program of the NIST file viewer.
#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>

#include "app/application.h"
#include "app/command_line.h"
#include "qt/command_guard.h"
#include "qt/qt_prompter.h"
#include "qt/qt_text.h"
#include "platform/event_pump.h"
#include "platform/prompter.h"

int main(int argc, char** argv)
{
    // Answered before Qt starts, so they need no display.
    if (const auto text = app::informationRequest(argc, argv)) {
        std::fputs(text->c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    app::NistViewerApplication application(argc, argv);
    app::QtPrompter prompter;
    platform::ScopedPrompter prompterScope(prompter);
    // Batch loops let the windows repaint and their Stop buttons work between files.
    platform::setEventPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });

    const QStringList arguments = QCoreApplication::arguments();
    const std::string commandLineFile = arguments.size() > 1 ? app::toSystemPath(arguments.at(1)) : std::string();

    // An error during start-up is shown like any other; without a main window
    // there is nothing to run.
    app::ApplicationWindows windows;
    app::runCommand([&] { windows = app::createApplicationWindows(commandLineFile); });
    if (!windows.mainNistForm)
        return 1;
    app::runCommand([&] { app::showApplicationWindows(windows, commandLineFile); });
    if (!windows.mainNistForm->isVisible())
        windows.mainNistForm->show();
    const int result = QCoreApplication::exec();
    platform::setEventPump(nullptr);
    return result;
}
