#include "viewer/properties_dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "platform/conversion.h"
#include "qt/window_placement.h"
#include "viewer/properties_fields.h"
#include "viewer/typed_key_filter.h"

namespace viewer {

namespace {

// An edit with its label above it, as a labelled edit shows it.
QLineEdit* labelledEdit(QDialog* dialog, const char* label, QRect editRect)
{
    auto* caption = new QLabel(QString::fromLatin1(label), dialog);
    caption->setGeometry(editRect.x(), editRect.y() - 16, editRect.width(), 15);
    auto* edit = new QLineEdit(dialog);
    edit->setGeometry(editRect);
    caption->setBuddy(edit);
    return edit;
}

void addButtons(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel, int y)
{
    ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setGeometry(dialog->width() - 169, y, 75, 25);
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setGeometry(dialog->width() - 84, y, 75, 25);
}

}  // namespace

TWSQDialog::TWSQDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("WSQ Properties"));
    setFixedSize(313, 148);
    BitrateEdit = labelledEdit(this, "Bitrate", QRect(8, 24, 140, 22));
    ppiEdit = labelledEdit(this, "Pixels per inch (ppi)", QRect(164, 24, 140, 22));
    comment_textEdit = labelledEdit(this, "Comment text", QRect(8, 72, 296, 22));
    BitrateEdit->setText(QString::fromStdString(formatBitrate(0.75)));
    ppiEdit->setText(QStringLiteral("500"));
    comment_textEdit->setText(QStringLiteral("Veltrano"));
    TypedKeyFilter::install(BitrateEdit, acceptBitrateKey);
    TypedKeyFilter::install(ppiEdit, acceptDigitsKey);
    addButtons(this, OKButton, CancelButton, 112);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
}

void TWSQDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TWSQDialog::FormShow()
{
    centerOnScreen(*this);
    shownBitrateText_ = BitrateEdit->text();
    shownPpiText_ = ppiEdit->text();
    shownComment_ = comment_textEdit->text();
    try {
        shownBitrate_ = parseBitrate(shownBitrateText_.toStdString());
    } catch (const std::exception&) {
        shownBitrate_.reset();
    }
    const auto ppi = platform::tryStrToInt(shownPpiText_.toStdString());
    shownPpi_ = ppi ? std::optional<int>(*ppi) : std::nullopt;
}

void TWSQDialog::CancelButtonClick()
{
    BitrateEdit->setText(shownBitrate_ ? QString::fromStdString(formatBitrate(*shownBitrate_)) : shownBitrateText_);
    ppiEdit->setText(shownPpi_ ? QString::number(*shownPpi_) : shownPpiText_);
    comment_textEdit->setText(shownComment_);
    QDialog::reject();
}

TTiffDialog::TTiffDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("TIFF Properties"));
    setFixedSize(313, 109);
    auto* compressionLabel = new QLabel(QStringLiteral("Compression"), this);
    compressionLabel->setGeometry(8, 8, 140, 15);
    CompressionBox = new QComboBox(this);
    CompressionBox->setGeometry(8, 24, 140, 22);
    CompressionBox->addItems({QStringLiteral("None"), QStringLiteral("ZIP"), QStringLiteral("Macintosh")});
    compressionLabel->setBuddy(CompressionBox);
    PredictorEdit = labelledEdit(this, "Predictor", QRect(164, 24, 140, 22));
    PredictorEdit->setText(QStringLiteral("2"));
    TypedKeyFilter::install(PredictorEdit, acceptDigitsKey);
    CompressionBox->setCurrentIndex(0);
    CompressionBoxChange();
    connect(CompressionBox, &QComboBox::currentIndexChanged, this, [this] { CompressionBoxChange(); });
    addButtons(this, OKButton, CancelButton, 72);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
}

void TTiffDialog::CompressionBoxChange()
{
    const QString choice = CompressionBox->currentText();
    const bool editable = choice == QLatin1String("ZIP") || choice == QLatin1String("Macintosh");
    PredictorEdit->setReadOnly(!editable);
    PredictorEdit->setEnabled(editable);
    QPalette colours = PredictorEdit->palette();
    colours.setColor(QPalette::Base, palette().color(editable ? QPalette::Base : QPalette::Button));
    PredictorEdit->setPalette(colours);
}

void TTiffDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TTiffDialog::FormShow()
{
    centerOnScreen(*this);
    shownPredictor_ = PredictorEdit->text();
    shownCompression_ = CompressionBox->currentIndex();
}

void TTiffDialog::CancelButtonClick()
{
    PredictorEdit->setText(shownPredictor_);
    CompressionBox->setCurrentIndex(shownCompression_);
    QDialog::reject();
}

}  // namespace viewer
