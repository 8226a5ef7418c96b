#pragma once
// The image viewer's picture control (OutputImage): shows the displayed bitmap,
// which always has the control's own size, and hands its mouse events to the
// window.
#include <QImage>
#include <QWidget>
#include <functional>

namespace viewer {

class PictureControl : public QWidget {
public:
    explicit PictureControl(QWidget* parent = nullptr);

    // The displayed bitmap; a null image shows nothing.
    void setPicture(QImage picture);
    const QImage& picture() const { return picture_; }
    bool hasPicture() const { return !picture_.isNull(); }

    // Cursor by its application-wide number (1 to 4).
    void setCursorNumber(int number);
    int cursorNumber() const { return cursorNumber_; }

    std::function<void(QMouseEvent*)> onMouseDown;
    std::function<void(QMouseEvent*)> onMouseMove;
    std::function<void(QMouseEvent*)> onMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    int cursorNumber_ = 0;
};

}  // namespace viewer
