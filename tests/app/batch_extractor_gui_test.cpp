// The NIST batch extractor window: settings, the check list, a run over a
// directory tree with its progress, Stop, the directory messages, an error
// that ends a run, and the summary at the end.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>

#include "app/main_nist_form.h"
#include "batch/gui/nist_batch_extractor_form.h"
#include "gui_fixtures.h"
#include "platform/event_pump.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "test_support/temp_dir.h"

using batch::TNISTbatchExtractorForm;
namespace fs = std::filesystem;

namespace {

class BatchExtractorFormTest : public GuiTest {
protected:
    void SetUp() override
    {
        ini = dir.path() / "nistviewer.ini";
        ::setenv("NISTVIEWER_INI", ini.c_str(), 1);
        in = dir.path() / "in";
        out = dir.path() / "out";
        fs::create_directories(out);
    }
    void TearDown() override
    {
        platform::setEventPump(nullptr);
        ::unsetenv("NISTVIEWER_INI");
    }
    void addTransaction(const fs::path& path)
    {
        fs::create_directories(path.parent_path());
        writeTransaction(path, {{1, 1, 96, 96}}, {{3, path.filename().string()}});
    }
    // Shows the window (reading the settings) and fills its edits.
    void prepare(const fs::path& input, const fs::path& output, bool subdirectories = false)
    {
        form.show();
        form.InputDirectoryEdit->setText(QString::fromStdString(input.string()));
        form.OutputDirectoryEdit->setText(QString::fromStdString(output.string()));
        form.SubdirectoriesCheckBox->setChecked(subdirectories);
    }
    void expectIdle()
    {
        EXPECT_TRUE(form.StartConversionButton->isEnabled());
        EXPECT_TRUE(form.CloseButton->isEnabled());
        EXPECT_FALSE(form.StopConversionButton->isEnabled());
        EXPECT_TRUE(mainForm.reader().decodeImages);
    }
    QListWidgetItem* item(int index) { return form.ExportCheckListBox->item(index); }
    // Toggles an item's check box as a click on it would.
    void toggle(int index)
    {
        form.ExportCheckListBox->setCurrentRow(index);
        item(index)->setCheckState(item(index)->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }

    TempDir dir;
    fs::path ini, in, out;
    app::TMainNISTForm mainForm;
    TNISTbatchExtractorForm form{mainForm.reader()};
};

const char* const kSummaryCaption = "NIST batch extractor";

}  // namespace

TEST_F(BatchExtractorFormTest, ControlsAndCheckListAtCreation)
{
    EXPECT_EQ(form.windowTitle(), "NIST batch extractor");
    EXPECT_EQ(form.size(), QSize(425, 439));
    EXPECT_EQ(form.StartConversionButton->text(), "Start conversion");
    EXPECT_EQ(form.StopConversionButton->text(), "Stop conversion");
    EXPECT_EQ(form.CloseButton->text(), "Close");
    EXPECT_EQ(form.SubdirectoriesCheckBox->text(), "Include subdirectories");
    EXPECT_FALSE(form.SubdirectoriesCheckBox->isChecked());
    EXPECT_EQ(form.ExportLabel->text(), "Select which records to export");
    EXPECT_EQ(form.ProgressBar->maximum(), 100);
    EXPECT_EQ(form.FileMask(), "*.nist");
    ASSERT_EQ(form.ExportCheckListBox->count(), 17);
    EXPECT_EQ(item(0)->text(), "All Types (1-16)");
    EXPECT_EQ(item(10)->text(), "Type 10 - Facial & SMT Image Data");
    EXPECT_EQ(item(16)->text(), "Type 16 - User-defined Testing Image Data (Variable-resolution)");
    for (int i = 0; i < 17; ++i) {
        const bool choosable = i == 0 || i == 1 || i == 2 || i == 4;
        EXPECT_EQ(bool(item(i)->flags() & Qt::ItemIsEnabled), choosable) << i;
        EXPECT_EQ(item(i)->checkState(), choosable ? Qt::Checked : Qt::Unchecked) << i;
    }
}

TEST_F(BatchExtractorFormTest, SettingsAreReadOnShowAndWrittenOnClose)
{
    {
        platform::IniFile file(ini);
        file.writeString("Directories", "input_directory", "/data/in");
        file.writeString("Directories", "output_directory", "/data/out");
        file.writeString("Directories", "nist_file_extension", "eft");
    }
    form.show();
    EXPECT_EQ(form.InputDirectoryEdit->text(), "/data/in");
    EXPECT_EQ(form.OutputDirectoryEdit->text(), "/data/out");
    EXPECT_EQ(form.nist_file_extensionEdit->text(), "eft");
    EXPECT_EQ(form.FileMask(), "*.eft");
    EXPECT_EQ(form.ProgressLabel->text(), "0 %");
    expectIdle();

    form.nist_file_extensionEdit->setText("*");
    EXPECT_EQ(form.FileMask(), "*.*");
    form.InputDirectoryEdit->setText("/elsewhere");
    form.CloseButton->click();
    EXPECT_FALSE(form.isVisible());
    const platform::IniFile file(ini);
    EXPECT_EQ(file.readString("Directories", "input_directory", ""), "/elsewhere");
    EXPECT_EQ(file.readString("Directories", "output_directory", ""), "/data/out");
    EXPECT_EQ(file.readString("Directories", "nist_file_extension", ""), "*");

    // Without a settings file the extension is "nist".
    fs::remove(ini);
    form.show();
    EXPECT_EQ(form.nist_file_extensionEdit->text(), "nist");
    EXPECT_EQ(form.InputDirectoryEdit->text(), "");
}

TEST_F(BatchExtractorFormTest, FolderButtonsStartAtAnExistingDirectoryOnly)
{
    QStringList starts;
    QString answer = QString::fromStdString(in.string());
    form.askDirectory = [&](const QString& start) {
        starts << start;
        return answer;
    };
    form.show();
    form.InputDirectoryEdit->setText(QString::fromStdString((dir.path() / "missing").string()));
    form.SelectInputDirectoryButton->click();
    EXPECT_EQ(form.InputDirectoryEdit->text(), answer);
    form.OutputDirectoryEdit->setText(QString::fromStdString(out.string()));
    answer.clear();  // cancelled
    form.SelectOutputDirectoryButton->click();
    EXPECT_EQ(form.OutputDirectoryEdit->text(), QString::fromStdString(out.string()));
    EXPECT_EQ(starts, (QStringList{"", QString::fromStdString(out.string())}));
}

TEST_F(BatchExtractorFormTest, CheckListItemZeroAndTheEnabledTypes)
{
    auto& exportTypes = mainForm.reader().exportTypes;
    toggle(2);  // Type 2 off
    EXPECT_EQ(item(0)->checkState(), Qt::Unchecked);
    EXPECT_FALSE(exportTypes[2]);
    EXPECT_TRUE(exportTypes[1] && exportTypes[4]);
    // Checking type 2 again leaves "All Types" unchecked.
    toggle(2);
    EXPECT_EQ(item(0)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(exportTypes[2]);

    // "All Types" sets every enabled item; the disabled ones and their types stay.
    toggle(0);
    EXPECT_EQ(item(0)->checkState(), Qt::Checked);
    toggle(0);
    for (int t : {1, 2, 4}) {
        EXPECT_EQ(item(t)->checkState(), Qt::Unchecked) << t;
        EXPECT_FALSE(exportTypes[static_cast<std::size_t>(t)]) << t;
    }
    EXPECT_EQ(item(3)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(exportTypes[3]);
    toggle(0);
    for (int t : {1, 2, 4})
        EXPECT_EQ(item(t)->checkState(), Qt::Checked) << t;
    EXPECT_TRUE(exportTypes[1] && exportTypes[2] && exportTypes[4]);

    // A run exports what the list says: without type 2 no type2.txt.
    addTransaction(in / "a.nist");
    toggle(2);
    prepare(in, out);
    form.StartConversionButton->click();
    EXPECT_TRUE(fs::exists(out / "a.nist" / "type1.txt"));
    EXPECT_FALSE(fs::exists(out / "a.nist" / "type2.txt"));
}

TEST_F(BatchExtractorFormTest, RunOverATreeWithProgressAndSummary)
{
    addTransaction(in / "a.nist");
    addTransaction(in / "b.nist");
    addTransaction(in / "sub" / "c.nist");
    platform::writeWholeFile(in / "notes.txt", "not a transaction");
    QStringList labels;
    bool busyDuringRun = true;
    platform::setEventPump([&] {
        labels << form.ProgressLabel->text();
        busyDuringRun = busyDuringRun && !form.StartConversionButton->isEnabled() &&
                        !form.CloseButton->isEnabled() && form.StopConversionButton->isEnabled() &&
                        !mainForm.reader().decodeImages;
    });
    prepare(in, out);
    form.StartConversionButton->click();
    EXPECT_EQ(labels, (QStringList{"0 %", "0 %", "50 %"}));
    EXPECT_EQ(form.ProgressLabel->text(), "100 %");
    EXPECT_EQ(form.ProgressBar->value(), 100);
    EXPECT_TRUE(busyDuringRun);
    expectIdle();
    EXPECT_TRUE(fs::exists(out / "a.nist" / "type2.txt"));
    EXPECT_TRUE(fs::exists(out / "b.nist" / "type4.txt"));
    EXPECT_FALSE(fs::exists(out / "c.nist"));
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].caption, kSummaryCaption);
    EXPECT_EQ(prompter.entries[0].text, "2 files: 2 exported, 0 exported with problems, 0 failed.");
    EXPECT_EQ(prompter.entries[0].icon, platform::MessageIcon::Information);
    // The NIST viewer window shows the last file read, without thumbnails.
    EXPECT_TRUE(mainForm.reader().fingerprintBitmaps().empty());

    // With subdirectories and trailing separators: the subtree first, below out/sub.
    prompter.clear();
    labels.clear();
    fs::remove_all(out);
    fs::create_directories(out);
    prepare(in.string() + "/", out.string() + "/", true);
    form.StartConversionButton->click();
    EXPECT_TRUE(fs::exists(out / "sub" / "c.nist" / "type1.txt"));
    EXPECT_TRUE(fs::exists(out / "a.nist" / "type1.txt"));
    EXPECT_EQ(form.lastResult().foundFiles.front(), (in / "sub" / "c.nist").string());
    EXPECT_EQ(labels, (QStringList{"0 %", "0 %", "33 %", "66 %"}));
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"3 files: 3 exported, 0 exported with problems, 0 failed."});
}

TEST_F(BatchExtractorFormTest, TheNistViewerWindowStaysUsableDuringARun)
{
    addTransaction(in / "a.nist");
    addTransaction(in / "b.nist");
    const fs::path other = dir.path() / "other.nist";
    writeTransaction(other, {{2, 1, 96, 96}}, {{3, "other"}});
    int pumps = 0;
    bool enabled = true;
    std::size_t printsShown = 1;
    platform::setEventPump([&] {
        enabled = enabled && mainForm.isEnabled();
        // Between the two files the user opens a file in the NIST viewer window.
        if (++pumps == 2) {
            mainForm.FileOpen1Accept(other.string());
            printsShown = mainForm.reader().fingerprintBitmaps().size();
        }
    });
    mainForm.show();
    prepare(in, out);
    form.StartConversionButton->click();
    EXPECT_TRUE(enabled);
    // Shown without thumbnails; the run goes on with its next file.
    EXPECT_EQ(printsShown, 0u);
    EXPECT_TRUE(fs::exists(out / "b.nist" / "type1.txt"));
    EXPECT_FALSE(fs::exists(out / "other.nist"));
    EXPECT_EQ(prompter.texts().back(), "2 files: 2 exported, 0 exported with problems, 0 failed.");
    // Afterwards the window decodes again.
    mainForm.FileOpen1Accept(other.string());
    EXPECT_EQ(mainForm.reader().fingerprintBitmaps().size(), 1u);
}

TEST_F(BatchExtractorFormTest, NoMatchingFileEndsAtOnceAtOneHundred)
{
    fs::create_directories(in);
    prepare(in, out);
    form.StartConversionButton->click();
    EXPECT_EQ(form.ProgressLabel->text(), "100 %");
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"No matching files found."});
}

TEST_F(BatchExtractorFormTest, StopEndsTheRunAfterTheFileInHand)
{
    for (const char* name : {"1.nist", "2.nist", "3.nist", "4.nist", "5.nist"})
        addTransaction(in / name);
    int pumps = 0;
    bool idleRightAfterStop = false;
    platform::setEventPump([&] {
        // The click arrives while the second file is read; it is handled at
        // the next pause, after that file.
        if (++pumps == 3) {
            form.StopConversionButton->click();
            idleRightAfterStop = form.StartConversionButton->isEnabled() && !form.StopConversionButton->isEnabled();
            // Start is clickable again at once, but no second run starts inside this one.
            form.StartConversionButton->click();
        }
    });
    prepare(in, out);
    form.StartConversionButton->click();
    EXPECT_TRUE(idleRightAfterStop);
    EXPECT_TRUE(form.StopRequested());
    EXPECT_EQ(form.ProgressLabel->text(), "20 %");
    EXPECT_EQ(pumps, 3);
    EXPECT_TRUE(fs::exists(out / "2.nist"));
    EXPECT_FALSE(fs::exists(out / "3.nist"));
    expectIdle();
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"Stopped after 2 of 5 files: 2 exported, 0 exported with problems, 0 failed."});
}

TEST_F(BatchExtractorFormTest, DirectoryMessagesLeaveTheWindowIdle)
{
    fs::create_directories(in);
    addTransaction(in / "a.nist");
    const struct {
        fs::path input;
        std::string output;
        platform::Answer answer;
        std::string text;
        std::string caption;
    } cases[] = {
        {dir.path() / "nowhere", out.string(), platform::Answer::Ok, "Error: input directory does not exist.",
         "Error reading directory"},
        {in, "", platform::Answer::Ok, "Please enter output directory.", "Error reading directory"},
        {in, (dir.path() / "new").string(), platform::Answer::Cancel,
         "Selected output directory does not exist.\nDo you want to create this directory?", "Create directory"},
        // One level only: a missing parent makes the creation fail.
        {in, (dir.path() / "no" / "such").string(), platform::Answer::Ok,
         "Error: output directory cannot be created.", "Error creating directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        prompter.clear();
        prompter.answers = {c.answer};
        prepare(c.input, c.output);
        form.StartConversionButton->click();
        ASSERT_FALSE(prompter.entries.empty());
        EXPECT_EQ(prompter.entries.back().text, c.text);
        EXPECT_EQ(prompter.entries.back().caption, c.caption);
        EXPECT_EQ(prompter.entries.back().icon,
                  c.caption == "Create directory" ? platform::MessageIcon::Question : platform::MessageIcon::Error);
        if (!c.output.empty() && c.output != out.string()) {
            EXPECT_FALSE(fs::exists(c.output));
        }
        expectIdle();
    }
    // Answering OK creates the output directory and the run goes on.
    prompter.clear();
    prepare(in, dir.path() / "made");
    form.StartConversionButton->click();
    EXPECT_TRUE(fs::exists(dir.path() / "made" / "a.nist" / "type1.txt"));
    EXPECT_EQ(prompter.entries.back().text, "1 file: 1 exported, 0 exported with problems, 0 failed.");
}

TEST_F(BatchExtractorFormTest, SummaryNamesTheFilesThatFailedOrHadProblems)
{
    addTransaction(in / "a.nist");
    // A link to nothing is found like a file but cannot be read.
    fs::create_symlink(dir.path() / "gone.nist", in / "b.nist");
    // A transaction cut inside its fingerprint record is read partly.
    addTransaction(in / "c.nist");
    fs::resize_file(in / "c.nist", fs::file_size(in / "c.nist") - 40);
    prepare(in, out);
    form.StartConversionButton->click();
    ASSERT_FALSE(prompter.entries.empty());
    const auto& summary = prompter.entries.back();
    EXPECT_EQ(summary.caption, kSummaryCaption);
    EXPECT_EQ(summary.icon, platform::MessageIcon::Warning);
    const std::string b = (in / "b.nist").string();
    const std::string c = (in / "c.nist").string();
    EXPECT_EQ(summary.text.rfind("3 files: 1 exported, 1 exported with problems, 1 failed.\nFailed:\n" + b + ": ", 0),
              0u)
        << summary.text;
    EXPECT_NE(summary.text.find("\nExported with problems:\n" + c + ": read partly"), std::string::npos)
        << summary.text;
    EXPECT_FALSE(fs::exists(out / "b.nist"));
    EXPECT_TRUE(fs::exists(out / "c.nist" / "type1.txt"));
}

TEST(BatchSummaryText, LongListsAreCut)
{
    batch::NistBatchResult result;
    result.ran = true;
    for (int i = 0; i < 12; ++i) {
        batch::NistFileResult file;
        file.file = "f" + std::to_string(i) + ".nist";
        file.outcome = batch::FileOutcome::Failed;
        result.files.push_back(file);
    }
    const std::string text = batch::batchSummaryText(result);
    EXPECT_EQ(text.rfind("12 files: 0 exported, 0 exported with problems, 12 failed.\nFailed:\nf0.nist\nf1.nist", 0),
              0u);
    EXPECT_NE(text.find("\nf9.nist\n... and 2 more"), std::string::npos) << text;
    EXPECT_EQ(text.find("f10.nist"), std::string::npos);
}

TEST_F(BatchExtractorFormTest, AReadingErrorEndsTheRunAndRestoresDecoding)
{
    addTransaction(in / "a.nist");
    platform::writeWholeFile(in / "b.nist", "1.001:x\x1C");
    addTransaction(in / "c.nist");
    prepare(in, out);
    form.StartConversionButton->click();
    ASSERT_FALSE(prompter.entries.empty());
    ASSERT_GE(prompter.entries.size(), 2u);
    const auto& error = prompter.entries[prompter.entries.size() - 2];
    EXPECT_EQ(error.text, "'x' is not a valid integer value");
    EXPECT_EQ(error.caption, "NIST file viewer");
    // Then what the run did before the error.
    EXPECT_EQ(prompter.entries.back().text,
              "Ended by an error after 1 file: 1 exported, 0 exported with problems, 0 failed.");
    EXPECT_EQ(prompter.entries.back().icon, platform::MessageIcon::Warning);
    EXPECT_TRUE(fs::exists(out / "a.nist"));
    EXPECT_FALSE(fs::exists(out / "c.nist"));
    expectIdle();
}

TEST_F(BatchExtractorFormTest, TheNistViewerMenuShowsTheWindowModeless)
{
    mainForm.setToolWindows(&form, nullptr);
    mainForm.show();
    mainForm.MenuFileConverterNIST->trigger();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isModal());
    EXPECT_EQ(mainForm.MenuFileConverterNIST->text(), "NIST file batch extractor");
    // Help > About without a box does nothing.
    mainForm.MenuAboutNIST->trigger();
}
