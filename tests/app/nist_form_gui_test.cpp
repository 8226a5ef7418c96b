// The NIST viewer window: start-up state, opening transactions, the record
// grids and their edits, and failures while opening.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include "app/finger_map.h"
#include "app/main_nist_form.h"
#include "qt/qt_text.h"
#include "gui_fixtures.h"
#include "nist/export.h"
#include "test_support/temp_dir.h"

using app::TMainNISTForm;

namespace {

std::vector<int> visibleTabs(const TMainNISTForm& form)
{
    std::vector<int> tabs;
    for (int t = 1; t <= app::kRecordTypeCount; ++t)
        if (form.isRecordTabVisible(t))
            tabs.push_back(t);
    return tabs;
}

QString cellText(const QTableView* grid, int tableRow, int column)
{
    return grid->model()->index(tableRow - 1, column).data().toString();
}

bool rowShown(const QTableView* grid, int tableRow)
{
    return !grid->isRowHidden(tableRow - 1);
}

void expectNoFingerprints(const TMainNISTForm& form)
{
    for (int n = 1; n <= app::kFingerPositions; ++n) {
        EXPECT_EQ(form.fingerMap->thumbnail(n)->size(), QSize(0, 0)) << "thumbnail " << n;
        EXPECT_TRUE(form.fingerMap->thumbnail(n)->picture().isNull());
        EXPECT_TRUE(form.fingerMap->label(n)->text().isEmpty());
        EXPECT_FALSE(form.fingerMap->label(n)->isVisibleTo(form.fingerMap));
    }
}

const std::string kSeparators = std::string("A") + '\x1E' + "B" + '\x1F' + "C";

class NistFormTest : public GuiTest {
protected:
    TMainNISTForm form;
    TempDir dir;

    std::filesystem::path tenPrint()
    {
        const auto path = dir.path() / "prints.nist";
        writeTransaction(path, {{1, 1, 160, 150}, {2, 0, 150, 160}, {3, 3, 128, 128}, {15, 1, 128, 128}},
                         {{5, kSeparators}, {10, "ten"}});
        return path;
    }
};

}  // namespace

TEST_F(NistFormTest, StartsWithOnlyTheEmptyHands)
{
    EXPECT_EQ(form.windowTitle(), "Veltrano NIST (ANSI/NIST-ITL 1-2000) viewer");
    EXPECT_EQ(visibleTabs(form), std::vector<int>{4});
    EXPECT_EQ(form.PageControl1->currentIndex(), 3);
    ASSERT_EQ(form.PageControl1->count(), 16);
    EXPECT_EQ(form.PageControl1->tabText(0), "1 Transaction Information");
    EXPECT_EQ(form.PageControl1->tabText(13), "14 Tenprint fingerprint Impressions (Variable-resolution)");
    expectNoFingerprints(form);
    EXPECT_TRUE(form.fingerMap->ShowFingerprintInfoCheckBox->isChecked());
    EXPECT_EQ(form.fingerMap->ShowFingerprintInfoCheckBox->text(), "Show fingerprint information");

    for (int t : {3, 5, 9, 16}) {
        auto* notice = form.tabSheet(t)->findChild<QLabel*>(QStringLiteral("NotSupportedLabel%1").arg(t));
        ASSERT_NE(notice, nullptr) << t;
        EXPECT_EQ(notice->text(), "Not supported in this version of NIST viewer");
        EXPECT_EQ(notice->pos(), QPoint(96, 184));
        EXPECT_EQ(notice->font().pixelSize(), 32);
    }

    for (QTableView* grid : {form.StringGrid1, form.StringGrid2}) {
        EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), "Code");
        EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), "Value");
        EXPECT_EQ(grid->model()->headerData(2, Qt::Horizontal).toString(), "Description");
        EXPECT_EQ(grid->columnWidth(0), 40);
        EXPECT_EQ(grid->columnWidth(1), 400);
        EXPECT_EQ(grid->columnWidth(2), 300);
        EXPECT_FALSE(grid->model()->flags(grid->model()->index(0, 0)) & Qt::ItemIsEditable);
        EXPECT_TRUE(grid->model()->flags(grid->model()->index(0, 1)) & Qt::ItemIsEditable);
    }
    EXPECT_EQ(form.StringGrid1->model()->rowCount(), 15);
    EXPECT_EQ(cellText(form.StringGrid1, 15, 0), "DCS");
    EXPECT_EQ(cellText(form.StringGrid1, 15, 2), "Directory of character sets");
    EXPECT_EQ(form.StringGrid2->model()->rowCount(), 999);
    EXPECT_EQ(cellText(form.StringGrid2, 999, 0), "US999");
    EXPECT_TRUE(rowShown(form.StringGrid2, 1));
    EXPECT_TRUE(rowShown(form.StringGrid2, 2));
    EXPECT_FALSE(rowShown(form.StringGrid2, 3));
    EXPECT_FALSE(rowShown(form.StringGrid2, 999));

    QStringList menus;
    for (QAction* a : form.menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Tools", "&Help"}));
    EXPECT_EQ(form.FileOpen1->text(), "&Open...");
    EXPECT_EQ(form.FileOpen1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(form.FileExit1->text(), "E&xit");
}

TEST_F(NistFormTest, OpeningATransactionFillsTablesTabsAndThumbnails)
{
    const auto path = tenPrint();
    QString filterAsked;
    form.askOpenFileName = [&](const QString& filter) {
        filterAsked = filter;
        return QString::fromStdString(path.string());
    };
    form.FileOpen1->trigger();
    EXPECT_EQ(filterAsked, "NIST files (*.nist);;All files (*)");
    EXPECT_TRUE(prompter.entries.empty()) << prompter.entries.front().text;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    EXPECT_EQ(visibleTabs(form), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(form.PageControl1->currentIndex(), 3);
    EXPECT_EQ(cellText(form.StringGrid1, 2, 1), "0300");
    // CNT's separators are drawn as control pictures and stored unchanged.
    const QString cnt = cellText(form.StringGrid1, 3, 1);
    EXPECT_TRUE(cnt.startsWith(QString::fromUtf8("1\u241F")) && cnt.contains(QChar(0x241E))) << cnt.toStdString();
    EXPECT_EQ(form.reader().type1Table().value(3), form.reader().type1().CNT);
    EXPECT_EQ(cellText(form.StringGrid2, 5, 1), QString::fromUtf8("A\u241EB\u241FC"));
    EXPECT_EQ(form.reader().type2Table().value(5), kSeparators);
    EXPECT_EQ(cellText(form.StringGrid2, 10, 1), "ten");
    for (int row : {1, 2, 5, 10})
        EXPECT_TRUE(rowShown(form.StringGrid2, row)) << row;
    for (int row : {3, 4, 6, 9, 11, 999})
        EXPECT_FALSE(rowShown(form.StringGrid2, row)) << row;

    // Four records; the one at position 15 has no slot but stays listed.
    ASSERT_EQ(form.reader().type4Records().size(), 4u);
    ASSERT_EQ(form.reader().fingerprintBitmaps().size(), 4u);
    const QSize sizes[3] = {{100, 93}, {93, 100}, {100, 100}};
    const char* labels[3] = {"Right thumb\nLive-scan rolled\n160x150", "Right index finger\nLive-scan plain\n150x160",
                             "Right middle finger\nNonlive-scan rolled\n128x128"};
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(form.fingerMap->thumbnail(n)->size(), sizes[n - 1]) << n;
        EXPECT_EQ(form.fingerMap->thumbnail(n)->pos(), app::FingerMap::thumbnailOrigin(n));
        EXPECT_EQ(form.fingerMap->thumbnail(n)->picture().size(),
                  QSize(form.reader().fingerprintBitmaps()[n - 1].width(), form.reader().fingerprintBitmaps()[n - 1].height()));
        EXPECT_EQ(form.fingerMap->label(n)->text().toStdString(), labels[n - 1]);
        EXPECT_TRUE(form.fingerMap->label(n)->isVisibleTo(form.fingerMap));
        EXPECT_EQ(form.fingerMapSlots()[static_cast<std::size_t>(n)], n);
    }
    for (int n = 4; n <= 14; ++n)
        EXPECT_EQ(form.fingerMap->thumbnail(n)->size(), QSize(0, 0)) << n;
}

TEST_F(NistFormTest, ReopeningClearsTheFirstFile)
{
    form.FileOpen1Accept(tenPrint().string());
    ASSERT_EQ(form.fingerMap->thumbnail(1)->size(), QSize(100, 93));

    nist::TransactionWriter textOnly;
    textOnly.addType2Record({{7, "seven"}});
    const auto second = dir.path() / "text.nist";
    ASSERT_TRUE(textOnly.writeFile(second));
    form.FileOpen1Accept(second.string());

    EXPECT_TRUE(prompter.entries.empty());
    EXPECT_EQ(visibleTabs(form), (std::vector<int>{1, 2}));
    expectNoFingerprints(form);
    EXPECT_TRUE(form.reader().type4Records().empty());
    EXPECT_FALSE(rowShown(form.StringGrid2, 5));
    EXPECT_EQ(cellText(form.StringGrid2, 5, 1), "");
    EXPECT_FALSE(rowShown(form.StringGrid2, 10));
    EXPECT_TRUE(rowShown(form.StringGrid2, 7));
    EXPECT_EQ(cellText(form.StringGrid2, 7, 1), "seven");
}

TEST_F(NistFormTest, GridEditsReachTheExportAndUneditedBytesStayUnchanged)
{
    form.FileOpen1Accept(tenPrint().string());
    form.show();
    form.PageControl1->setCurrentIndex(0);
    QTableView* grid = form.StringGrid1;
    const QModelIndex tcn = grid->model()->index(9 - 1, 1);
    // Editing is always on: making the cell current opens its editor.
    grid->setCurrentIndex(tcn);
    auto* editor = grid->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("EDITED-TCN"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the view commits after the key
    EXPECT_EQ(form.reader().type1Table().value(9), "EDITED-TCN");

    // Committing the separator-holding value as displayed gives back its bytes.
    const QModelIndex value5 = form.StringGrid2->model()->index(5 - 1, 1);
    form.StringGrid2->model()->setData(value5, value5.data(Qt::EditRole), Qt::EditRole);
    EXPECT_EQ(form.reader().type2Table().value(5), kSeparators);

    const auto out = dir.path() / "export";
    std::filesystem::create_directory(out);
    nist::exportTransaction(form.reader(), out.string());
    const std::vector<std::uint8_t> type1 = readBytes(out / "type1.txt");
    EXPECT_NE(std::string(type1.begin(), type1.end()).find("EDITED-TCN"), std::string::npos);
    const std::vector<std::uint8_t> type2 = readBytes(out / "type2.txt");
    EXPECT_NE(std::string(type2.begin(), type2.end()).find(kSeparators), std::string::npos);
}

TEST_F(NistFormTest, AConversionErrorIsShownAndTheWindowStaysUsable)
{
    const auto bad = dir.path() / "bad.nist";
    const std::string bytes = std::string("1.001:12x") + '\x1D' + "1.002:0300" + '\x1C';
    writeBytes(bad, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    form.FileOpen1Accept(bad.string());
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].text, "'12x' is not a valid integer value");
    EXPECT_EQ(prompter.entries[0].caption, "NIST file viewer");
    EXPECT_EQ(prompter.entries[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    prompter.clear();
    form.FileOpen1Accept((dir.path() / "missing.nist").string());
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].text, "Error: open file failed");
    EXPECT_EQ(prompter.entries[0].caption, "Error");

    prompter.clear();
    form.FileOpen1Accept(tenPrint().string());
    EXPECT_TRUE(prompter.entries.empty());
    EXPECT_EQ(visibleTabs(form), (std::vector<int>{1, 2, 4}));
}

TEST_F(NistFormTest, CancellingTheOpenDialogChangesNothing)
{
    form.FileOpen1Accept(tenPrint().string());
    form.askOpenFileName = [](const QString&) { return QString(); };
    form.FileOpen1->trigger();
    EXPECT_EQ(visibleTabs(form), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(form.reader().type4Records().size(), 4u);
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(NistFormTest, ShowingCentresTheWindowOnTheScreen)
{
    form.show();
    const QRect screen = form.screen()->geometry();
    const QSize outer = form.frameGeometry().size();
    EXPECT_EQ(form.pos(), QPoint(screen.x() + (screen.width() - outer.width()) / 2,
                                 screen.y() + (screen.height() - outer.height()) / 2));
    EXPECT_EQ(form.centralWidget()->size(), QSize(app::kNistClientWidth, app::kNistClientHeight));
}

TEST_F(NistFormTest, TheSampleShowsFourteenFingerprintsOnTheHands)
{
    form.FileOpen1Accept(NV_SAMPLE_DIR "/sample.nist");
    EXPECT_TRUE(prompter.entries.empty()) << prompter.entries.front().text;
    EXPECT_EQ(visibleTabs(form), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(form.PageControl1->currentIndex(), 3);
    EXPECT_FALSE(cellText(form.StringGrid1, 2, 1).isEmpty());
    const auto& reader = form.reader();
    ASSERT_EQ(reader.type4Records().size(), 14u);
    for (int n = 1; n <= app::kFingerPositions; ++n) {
        const int index = form.fingerMapSlots()[static_cast<std::size_t>(n)] - 1;
        ASSERT_GE(index, 0) << n;
        const nist::T_T4& record = reader.type4Records()[static_cast<std::size_t>(index)];
        EXPECT_EQ(record.FGP, std::to_string(n));
        EXPECT_EQ(form.fingerMap->thumbnail(n)->size(), app::thumbnailSize(nist::displayAspect(record))) << n;
        EXPECT_FALSE(form.fingerMap->thumbnail(n)->picture().isNull()) << n;
        EXPECT_EQ(form.fingerMap->label(n)->text().toStdString(),
                  nist::fingerPositionName(record.FGP) + "\n" + nist::impressionTypeName(record.IMP) + "\n" +
                      record.HLL + "x" + record.VLL);
        EXPECT_TRUE(form.fingerMap->label(n)->isVisibleTo(form.fingerMap));
    }
}

TEST_F(NistFormTest, TheTitleNamesTheOpenFile)
{
    const auto prints = tenPrint();
    form.FileOpen1Accept(prints.string());
    EXPECT_EQ(form.windowTitle().toStdString(), std::string(app::kNistWindowCaption) + " - " + prints.string());
    EXPECT_EQ(form.openFileName(), prints.string());

    const auto missing = dir.path() / "missing.nist";
    form.FileOpen1Accept(missing.string());
    EXPECT_EQ(form.windowTitle().toStdString(),
              std::string(app::kNistWindowCaption) + " - " + missing.string() + " (not read)");

    // Cut inside its last print.
    const std::vector<std::uint8_t> whole = readBytes(prints);
    const auto cut = dir.path() / "cut.nist";
    writeBytes(cut, std::vector<std::uint8_t>(whole.begin(), whole.end() - 100));
    form.FileOpen1Accept(cut.string());
    EXPECT_EQ(form.windowTitle().toStdString(),
              std::string(app::kNistWindowCaption) + " - " + cut.string() + " (read partly)");
}

TEST_F(NistFormTest, AFailedOpenLeavesNothingOfThePreviousFile)
{
    const auto empty = dir.path() / "empty.nist";
    writeBytes(empty, {});
    const auto picture = dir.path() / "picture.nist";
    writeBytes(picture, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    for (const auto& bad : {dir.path() / "missing.nist", empty, picture, dir.path()}) {
        form.FileOpen1Accept(tenPrint().string());
        ASSERT_EQ(cellText(form.StringGrid2, 10, 1), "ten");
        form.FileOpen1Accept(bad.string());
        EXPECT_EQ(visibleTabs(form), std::vector<int>{4}) << bad;
        EXPECT_EQ(form.PageControl1->currentIndex(), 3);
        for (int row = 1; row <= 15; ++row)
            EXPECT_EQ(cellText(form.StringGrid1, row, 1), "") << bad << " row " << row;
        EXPECT_EQ(cellText(form.StringGrid2, 10, 1), "") << bad;
        EXPECT_FALSE(rowShown(form.StringGrid2, 10));
        expectNoFingerprints(form);
        EXPECT_TRUE(form.reader().type4Records().empty());
    }
}

TEST_F(NistFormTest, TheProblemPanelListsTheProblemsOfTheFile)
{
    EXPECT_FALSE(form.ProblemList->isVisibleTo(&form));
    // A Type-2 record whose LEN is off by ten, and a Type-10 entry whose bytes
    // are no Type-10 record, which hides a print.
    const std::string t2 = nist::makeTaggedRecord(2, {{2, "01"}, {3, "x"}});
    std::string file = nist::makeTaggedRecord(1, {{2, "0300"}, {3, nist::makeCntValue({{2, 1}, {10, 2}, {4, 3}})}});
    const std::size_t type2At = file.size();
    std::string badT2 = t2;
    badT2[6] = static_cast<char>(badT2[6] + 1);
    file += badT2 + "XX" + '\x1C';
    const auto path = dir.path() / "problems.nist";
    writeBytes(path, std::vector<std::uint8_t>(file.begin(), file.end()));
    form.show();
    form.FileOpen1Accept(path.string());

    ASSERT_TRUE(form.ProblemList->isVisibleTo(&form));
    ASSERT_EQ(form.ProblemList->topLevelItemCount(), 3);
    QTreeWidgetItem* warning = form.ProblemList->topLevelItem(0);
    EXPECT_EQ(warning->data(app::kProblemSeverityColumn, Qt::UserRole).toInt(), static_cast<int>(nist::Severity::Warning));
    EXPECT_FALSE(warning->icon(app::kProblemSeverityColumn).isNull());
    EXPECT_EQ(warning->text(app::kProblemOffsetColumn), QString::number(type2At));
    EXPECT_TRUE(warning->text(app::kProblemTextColumn).startsWith("Type-2 LEN is "));
    EXPECT_TRUE(form.ProblemList->topLevelItem(1)->text(app::kProblemTextColumn).startsWith(
        "the Type-10 record CNT lists is not a tagged Type-10 record"));
    QTreeWidgetItem* error = form.ProblemList->topLevelItem(2);
    EXPECT_EQ(error->data(app::kProblemSeverityColumn, Qt::UserRole).toInt(), static_cast<int>(nist::Severity::Error));
    EXPECT_EQ(error->text(app::kProblemTextColumn),
              "the Type-10 record is not read, nor the 1 record CNT lists after it (types 4)");

    // Choosing a problem of a record shows that record's tab.
    form.PageControl1->setCurrentIndex(0);
    form.ProblemListItemActivated(warning);
    EXPECT_EQ(form.PageControl1->currentIndex(), 1);
    form.ProblemListItemActivated(error);
    EXPECT_EQ(form.PageControl1->currentIndex(), 9);

    // A clean file empties and hides the panel again.
    form.FileOpen1Accept(tenPrint().string());
    EXPECT_EQ(form.ProblemList->topLevelItemCount(), 0);
    EXPECT_FALSE(form.ProblemList->isVisibleTo(&form));
}

TEST_F(NistFormTest, TypeOneGridFollowsTheFieldsOfTheLaterEditions)
{
    nist::TransactionWriter later;
    later.setType1Field(2, "0500");
    later.setType1Field(16, "APS value");
    later.setType1Field(18, "ISO");
    const auto first = dir.path() / "later.nist";
    ASSERT_TRUE(later.writeFile(first));
    form.FileOpen1Accept(first.string());
    ASSERT_EQ(form.StringGrid1->model()->rowCount(), 17);
    EXPECT_EQ(cellText(form.StringGrid1, 16, 0), "APS");
    EXPECT_EQ(cellText(form.StringGrid1, 17, 1), "ISO");
    EXPECT_EQ(cellText(form.StringGrid1, 17, 2), "Geographic name set");
    EXPECT_EQ(form.StringGrid1->columnWidth(1), 400);

    // The next file has none of them: the rows go again.
    form.FileOpen1Accept(tenPrint().string());
    EXPECT_EQ(form.StringGrid1->model()->rowCount(), 15);
    EXPECT_EQ(cellText(form.StringGrid1, 15, 0), "DCS");
    EXPECT_EQ(form.StringGrid1->columnWidth(1), 400);
    form.StringGrid1->grab();  // paints every row without asking for one that is gone
}
