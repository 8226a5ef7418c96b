#include "app/finger_map.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "qt/command_guard.h"
#include "app/hand_drawing.h"
#include "qt/qt_bitmap.h"
#include "qt/qt_text.h"
#include "platform/conversion.h"

namespace app {

namespace {

// Thumbnail slots by finger position 1 to 14; each label sits 4 right and 8
// below its thumbnail's corner.
const QPoint kThumbnailOrigins[kFingerPositions] = {
    {384, 160}, {408, 24}, {512, 0},   {616, 32},  {664, 136}, {280, 160}, {256, 24},
    {152, 0},   {48, 32},  {0, 136},   {384, 264}, {280, 264}, {528, 232}, {136, 232},
};
const QPoint kLabelOffset(4, 8);
const QRect kLeftHandRect(56, 64, 305, 385);
const QRect kRightHandRect(408, 64, 305, 385);
const QRect kCheckBoxRect(288, 432, 201, 17);

}  // namespace

FingerprintThumbnail::FingerprintThumbnail(int position, QWidget* parent) : QWidget(parent), position_(position)
{
    setCursor(Qt::PointingHandCursor);
    resize(0, 0);
}

void FingerprintThumbnail::setPicture(QImage picture)
{
    picture_ = std::move(picture);
    rescale();
    update();
}

void FingerprintThumbnail::rescale()
{
    scaledRatio_ = devicePixelRatioF();
    scaled_ = thumbnailImage(picture_, size(), scaledRatio_);
}

void FingerprintThumbnail::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    rescale();
}

void FingerprintThumbnail::paintEvent(QPaintEvent*)
{
    // The window may have moved to a screen of another pixel ratio.
    if (devicePixelRatioF() != scaledRatio_)
        rescale();
    if (scaled_.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), scaled_);
}

void FingerprintThumbnail::press()
{
    if (onMouseDown)
        runCommand([&] { onMouseDown(position_); });
}

void FingerprintThumbnail::click()
{
    if (onClick)
        runCommand([&] { onClick(position_); });
}

void FingerprintThumbnail::requestContextMenu(QPoint globalPos)
{
    if (onContextMenu)
        runCommand([&] { onContextMenu(position_, globalPos); });
}

void FingerprintThumbnail::mousePressEvent(QMouseEvent* event)
{
    press();
    event->accept();
}

void FingerprintThumbnail::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        click();
}

void FingerprintThumbnail::contextMenuEvent(QContextMenuEvent* event)
{
    requestContextMenu(event->globalPos());
}

FingerMap::FingerMap(QWidget* parent) : QWidget(parent)
{
    // The drawings lie beneath everything else: created first.
    Image15 = new HandImage(Hand::Left, this);
    Image15->setObjectName(QStringLiteral("Image15"));
    Image15->setGeometry(kLeftHandRect);
    Image16 = new HandImage(Hand::Right, this);
    Image16->setObjectName(QStringLiteral("Image16"));
    Image16->setGeometry(kRightHandRect);

    for (int n = 1; n <= kFingerPositions; ++n) {
        auto* thumbnail = new FingerprintThumbnail(n, this);
        thumbnail->setObjectName(QStringLiteral("Image%1").arg(n));
        thumbnail->move(thumbnailOrigin(n));
        thumbnails_[n - 1] = thumbnail;
    }
    // Labels above the thumbnails, opaque in the window colour, in a small
    // font so that neighbouring labels stay clear of each other. A press or a
    // click on a label is one on its thumbnail.
    QFont small = font();
    if (small.pointSizeF() > 0)
        small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    else
        small.setPixelSize(std::max(8, small.pixelSize() * 4 / 5));
    for (int n = 1; n <= kFingerPositions; ++n) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("wsqLabel%1").arg(n));
        label->setAutoFillBackground(true);
        label->setBackgroundRole(QPalette::Window);
        label->setFont(small);
        label->setWordWrap(true);
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
        label->move(thumbnailOrigin(n) + kLabelOffset);
        label->hide();
        labels_[n - 1] = label;
    }
    ShowFingerprintInfoCheckBox = new QCheckBox(QStringLiteral("Show fingerprint information"), this);
    ShowFingerprintInfoCheckBox->setGeometry(kCheckBoxRect);
    ShowFingerprintInfoCheckBox->adjustSize();
    ShowFingerprintInfoCheckBox->setChecked(true);
    connect(ShowFingerprintInfoCheckBox, &QCheckBox::clicked, this, [this] { ShowFingerprintInfoCheckBoxClick(); });
}

QPoint FingerMap::thumbnailOrigin(int position)
{
    return kThumbnailOrigins[position - 1];
}

int FingerMap::placeFingerprint(const platform::Bitmap& bitmap, const nist::T_T4& record)
{
    const auto fgp = platform::tryStrToInt(record.FGP);
    if (!fgp || *fgp < 1 || *fgp > kFingerPositions)
        return 0;
    placePrint(*fgp, bitmap, nist::displayAspect(record), fingerprintLabelText(record));
    return *fgp;
}

void FingerMap::placePrint(int position, const platform::Bitmap& bitmap, double aspect, const std::string& labelText)
{
    FingerprintThumbnail* thumb = thumbnails_[position - 1];
    // The top-left corner stays where it is.
    thumb->resize(thumbnailSize(aspect));
    thumb->setPicture(toQImage(bitmap));
    QLabel* label = labels_[position - 1];
    label->setText(fromSystemText(labelText));
    fitLabel(*label);
    label->setVisible(ShowFingerprintInfoCheckBox->isChecked());
}

void FingerMap::clear()
{
    for (FingerprintThumbnail* thumb : thumbnails_) {
        thumb->setPicture(QImage());
        thumb->resize(0, 0);
    }
    for (QLabel* label : labels_) {
        label->clear();
        label->hide();
    }
}

void FingerMap::ShowFingerprintInfoCheckBoxClick()
{
    const bool show = ShowFingerprintInfoCheckBox->isChecked();
    for (QLabel* label : labels_)
        if (!label->text().isEmpty())
            label->setVisible(show);
}

void FingerMap::fitLabel(QLabel& label) const
{
    const QFontMetrics metrics(label.font());
    int widest = 0;
    for (const QString& line : label.text().split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const int frame = 2 * (label.margin() + label.frameWidth());
    const int width = std::min(kLabelMaxWidth, widest + frame + 1);
    label.resize(width, label.heightForWidth(width));
}

bool FingerMap::eventFilter(QObject* watched, QEvent* event)
{
    for (int n = 1; n <= kFingerPositions; ++n) {
        if (watched != labels_[n - 1])
            continue;
        FingerprintThumbnail* thumb = thumbnails_[n - 1];
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            thumb->press();
            return true;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && labels_[n - 1]->rect().contains(mouse->position().toPoint()))
                thumb->click();
            return true;
        }
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::ContextMenu:
            thumb->requestContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        default:
            return false;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QImage thumbnailImage(const QImage& picture, QSize size, qreal devicePixelRatio)
{
    if (picture.isNull() || size.isEmpty())
        return QImage();
    QImage scaled = picture.scaled(size * devicePixelRatio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(devicePixelRatio);
    return scaled;
}

QSize thumbnailSize(double aspect)
{
    if (aspect > 1)
        return QSize(kThumbnailSize, static_cast<int>(std::trunc(kThumbnailSize / aspect)));
    return QSize(static_cast<int>(std::trunc(kThumbnailSize * aspect)), kThumbnailSize);
}

std::string fingerprintLabelText(const nist::T_T4& record)
{
    return nist::fingerPositionName(record.FGP) + "\n" + nist::impressionTypeName(record.IMP) + "\n" + record.HLL +
           "x" + record.VLL;
}

}  // namespace app
