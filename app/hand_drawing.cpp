#include "app/hand_drawing.h"

#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <vector>

namespace app {

namespace {

constexpr int kSilhouette = 0x20;
constexpr int kNail = 0xC8;

struct Finger {
    QPointF base;
    QPointF tip;
    qreal width;
};

// The left hand; its thumb points right. The right hand is its mirror image.
// Tips lie inside the thumbnail slots of the finger map: the slots are placed
// over the finger tips, partly above and beside the drawing.
const Finger kFingers[] = {
    {{92, 222}, {22, 132}, 34},    // little
    {{118, 195}, {62, 38}, 40},    // ring
    {{152, 185}, {150, 14}, 42},   // middle
    {{190, 195}, {232, 40}, 40},   // index
    {{200, 275}, {272, 160}, 46},  // thumb
};

QPainterPath fingerPath(const Finger& f)
{
    // A capsule from base to tip: a rounded rectangle rotated along the finger.
    const QLineF axis(f.base, f.tip);
    QPainterPath path;
    path.addRoundedRect(QRectF(-f.width / 2, -f.width / 2, axis.length() + f.width, f.width), f.width / 2,
                        f.width / 2);
    QTransform t;
    t.translate(f.base.x(), f.base.y());
    t.rotate(-axis.angle());
    return t.map(path);
}

void drawNail(QPainter& painter, const Finger& f)
{
    const QLineF axis(f.base, f.tip);
    const QLineF back = QLineF(f.tip, f.base).unitVector();
    const qreal inset = f.width * 0.45;
    const QPointF centre(f.tip.x() + (back.dx()) * inset, f.tip.y() + (back.dy()) * inset);
    painter.save();
    painter.translate(centre);
    painter.rotate(-axis.angle());
    painter.setBrush(QColor(kNail, kNail, kNail));
    painter.drawRoundedRect(QRectF(-f.width * 0.36, -f.width * 0.28, f.width * 0.72, f.width * 0.56),
                            f.width * 0.2, f.width * 0.2);
    painter.restore();
}

}  // namespace

QImage drawHand(Hand hand, qreal scale)
{
    QImage canvas(qRound(kHandWidth * scale), qRound(kHandHeight * scale), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        painter.setPen(Qt::NoPen);
        QPainterPath silhouette;
        silhouette.addRoundedRect(QRectF(70, 170, 164, 165), 56, 56);  // palm
        QPainterPath wrist;
        wrist.addRoundedRect(QRectF(100, 290, 106, 110), 24, 24);  // cut by the bottom edge
        silhouette = silhouette.united(wrist);
        for (const Finger& f : kFingers)
            silhouette = silhouette.united(fingerPath(f));
        painter.setBrush(QColor(kSilhouette, kSilhouette, kSilhouette));
        painter.drawPath(silhouette.simplified());
        for (const Finger& f : kFingers)
            drawNail(painter, f);
    }
    QImage gray = canvas.convertToFormat(QImage::Format_Grayscale8);
    return hand == Hand::Left ? gray : gray.mirrored(true, false);
}

namespace {

constexpr QRgb kOutline = 0xFFD8D8D8;

// Silhouette pixels widened by radius in both directions (a square max filter,
// done as two one-dimensional passes).
std::vector<uchar> widenedMask(const QImage& gray, int radius)
{
    const int w = gray.width();
    const int h = gray.height();
    std::vector<uchar> mask(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const uchar* in = gray.constScanLine(y);
        for (int x = 0; x < w; ++x)
            mask[static_cast<std::size_t>(y) * w + x] = in[x] != 255;
    }
    std::vector<uchar> rows(mask.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uchar any = 0;
            for (int dx = -radius; dx <= radius && !any; ++dx)
                if (x + dx >= 0 && x + dx < w)
                    any = mask[static_cast<std::size_t>(y) * w + x + dx];
            rows[static_cast<std::size_t>(y) * w + x] = any;
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uchar any = 0;
            for (int dy = -radius; dy <= radius && !any; ++dy)
                if (y + dy >= 0 && y + dy < h)
                    any = rows[static_cast<std::size_t>(y + dy) * w + x];
            mask[static_cast<std::size_t>(y) * w + x] = any;
        }
    return mask;
}

}  // namespace

QPixmap handPixmap(Hand hand, bool lightOutline, qreal devicePixelRatio)
{
    const QImage gray = drawHand(hand, devicePixelRatio);
    std::vector<uchar> rim;
    if (lightOutline)
        rim = widenedMask(gray, std::max(1, qRound(2 * devicePixelRatio)));
    QImage display(gray.size(), QImage::Format_ARGB32);
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* in = gray.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(display.scanLine(y));
        for (int x = 0; x < gray.width(); ++x) {
            if (in[x] != 255)
                out[x] = qRgb(in[x], in[x], in[x]);
            else if (!rim.empty() && rim[static_cast<std::size_t>(y) * gray.width() + x])
                out[x] = kOutline;
            else
                out[x] = qRgba(255, 255, 255, 0);
        }
    }
    QPixmap pixmap = QPixmap::fromImage(display);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

bool isDarkColour(const QColor& colour)
{
    return colour.lightness() < 128;
}

HandImage::HandImage(Hand hand, QWidget* parent) : QWidget(parent), hand_(hand)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

const QPixmap& HandImage::pixmap()
{
    const bool outline = isDarkColour(palette().color(QPalette::Window));
    const qreal ratio = devicePixelRatioF();
    if (pixmap_.isNull() || outline != shownOutline_ || ratio != shownRatio_) {
        pixmap_ = handPixmap(hand_, outline, ratio);
        shownOutline_ = outline;
        shownRatio_ = ratio;
    }
    return pixmap_;
}

void HandImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, pixmap());
}

}  // namespace app
