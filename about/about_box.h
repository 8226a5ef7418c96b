#pragma once
// The make both About boxes share: title, description, the maker's logo, the
// link to the maker's web address, the system summary and "OK".
#include <QDialog>
#include <QRect>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace platform {
class SystemInfo;
}

namespace about {

// Shown by the link and as the last description line.
inline constexpr const char* kMakerWebAddress = "http://www.veltrano.example/";
inline constexpr int kAboutHeight = 268;

// Where each control of a box sits.
struct AboutLayout {
    int width;
    QRect title;
    QRect description;
    QRect logo;
    QRect webLink;
    QRect systemSummary;
    QRect okButton;
};

class AboutBox : public QDialog {
public:
    AboutBox(const char* title, std::vector<const char*> description, const AboutLayout& layout,
             QWidget* parent = nullptr);

    void FormShow();
    void Button1Click();
    void LabelWebLinkClick();
    // The six summary lines of the running system, or of a given one.
    void FillSystemSummary();
    void FillSystemSummary(const platform::SystemInfo& info);

    // Hands a web address to the desktop; false when no browser could be
    // started. Replaceable so that tests start none.
    std::function<bool(const QString& address)> openWebAddress;

    QLabel* LabelProgramDescription2 = nullptr;
    QPlainTextEdit* ProgramDescriptionMemo = nullptr;
    QLabel* CompanyLogoImage = nullptr;
    QLabel* LabelWebLink = nullptr;
    QPlainTextEdit* SysInfoMemo = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<const char*> description_;
};

// The maker's logo, 225 x 81, drawn by the program.
QPixmap makerLogo();

}  // namespace about
