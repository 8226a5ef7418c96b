#include "viewer/viewer_glyphs.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cstring>
#include <map>

namespace viewer {

namespace {

QPixmap blankPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// White hand with a black outline; fingers straight up (open) or curled (fist).
QPixmap drawHand(bool closed)
{
    QPixmap pixmap = blankPixmap(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.addRoundedRect(QRectF(8, 14, 17, 13), 5, 5);
    const qreal fingerTop = closed ? 11 : 4;
    for (int i = 0; i < 4; ++i) {
        const qreal x = 8.5 + i * 4.2;
        const qreal top = fingerTop + (i == 0 || i == 3 ? 2 : 0);
        hand.addRoundedRect(QRectF(x, top, 4, 18 - top + 2), 2, 2);
    }
    // Thumb on the left, pointing out.
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(2, closed ? 15 : 12, 9, 4), 2, 2);
    hand = hand.united(thumb);
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(hand.simplified());
    return pixmap;
}

QPixmap drawMagnifier(bool plus, int size, bool forCursor)
{
    QPixmap pixmap = blankPixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    const QRectF lens(3 * s, 3 * s, 18 * s, 18 * s);
    p.setPen(QPen(Qt::black, 4 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19 * s, 19 * s), QPointF(28 * s, 28 * s));
    p.setPen(QPen(Qt::black, 2 * s));
    p.setBrush(forCursor ? QColor(Qt::white) : QColor(230, 240, 255));
    p.drawEllipse(lens);
    p.setPen(QPen(Qt::black, 2.2 * s, Qt::SolidLine, Qt::FlatCap));
    const QPointF c = lens.center();
    p.drawLine(QPointF(c.x() - 5 * s, c.y()), QPointF(c.x() + 5 * s, c.y()));
    if (plus)
        p.drawLine(QPointF(c.x(), c.y() - 5 * s), QPointF(c.x(), c.y() + 5 * s));
    return pixmap;
}

QPixmap drawFitView()
{
    QPixmap pixmap = blankPixmap(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(230, 240, 255));
    p.drawRect(QRectF(9, 9, 14, 14));
    // Four corner arrows pointing outwards.
    p.setBrush(Qt::black);
    const QPointF corners[4] = {{3, 3}, {29, 3}, {3, 29}, {29, 29}};
    for (const QPointF& corner : corners) {
        const qreal dx = corner.x() < 16 ? 1 : -1;
        const qreal dy = corner.y() < 16 ? 1 : -1;
        QPolygonF arrow;
        arrow << corner << QPointF(corner.x() + 7 * dx, corner.y()) << QPointF(corner.x(), corner.y() + 7 * dy);
        p.drawPolygon(arrow);
    }
    return pixmap;
}

QPixmap drawOriginalSize()
{
    QPixmap pixmap = blankPixmap(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(230, 240, 255));
    p.drawRect(QRectF(3, 5, 26, 22));
    QFont font;
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(3, 5, 26, 22), Qt::AlignCenter, QStringLiteral("1:1"));
    return pixmap;
}

QPixmap drawArrow(bool up)
{
    QPixmap pixmap = blankPixmap(12);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    QPolygonF arrow;
    if (up)
        arrow << QPointF(2, 8) << QPointF(10, 8) << QPointF(6, 3);
    else
        arrow << QPointF(2, 4) << QPointF(10, 4) << QPointF(6, 9);
    p.drawPolygon(arrow);
    return pixmap;
}

std::map<int, QCursor>& cursorTable()
{
    static std::map<int, QCursor> table;
    return table;
}

}  // namespace

void registerViewerCursors()
{
    auto& table = cursorTable();
    if (!table.empty())
        return;
    // Pixmaps must go before the application that made them.
    qAddPostRoutine([] { cursorTable().clear(); });
    table.emplace(kCursorHandGrabber, QCursor(drawHand(false), 16, 16));
    table.emplace(kCursorHandGrabberFist, QCursor(drawHand(true), 16, 16));
    // The hot spot is the middle of the lens.
    table.emplace(kCursorZoomIn, QCursor(drawMagnifier(true, 32, true), 12, 12));
    table.emplace(kCursorZoomOut, QCursor(drawMagnifier(false, 32, true), 12, 12));
}

QCursor viewerCursor(int number)
{
    registerViewerCursors();
    const auto& table = cursorTable();
    const auto it = table.find(number);
    return it != table.end() ? it->second : QCursor(Qt::ArrowCursor);
}

QIcon viewerGlyph(const char* name)
{
    if (std::strcmp(name, "MORE_SETTINGS_ARROW_UP") == 0)
        return QIcon(drawArrow(true));
    if (std::strcmp(name, "MORE_SETTINGS_ARROW_DOWN") == 0)
        return QIcon(drawArrow(false));
    if (std::strcmp(name, "ZOOM_IN_GLYPH") == 0)
        return QIcon(drawMagnifier(true, 32, false));
    if (std::strcmp(name, "ZOOM_OUT_GLYPH") == 0)
        return QIcon(drawMagnifier(false, 32, false));
    if (std::strcmp(name, "FIT_VIEW_GLYPH") == 0)
        return QIcon(drawFitView());
    if (std::strcmp(name, "ORIGINAL_SIZE_GLYPH") == 0)
        return QIcon(drawOriginalSize());
    return QIcon();
}

}  // namespace viewer
