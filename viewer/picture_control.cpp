#include "viewer/picture_control.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "qt/command_guard.h"
#include "viewer/viewer_glyphs.h"

namespace viewer {

PictureControl::PictureControl(QWidget* parent) : QWidget(parent)
{
    // Moves without a button end a pan, so they must arrive too.
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureControl::setPicture(QImage picture)
{
    picture_ = std::move(picture);
    setAttribute(Qt::WA_OpaquePaintEvent, !picture_.isNull());
    update();
}

void PictureControl::setCursorNumber(int number)
{
    cursorNumber_ = number;
    setCursor(viewerCursor(number));
}

void PictureControl::paintEvent(QPaintEvent* event)
{
    if (picture_.isNull())
        return;
    // Only the exposed part: a pan exposes a strip, not the whole picture.
    QPainter painter(this);
    const QRect area = event->rect();
    painter.drawImage(area.topLeft(), picture_, area);
}

void PictureControl::mousePressEvent(QMouseEvent* event)
{
    if (onMouseDown)
        app::runCommand([&] { onMouseDown(event); });
}

void PictureControl::mouseMoveEvent(QMouseEvent* event)
{
    if (onMouseMove)
        app::runCommand([&] { onMouseMove(event); });
}

void PictureControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (onMouseUp)
        app::runCommand([&] { onMouseUp(event); });
}

}  // namespace viewer
