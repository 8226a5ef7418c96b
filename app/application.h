#pragma once
// Start-up of the desktop program: the application object with its top-level
// error box, the windows in their order, and the file named on the command line.
#include <QApplication>
#include <memory>
#include <string>

#include "about/about_form.h"
#include "about/nist_about_form.h"
#include "app/main_nist_form.h"
#include "batch/gui/nist_batch_extractor_form.h"
#include "batch/gui/file_format_converter_form.h"
#include "viewer/main_wsq_form.h"

namespace app {

// The application; an exception that escapes an event handler ends that
// command only and is shown in the application's error box.
class NistViewerApplication : public QApplication {
public:
    NistViewerApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The windows of the program, created once, in this order; the first is the main window.
struct ApplicationWindows {
    std::unique_ptr<TMainNISTForm> mainNistForm;
    std::unique_ptr<viewer::TMainWSQForm> mainWsqForm;
    std::unique_ptr<about::TAboutForm> aboutForm;
    std::unique_ptr<TFileFormatConverterForm> fileFormatConverterForm;
    std::unique_ptr<batch::TNISTbatchExtractorForm> batchExtractorForm;
    std::unique_ptr<about::TNISTAboutForm> nistAboutForm;
};

// Creates the windows (hidden). A picture file named on the command line is
// opened into the image viewer while it is created.
ApplicationWindows createApplicationWindows(const std::string& commandLineFile);

// Shows the main window, and opens a transaction named on the command line in
// it; an image viewer that received a picture from the command line is shown too.
void showApplicationWindows(ApplicationWindows& windows, const std::string& commandLineFile);

}  // namespace app
