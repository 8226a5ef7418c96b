#pragma once
// The two hand drawings under the finger map, drawn by the program: a left and
// a right hand seen from the back, thumbs towards each other, fingers spread so
// that the thumbnail slots of the finger map fall on them.
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace app {

enum class Hand { Left, Right };

inline constexpr int kHandWidth = 300;
inline constexpr int kHandHeight = 373;

// 300 x 373 in 256 gray levels: a black silhouette with light finger nails on
// white. scale draws the same hand with that many pixels per unit (high-DPI
// screens), not an enlargement of the small one.
QImage drawHand(Hand hand, qreal scale = 1.0);
// The drawing for display: white becomes transparent, so the window colour
// shows around the hand; with lightOutline a light rim surrounds the
// silhouette (dark window colours). The pixmap carries devicePixelRatio.
QPixmap handPixmap(Hand hand, bool lightOutline = false, qreal devicePixelRatio = 1.0);
// Whether a window colour is dark enough to hide the black silhouette.
bool isDarkColour(const QColor& colour);

// A hand drawing on the finger map; redrawn when the window colour or the
// screen's pixel ratio changes.
class HandImage : public QWidget {
public:
    HandImage(Hand hand, QWidget* parent);
    // The pixmap as it is shown now.
    const QPixmap& pixmap();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Hand hand_;
    QPixmap pixmap_;
    bool shownOutline_ = false;
    qreal shownRatio_ = 0;
};

}  // namespace app
