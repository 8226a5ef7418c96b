// Renders the NIST viewer window with a transaction, the image viewer with one
// of its fingerprints, the file format converter and, when a second
// transaction is named, the NIST viewer window on that one's Type-14 tab into
// PNG files, using Qt's offscreen platform, so that the pictures in README.md
// can be remade without a display:
//   nistviewer_screenshots TRANSACTION.nist OUTPUT_DIR [LATER_TRANSACTION.nist]
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QDir>
#include <QFrame>
#include <QPixmap>
#include <QSlider>
#include <QTabWidget>
#include <cstdio>

#include "app/application.h"
#include "app/finger_map.h"
#include "qt/qt_text.h"
#include "batch/gui/file_format_converter_form.h"
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
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: nistviewer_screenshots TRANSACTION.nist OUTPUT_DIR [LATER_TRANSACTION.nist]\n");
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

    // The converter as a user leaves it before a run: WSQ, BMP and PNG files
    // of a tree to be turned into WSQ files.
    app::TFileFormatConverterForm& converter = *windows.fileFormatConverterForm;
    converter.showConverter();
    for (int row : {1, 2, 8})
        converter.InputFileFormatsCheckListBox->item(row)->setCheckState(Qt::Checked);
    converter.InputFileFormatsCheckListBox->setCurrentRow(8);
    converter.InputDirectoryEdit->setText(QStringLiteral("/data/scans"));
    converter.OutputDirectoryEdit->setText(QStringLiteral("/data/wsq"));
    converter.SubdirectoriesCheckBox->setChecked(true);
    ok = save(converter, outputDir + QStringLiteral("/converter.png")) && ok;
    converter.hide();
    imageViewer.hide();

    // A transaction of the later editions on its Type-14 tab: each print's
    // table beside its image.
    if (argc == 4) {
        nist.FileOpen1Accept(argv[3]);
        if (!nist.isRecordTabVisible(14)) {
            std::fprintf(stderr, "nistviewer_screenshots: %s holds no Type-14 record\n", argv[3]);
            return 1;
        }
        nist.PageControl1->setCurrentWidget(nist.tabSheet(14));
        ok = save(nist, outputDir + QStringLiteral("/nistviewer2011.png")) && ok;
    }
    return ok ? 0 : 1;
}
