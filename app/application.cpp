#include "app/application.h"

#include "qt/command_guard.h"
#include "platform/prompter.h"

#include <stdexcept>

namespace app {

NistViewerApplication::NistViewerApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The window captions stay exactly as they are: the title is not appended to them.
    setApplicationName(QString::fromLatin1(platform::kApplicationTitle));
}

bool NistViewerApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showApplicationError(error);
    } catch (...) {
        showApplicationError(std::runtime_error("Unknown error"));
    }
    return false;
}

ApplicationWindows createApplicationWindows(const std::string& commandLineFile)
{
    ApplicationWindows windows;
    windows.mainNistForm = std::make_unique<TMainNISTForm>();
    windows.mainWsqForm = std::make_unique<viewer::TMainWSQForm>();
    windows.mainNistForm->setImageViewer(windows.mainWsqForm.get());
    windows.mainWsqForm->setApplicationMainWindow(windows.mainNistForm.get());
    windows.aboutForm = std::make_unique<about::TAboutForm>();
    windows.mainWsqForm->setAboutBox(windows.aboutForm.get());
    windows.fileFormatConverterForm = std::make_unique<TFileFormatConverterForm>(*windows.mainWsqForm);
    windows.mainWsqForm->setConverterWindow(windows.fileFormatConverterForm.get());
    windows.batchExtractorForm = std::make_unique<batch::TNISTbatchExtractorForm>(windows.mainNistForm->reader());
    windows.nistAboutForm = std::make_unique<about::TNISTAboutForm>();
    windows.mainNistForm->setToolWindows(windows.batchExtractorForm.get(), windows.nistAboutForm.get());
    if (!commandLineFile.empty() && !looksLikeNistFile(commandLineFile))
        runCommand([&] { windows.mainWsqForm->openPictureFile(commandLineFile); });
    return windows;
}

void showApplicationWindows(ApplicationWindows& windows, const std::string& commandLineFile)
{
    windows.mainNistForm->show();
    if (commandLineFile.empty())
        return;
    if (looksLikeNistFile(commandLineFile)) {
        windows.mainNistForm->FileOpen1Accept(commandLineFile);
        return;
    }
    // A picture named on the command line is shown, not just loaded.
    if (!windows.mainWsqForm->SourceBitmap().empty()) {
        windows.mainWsqForm->show();
        windows.mainWsqForm->raise();
    }
}

}  // namespace app
