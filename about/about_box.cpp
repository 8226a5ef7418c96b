#include "about/about_box.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>

#include "qt/qt_text.h"
#include "qt/window_placement.h"
#include "platform/prompter.h"
#include "platform/system_info.h"

namespace about {

AboutBox::AboutBox(const char* title, std::vector<const char*> description, const AboutLayout& layout,
                   QWidget* parent)
    : QDialog(parent), description_(std::move(description))
{
    setWindowTitle(QStringLiteral("About"));
    setAttribute(Qt::WA_QuitOnClose, false);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    openWebAddress = [](const QString& address) { return QDesktopServices::openUrl(QUrl(address)); };

    LabelProgramDescription2 = new QLabel(QString::fromLatin1(title), this);
    LabelProgramDescription2->setObjectName(QStringLiteral("LabelProgramDescription2"));
    QFont titleFont(QStringLiteral("Times New Roman"));
    titleFont.setPixelSize(21);
    LabelProgramDescription2->setFont(titleFont);
    LabelProgramDescription2->setGeometry(layout.title);

    ProgramDescriptionMemo = new QPlainTextEdit(this);
    ProgramDescriptionMemo->setObjectName(QStringLiteral("ProgramDescriptionMemo"));
    ProgramDescriptionMemo->setGeometry(layout.description);
    ProgramDescriptionMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ProgramDescriptionMemo->setReadOnly(true);

    CompanyLogoImage = new QLabel(this);
    CompanyLogoImage->setObjectName(QStringLiteral("CompanyLogoImage"));
    CompanyLogoImage->setGeometry(layout.logo);
    CompanyLogoImage->setAlignment(Qt::AlignCenter);
    CompanyLogoImage->setAttribute(Qt::WA_TranslucentBackground);
    CompanyLogoImage->setPixmap(makerLogo());

    LabelWebLink = new QLabel(QString::fromLatin1(kMakerWebAddress), this);
    LabelWebLink->setObjectName(QStringLiteral("LabelWebLink"));
    LabelWebLink->setGeometry(layout.webLink);
    QFont linkFont = font;
    linkFont.setPixelSize(16);
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    LabelWebLink->setFont(linkFont);
    QPalette linkPalette = LabelWebLink->palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    LabelWebLink->setPalette(linkPalette);
    LabelWebLink->setCursor(Qt::PointingHandCursor);
    LabelWebLink->installEventFilter(this);

    SysInfoMemo = new QPlainTextEdit(this);
    SysInfoMemo->setObjectName(QStringLiteral("SysInfoMemo"));
    SysInfoMemo->setGeometry(layout.systemSummary);
    SysInfoMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SysInfoMemo->setReadOnly(true);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(layout.okButton);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    setFixedSize(layout.width, kAboutHeight);
}

void AboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == LabelWebLink && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        LabelWebLinkClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void AboutBox::FormShow()
{
    ProgramDescriptionMemo->clear();
    for (const char* line : description_)
        ProgramDescriptionMemo->appendPlainText(QString::fromLatin1(line));
    ProgramDescriptionMemo->appendPlainText(QString::fromLatin1(kMakerWebAddress));
    ProgramDescriptionMemo->moveCursor(QTextCursor::Start);
    FillSystemSummary();
    centerOnScreen(*this);
}

void AboutBox::Button1Click()
{
    close();
}

void AboutBox::LabelWebLinkClick()
{
    if (!openWebAddress(QString::fromLatin1(kMakerWebAddress)))
        platform::showMessage("Unable to start web browser.");
}

void AboutBox::FillSystemSummary()
{
    FillSystemSummary(platform::SystemInfo());
}

void AboutBox::FillSystemSummary(const platform::SystemInfo& info)
{
    SysInfoMemo->clear();
    for (const std::string& line : platform::systemSummaryLines(info))
        SysInfoMemo->appendPlainText(app::fromSystemText(line));
    SysInfoMemo->moveCursor(QTextCursor::Start);
}

QPixmap makerLogo()
{
    QPixmap logo(225, 81);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    // A fingerprint-like whorl of arcs beside the maker's name.
    painter.setPen(QPen(QColor(0x1F, 0x3A, 0x68), 3, Qt::SolidLine, Qt::RoundCap));
    const QPointF centre(40, 40);
    for (int r = 6; r <= 30; r += 6)
        painter.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 30 * 16 + r * 40, 290 * 16);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(34);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(78, 0, 147, 81), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Veltrano"));
    return logo;
}

}  // namespace about
