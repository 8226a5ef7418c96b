// The NIST viewer window with the records of the later editions: a tab per
// record type with a table and the image of each record, the image commands,
// Type-13/14 prints on the finger map, and Ctrl+Tab over the visible tabs.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/finger_map.h"
#include "app/main_nist_form.h"
#include "app/record_view.h"
#include "gui_fixtures.h"
#include "imagelib/memory_codecs.h"
#include "test_support/temp_dir.h"
#include "viewer/main_wsq_form.h"

using app::TMainNISTForm;

namespace {

// The fields of a Type-13/14 print before its image field.
std::vector<nist::TaggedField> printFields(int position, int impression, int width, int height,
                                           const std::string& compression)
{
    return {{3, std::to_string(impression)}, {4, "TESTAGENCY"},  {5, "20240105"},
            {6, std::to_string(width)},      {7, std::to_string(height)}, {8, "1"},
            {9, "500"},                       {10, "500"},       {11, compression},
            {12, "8"},                        {13, std::to_string(position)}};
}

std::vector<std::uint8_t> pngStream(int width, int height, int seed)
{
    const std::vector<std::uint8_t> gray = grayPattern(width, height, seed);
    return imagelib::encodePngBytes(gray.data(), width, height, 1);
}

class RecordPagesTest : public GuiTest {
protected:
    TMainNISTForm form;
    viewer::TMainWSQForm imageViewer;
    TempDir dir;

    RecordPagesTest() { form.setImageViewer(&imageViewer); }

    const nist::NistRecord& record(std::size_t index) const { return form.reader().records().at(index); }

    // Index in records() of the first record of a type and IDC.
    std::size_t indexOf(int type, int idc) const
    {
        const auto& records = form.reader().records();
        for (std::size_t i = 0; i < records.size(); ++i)
            if (records[i].type == type && records[i].idc == idc)
                return i;
        ADD_FAILURE() << "no record " << type << "." << idc;
        return 0;
    }

    std::vector<int> visibleTabCaptionsTypes() const
    {
        std::vector<int> types;
        for (int i = 0; i < form.PageControl1->count(); ++i)
            if (form.PageControl1->isTabVisible(i))
                types.push_back(form.PageControl1->tabText(i).section(QLatin1Char(' '), 0, 0).toInt());
        return types;
    }
};

TEST_F(RecordPagesTest, TheLaterSampleShowsItsFaceLatentAndPrintsWithImages)
{
    form.FileOpen1Accept(NV_SAMPLE_DIR "/sample2011.nist");
    EXPECT_EQ(form.reader().completeness(), nist::Completeness::Complete);
    EXPECT_EQ(visibleTabCaptionsTypes(), (std::vector<int>{1, 2, 4, 10, 13, 14}));
    EXPECT_EQ(form.PageControl1->count(), 16);

    const struct {
        int type;
        std::size_t records;
    } pages[] = {{10, 1}, {13, 1}, {14, 14}};
    for (const auto& page : pages) {
        const app::RecordListView* list = form.recordList(page.type);
        ASSERT_NE(list, nullptr) << page.type;
        EXPECT_EQ(list->parentWidget(), form.tabSheet(page.type));
        EXPECT_FALSE(form.tabSheet(page.type)->findChild<QLabel*>(QStringLiteral("NotSupportedLabel%1").arg(page.type))
                         ->isVisibleTo(form.tabSheet(page.type)));
        std::size_t shown = 0;
        for (std::size_t i = 0; i < form.reader().records().size(); ++i) {
            if (record(i).type != page.type)
                continue;
            ++shown;
            const app::FingerprintThumbnail* picture = list->picture(i);
            ASSERT_NE(picture, nullptr) << page.type;
            EXPECT_EQ(picture->picture().size(), QSize(record(i).image.width, record(i).image.height));
            EXPECT_EQ(list->imageNote(i), nullptr);
            EXPECT_EQ(list->table(i)->rowCount(), static_cast<int>(record(i).fields.size()));
        }
        EXPECT_EQ(shown, page.records) << page.type;
    }
    // The face: 480 x 600, its table with the names of its fields.
    const std::size_t face = indexOf(10, 16);
    const QTableWidget* table = form.recordList(10)->table(face);
    EXPECT_EQ(table->item(0, 0)->text(), "LEN");
    EXPECT_EQ(table->item(2, 0)->text(), "IMT");
    EXPECT_EQ(table->item(2, 2)->text(), "Image type");
    EXPECT_EQ(form.recordList(10)->picture(face)->picture().size(), QSize(480, 600));
    EXPECT_EQ(form.recordList(13)->picture(indexOf(13, 17))->picture().size(), QSize(400, 320));

    // No Type-4 record: the fourteen Type-14 prints fill the hand map.
    EXPECT_TRUE(form.reader().type4Records().empty());
    EXPECT_EQ(form.PageControl1->currentIndex(), app::kFingerprintTab - 1);
    for (int n = 1; n <= app::kFingerPositions; ++n) {
        const int slot = form.fingerMapRecordSlots()[static_cast<std::size_t>(n)];
        ASSERT_GT(slot, 0) << n;
        EXPECT_EQ(record(static_cast<std::size_t>(slot - 1)).type, 14);
        EXPECT_FALSE(form.fingerMap->thumbnail(n)->picture().isNull()) << n;
        EXPECT_TRUE(form.fingerMap->label(n)->isVisibleTo(form.fingerMap)) << n;
    }
    EXPECT_EQ(form.fingerMap->label(1)->text(), "Right thumb\nLive-scan rolled\n800x750");
    EXPECT_EQ(form.fingerMap->label(13)->text(), "Plain right four fingers\nLive-scan plain\n1500x900");
    EXPECT_EQ(form.fingerMap->thumbnail(13)->size(), QSize(100, 60));

    // A click on a thumbnail of the map opens the Type-14 print.
    form.fingerMap->thumbnail(11)->click();
    EXPECT_EQ(imageViewer.statusText(), "   Image info: width = 500, height = 750");
}

TEST_F(RecordPagesTest, Type4PrintsKeepTheirSlotsAndLabels)
{
    const auto path = dir.path() / "mixed.nist";
    nist::TransactionWriter writer;
    writer.addType2Record({});
    writer.addType4Record(type4Image(1, 1, 160, 150, 1));
    writer.addTaggedRecord(14, 3, printFields(1, 0, 96, 96, "WSQ20"), wsqStream(96, 96, 2));
    writer.addTaggedRecord(14, 4, printFields(2, 1, 120, 100, "WSQ20"), wsqStream(120, 100, 3));
    writer.addTaggedRecord(13, 5, printFields(3, 4, 90, 120, "PNG"), pngStream(90, 120, 4));
    ASSERT_TRUE(writer.writeFile(path));
    form.FileOpen1Accept(path.string());
    ASSERT_EQ(form.reader().completeness(), nist::Completeness::Complete);

    EXPECT_EQ(form.fingerMapSlots()[1], 1);
    EXPECT_EQ(form.fingerMapRecordSlots()[1], 0);
    EXPECT_EQ(form.fingerMap->label(1)->text(), "Right thumb\nLive-scan rolled\n160x150");
    EXPECT_EQ(form.fingerMap->label(2)->text(), "Right index finger\nLive-scan rolled\n120x100");
    EXPECT_EQ(form.fingerMap->label(3)->text(), "Right middle finger\nLatent impression\n90x120");
    EXPECT_EQ(form.fingerMap->thumbnail(3)->size(), QSize(75, 100));

    // Pressing a slot selects what it shows: the Type-4 print, or a record's image.
    form.ImageMouseDown(1);
    EXPECT_EQ(form.selectedFingerprint(), 0);
    EXPECT_EQ(form.selectedRecordImage(), -1);
    EXPECT_TRUE(form.MenuSaveAsWSQ->isEnabled());
    form.ImageMouseDown(3);
    EXPECT_EQ(form.selectedRecordImage(), static_cast<int>(indexOf(13, 5)));
    EXPECT_FALSE(form.MenuSaveAsWSQ->isEnabled());  // a PNG has no WSQ bytes to save
    form.ImageClick(2);
    EXPECT_EQ(imageViewer.statusText(), "   Image info: width = 120, height = 100");

    // The next file has no Type-13/14 prints: their slots are empty again.
    writeTransaction(dir.path() / "plain.nist", {{4, 1, 128, 128}}, {});
    form.FileOpen1Accept((dir.path() / "plain.nist").string());
    EXPECT_EQ(form.fingerMapRecordSlots(), (std::array<int, 15>{}));
    EXPECT_TRUE(form.fingerMap->thumbnail(2)->picture().isNull());
    EXPECT_EQ(form.recordList(14), nullptr);
}

TEST_F(RecordPagesTest, ImageCommandsOfARecord)
{
    const auto path = dir.path() / "records.nist";
    const std::vector<std::uint8_t> wsq = wsqStream(120, 96, 5);
    nist::TransactionWriter writer;
    writer.addType2Record({});
    writer.addTaggedRecord(14, 2, printFields(1, 1, 120, 96, "WSQ20"), wsq);
    writer.addTaggedRecord(13, 3, printFields(20, 4, 64, 48, "PNG"), pngStream(64, 48, 6));
    ASSERT_TRUE(writer.writeFile(path));
    form.FileOpen1Accept(path.string());
    const std::size_t print = indexOf(14, 2);
    const std::size_t latent = indexOf(13, 3);
    app::FingerprintThumbnail* picture = form.recordList(14)->picture(print);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size(), QSize(app::kRecordPictureSize, app::kRecordPictureSize * 96 / 120));

    // A click opens the image in the viewer.
    picture->click();
    EXPECT_EQ(form.selectedRecordImage(), static_cast<int>(print));
    EXPECT_EQ(imageViewer.statusText(), "   Image info: width = 120, height = 96");

    // The popup: the fingerprint commands and Save as PNG.
    QStringList captions;
    for (const QAction* action : form.PopupMenuRecordImage->actions())
        captions << action->text();
    EXPECT_EQ(captions, (QStringList{"Copy", "Save as WSQ...", "Save as BMP...", "Save as PNG..."}));

    QString answer;
    QStringList filters;
    form.askSaveFileName = [&](const QString& filter) {
        filters << filter;
        return answer;
    };
    picture->press();
    ASSERT_TRUE(form.MenuSaveAsWSQ->isEnabled());
    answer = QString::fromStdString((dir.path() / "print.dat").string());
    form.MenuSaveAsWSQClick();
    EXPECT_EQ(readBytes(dir.path() / "print.wsq"), wsq);  // the stream unchanged
    answer = QString::fromStdString((dir.path() / "print").string());
    form.SaveAsPNGClick();
    const std::vector<std::uint8_t> png = readBytes(dir.path() / "print.png");
    const imagelib::DecodedPicture saved = imagelib::decodePngBytes(png.data(), png.size());
    EXPECT_EQ(saved.bitmap.width(), 120);
    EXPECT_EQ(saved.bitmap.height(), 96);
    EXPECT_EQ(filters, (QStringList{TMainNISTForm::kWsqFilter, TMainNISTForm::kPngFilter}));

    // The latent's position (20) has no slot on the map, but its image its commands.
    EXPECT_EQ(form.fingerMapRecordSlots()[1], static_cast<int>(print) + 1);
    form.recordList(13)->picture(latent)->press();
    EXPECT_FALSE(form.MenuSaveAsWSQ->isEnabled());
    form.MenuCopyClick();
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(64, 48));
    answer = QString::fromStdString((dir.path() / "latent.bmp").string());
    form.SaveAsBMPClick();
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "latent.bmp"));
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(RecordPagesTest, AnImageThatCannotBeDecodedShowsWhy)
{
    const auto path = dir.path() / "bad.nist";
    nist::TransactionWriter writer;
    writer.addType2Record({});
    writer.addTaggedRecord(13, 2, printFields(1, 4, 64, 48, "XYZ"), pngStream(64, 48, 1));
    writer.addTaggedRecord(17, 3, {{3, "1"}, {6, "40"}, {7, "30"}, {11, "PNG"}}, pngStream(40, 30, 2));
    writer.addTaggedRecord(99, 4, {{4, "TESTAGENCY"}, {101, "8"}}, {1, 2, 3});
    ASSERT_TRUE(writer.writeFile(path));
    form.FileOpen1Accept(path.string());

    const std::size_t latent = indexOf(13, 2);
    const QLabel* note = form.recordList(13)->imageNote(latent);
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(form.recordList(13)->picture(latent), nullptr);
    EXPECT_TRUE(note->text().startsWith("The image cannot be shown: ")) << note->text().toStdString();
    EXPECT_TRUE(note->text().contains("XYZ")) << note->text().toStdString();
    EXPECT_TRUE(note->wordWrap());
    // No picture, so nothing on the finger map either.
    EXPECT_EQ(form.fingerMapRecordSlots()[1], 0);
    EXPECT_FALSE(form.isRecordTabVisible(app::kFingerprintTab));

    // Types above 16 get tabs of their own, after the sixteen.
    ASSERT_EQ(form.PageControl1->count(), 18);
    EXPECT_EQ(form.PageControl1->tabText(16), "17 Iris Image Data");
    EXPECT_EQ(form.PageControl1->tabText(17), "99 CBEFF Biometric Data");
    EXPECT_TRUE(form.isRecordTabVisible(99));
    EXPECT_NE(form.recordList(17)->picture(indexOf(17, 3)), nullptr);
    const QTableWidget* cbeff = form.recordList(99)->table(indexOf(99, 4));
    EXPECT_EQ(cbeff->item(3, 0)->text(), "BTY");
    EXPECT_EQ(form.recordList(99)->imageNote(indexOf(99, 4)), nullptr);

    // The decode's problem names the record and leads to its tab.
    QTreeWidgetItem* problem = nullptr;
    for (int i = 0; i < form.ProblemList->topLevelItemCount(); ++i)
        if (form.ProblemList->topLevelItem(i)->text(app::kProblemTextColumn).contains("XYZ"))
            problem = form.ProblemList->topLevelItem(i);
    ASSERT_NE(problem, nullptr);
    form.ProblemListItemActivated(problem);
    EXPECT_EQ(form.PageControl1->currentWidget(), form.tabSheet(13));

    // The next file has neither: back to sixteen tabs.
    writeTransaction(dir.path() / "plain.nist", {{1, 1, 128, 128}}, {});
    form.FileOpen1Accept((dir.path() / "plain.nist").string());
    EXPECT_EQ(form.PageControl1->count(), 16);
    EXPECT_EQ(form.recordTab(99), nullptr);
    EXPECT_FALSE(form.isRecordTabVisible(13));
}

TEST_F(RecordPagesTest, CtrlTabGoesRoundTheVisibleTabs)
{
    const auto path = dir.path() / "tabs.nist";
    nist::TransactionWriter writer;
    writer.addType2Record({});
    writer.addType4Record(type4Image(1, 1, 96, 96, 1));
    writer.addTaggedRecord(10, 3, {{3, "FACE"}, {6, "40"}, {7, "30"}, {11, "PNG"}}, pngStream(40, 30, 2));
    writer.addTaggedRecord(98, 4, {{3, "ABCD"}});
    ASSERT_TRUE(writer.writeFile(path));
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.FileOpen1Accept(path.string());
    ASSERT_EQ(visibleTabCaptionsTypes(), (std::vector<int>{1, 2, 4, 10, 98}));

    auto currentType = [&] { return form.PageControl1->tabText(form.PageControl1->currentIndex()).section(' ', 0, 0).toInt(); };
    EXPECT_EQ(currentType(), 4);
    std::vector<int> forward;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &form, Qt::Key_Tab,
                        Qt::ControlModifier);
        forward.push_back(currentType());
    }
    EXPECT_EQ(forward, (std::vector<int>{10, 98, 1, 2, 4}));
    std::vector<int> backward;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &form, Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        backward.push_back(currentType());
    }
    EXPECT_EQ(backward, (std::vector<int>{2, 1, 98}));
}

TEST_F(RecordPagesTest, TheNoticeWrapsInsideItsPage)
{
    // A Type-5 record whose header is cut by the end of the file: its tab
    // shows, with the notice, as no record of it could be read.
    const auto path = dir.path() / "cut.nist";
    nist::TransactionWriter writer;
    writer.addType2Record({});
    writer.addRecordBytes(5, 2, std::string("\0\0\0", 3));
    ASSERT_TRUE(writer.writeFile(path));
    // Narrower than the notice's one line.
    form.resize(560, 640);
    form.show();
    form.FileOpen1Accept(path.string());
    ASSERT_TRUE(form.isRecordTabVisible(5));
    form.PageControl1->setCurrentWidget(form.tabSheet(5));
    QApplication::processEvents();
    const QLabel* notice = form.tabSheet(5)->findChild<QLabel*>(QStringLiteral("NotSupportedLabel5"));
    ASSERT_NE(notice, nullptr);
    ASSERT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->wordWrap());
    EXPECT_GT(notice->heightForWidth(notice->width()), notice->fontMetrics().height());  // more than one line
    const QRect inPage(notice->mapTo(form.tabSheet(5), QPoint(0, 0)), notice->size());
    EXPECT_LE(inPage.right(), form.tabSheet(5)->width());
    EXPECT_EQ(inPage.left(), 96);
    EXPECT_GE(notice->height(), notice->heightForWidth(notice->width()));
}

}  // namespace
