// The About boxes: texts, layout, the web link and the system summary, and
// the Help menus that open them.
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "about/about_form.h"
#include "about/nist_about_form.h"
#include "app/main_nist_form.h"
#include "gui_fixtures.h"
#include "platform/system_info.h"
#include "viewer/main_wsq_form.h"

namespace {

class AboutTest : public GuiTest {};

QStringList memoLines(const QPlainTextEdit* memo)
{
    return memo->toPlainText().split('\n');
}

}  // namespace

TEST_F(AboutTest, BothBoxesShowTheirTextsInTheirLayout)
{
    about::TAboutForm viewerAbout;
    about::TNISTAboutForm nistAbout;
    EXPECT_EQ(viewerAbout.windowTitle(), "About");
    EXPECT_EQ(viewerAbout.size(), QSize(406, 268));
    EXPECT_EQ(nistAbout.size(), QSize(451, 268));
    EXPECT_TRUE(viewerAbout.isModal());
    EXPECT_FALSE(nistAbout.isModal());
    EXPECT_EQ(viewerAbout.LabelProgramDescription2->text(), "RAR ovadez v. 2.7");
    EXPECT_EQ(nistAbout.LabelProgramDescription2->text(), "NIST (ANSI/NIST-ITL 1-2000) viewer v. 1.0 beta");
    EXPECT_EQ(nistAbout.LabelProgramDescription2->font().pixelSize(), 21);
    EXPECT_EQ(viewerAbout.Button1->text(), "OK");
    EXPECT_EQ(viewerAbout.Button1->geometry(), QRect(328, 224, 73, 33));
    EXPECT_EQ(nistAbout.Button1->geometry(), QRect(370, 227, 73, 33));
    EXPECT_EQ(nistAbout.SysInfoMemo->geometry(), QRect(8, 224, 356, 33));
    EXPECT_TRUE(nistAbout.SysInfoMemo->isReadOnly());
    EXPECT_EQ(nistAbout.LabelWebLink->text(), about::kMakerWebAddress);
    EXPECT_TRUE(nistAbout.LabelWebLink->font().underline());

    nistAbout.show();
    EXPECT_EQ(memoLines(nistAbout.ProgramDescriptionMemo),
              (QStringList{"ANSI/NIST-ITL 1-2000", "American National Standard for Information Systems",
                           "Data Format for the Interchange of Fingerprint, Facial, & Scar Mark & Tattoo (SMT) "
                           "Information",
                           "Reads and exports ANSI/NIST-ITL 1-2000 file format.",
                           "For latest version and more information please visit:", about::kMakerWebAddress}));
    viewerAbout.show();
    const QStringList lines = memoLines(viewerAbout.ProgramDescriptionMemo);
    ASSERT_EQ(lines.size(), 45);
    EXPECT_EQ(lines.front(), "Reads and converts between WSQ and other graphic file formats.");
    EXPECT_EQ(lines[38], "TIFF - Tagged Information File Format  (no LZW compression)");
    EXPECT_EQ(lines.back(), about::kMakerWebAddress);
    // Showing again does not append a second copy.
    viewerAbout.hide();
    viewerAbout.show();
    EXPECT_EQ(memoLines(viewerAbout.ProgramDescriptionMemo).size(), 45);
    // The summary: six labelled lines of the running system.
    const QStringList summary = memoLines(viewerAbout.SysInfoMemo);
    ASSERT_EQ(summary.size(), 6);
    EXPECT_TRUE(summary[0].startsWith("Memory available to Windows: "));
    EXPECT_TRUE(summary[4].startsWith("Build number:  "));
    viewerAbout.Button1->click();
    EXPECT_FALSE(viewerAbout.isVisible());
}

TEST_F(AboutTest, SummaryOfAGivenSystem)
{
    platform::SystemSources sources;
    sources.unameAvailable = true;
    sources.sysname = "Linux";
    sources.release = "6.12.3-arch1";
    sources.version = "#1 SMP";
    sources.osRelease = "PRETTY_NAME=\"Arch Linux\"\n";
    sources.meminfo = "MemAvailable:     512000 kB\n";
    about::TNISTAboutForm box;
    box.FillSystemSummary(platform::SystemInfo(sources));
    EXPECT_EQ(memoLines(box.SysInfoMemo),
              (QStringList{"Memory available to Windows: 512 MB", "Operating System: Arch Linux - Linux",
                           "Major version: 6", "Minor version: 12", "Build number:  3",
                           "Service Pack info: 6.12.3-arch1 #1 SMP"}));
}

TEST_F(AboutTest, TheWebLinkOpensTheAddressOrSaysWhyNot)
{
    about::TNISTAboutForm box;
    QStringList opened;
    bool browserStarts = true;
    box.openWebAddress = [&](const QString& address) {
        opened << address;
        return browserStarts;
    };
    box.show();
    box.LabelWebLinkClick();
    EXPECT_EQ(opened, QStringList{about::kMakerWebAddress});
    EXPECT_TRUE(prompter.entries.empty());
    browserStarts = false;
    box.LabelWebLinkClick();
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"Unable to start web browser."});
    EXPECT_EQ(prompter.entries[0].caption, "NIST file viewer");
    EXPECT_TRUE(box.isVisible());
}

TEST_F(AboutTest, HelpMenusOpenTheBoxes)
{
    app::TMainNISTForm nistForm;
    about::TNISTAboutForm nistAbout;
    nistForm.setToolWindows(nullptr, &nistAbout);
    EXPECT_EQ(nistForm.MenuAboutNIST->text(), "&About");
    nistForm.MenuAboutNIST->trigger();
    EXPECT_TRUE(nistAbout.isVisible());

    viewer::TMainWSQForm viewerForm;
    about::TAboutForm viewerAbout;
    viewerForm.setAboutBox(&viewerAbout);
    bool shownModal = false;
    // The box runs modally: close it from inside its own event loop.
    QTimer::singleShot(0, &viewerAbout, [&] {
        shownModal = viewerAbout.isVisible() && viewerAbout.isModal();
        viewerAbout.Button1->click();
    });
    viewerForm.MenuAbout->trigger();
    EXPECT_TRUE(shownModal);
    EXPECT_FALSE(viewerAbout.isVisible());
}
