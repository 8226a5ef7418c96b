// Renders the NIST viewer window with a transaction and the image viewer with
// one of its fingerprints into PNG files, using Qt's offscreen platform, so
// that the pictures in README.md can be remade without a display:
//   nistviewer_screenshots TRANSACTION.nist OUTPUT_DIR
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QPixmap>
#include <QSlider>
#include <cstdio>

#include "app/application.h"
#include "app/finger_map.h"
#include "qt/qt_text.h"
#include "viewer/main_wsq_form.h"

namespace {

bool save(QWidget& window, const QString& path)
{
    QApplication::processEvents();
    if (window.grab().save(path))
        return true;
    std::fprintf(stderr, "nistviewer_screenshots: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: nistviewer_screenshots TRANSACTION.nist OUTPUT_DIR\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    app::NistViewerApplication application(argc, argv);
    const std::string transaction = argv[1];
    const QString outputDir = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(outputDir);

    app::ApplicationWindows windows = app::createApplicationWindows(std::string());
    app::TMainNISTForm& nist = *windows.mainNistForm;
    nist.show();
    nist.FileOpen1Accept(transaction);
    if (nist.reader().fingerprintBitmaps().empty()) {
        std::fprintf(stderr, "nistviewer_screenshots: %s holds no decoded fingerprint\n", argv[1]);
        return 1;
    }
    bool ok = save(nist, outputDir + QStringLiteral("/nistviewer.png"));

    // The viewer as a click on the right index finger leaves it, with the zoom
    // panel open and the print fitted into the window.
    const int position = nist.fingerMapSlots()[2] > 0 ? 2 : 1;
    nist.ImageClick(position);
    viewer::TMainWSQForm& imageViewer = *windows.mainWsqForm;
    imageViewer.MenuZoomToolbar->setChecked(true);
    imageViewer.MenuZoomToolbarClick();
    imageViewer.MoreLessButtonClick();
    imageViewer.FitViewButtonClick();
    ok = save(imageViewer, outputDir + QStringLiteral("/imageviewer.png")) && ok;
    return ok ? 0 : 1;
}
