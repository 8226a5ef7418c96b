#pragma once
// The WSQ and TIFF properties dialogs of the image viewer's save: created once,
// their field texts kept between uses, so one save's values are the next
// one's defaults. Cancel only puts back the values the dialog opened with; it
// does not cancel the save.
#include <QDialog>
#include <optional>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace viewer {

class TWSQDialog : public QDialog {
public:
    explicit TWSQDialog(QWidget* parent = nullptr);

    void FormShow();
    void CancelButtonClick();

    QLineEdit* BitrateEdit = nullptr;
    QLineEdit* ppiEdit = nullptr;
    QLineEdit* comment_textEdit = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

    // Escape and the window's close button cancel too.
    void reject() override { CancelButtonClick(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The values when the dialog was shown; a text that was not a number is
    // put back as it was.
    std::optional<double> shownBitrate_;
    std::optional<int> shownPpi_;
    QString shownBitrateText_;
    QString shownPpiText_;
    QString shownComment_;
};

class TTiffDialog : public QDialog {
public:
    explicit TTiffDialog(QWidget* parent = nullptr);

    void FormShow();
    void CancelButtonClick();
    // A compression was chosen: the predictor is editable for "ZIP" and "Macintosh".
    void CompressionBoxChange();

    QComboBox* CompressionBox = nullptr;
    QLineEdit* PredictorEdit = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

    void reject() override { CancelButtonClick(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString shownPredictor_;
    int shownCompression_ = 0;
};

}  // namespace viewer
