#pragma once
// The two hand drawings under the finger map, drawn by the program: a left and
// a right hand seen from the back, thumbs towards each other, fingers spread so
// that the thumbnail slots of the finger map fall on them.
#include <QImage>
#include <QPixmap>

namespace app {

enum class Hand { Left, Right };

inline constexpr int kHandWidth = 300;
inline constexpr int kHandHeight = 373;

// 300 x 373 in 256 gray levels: a black silhouette with light finger nails on white.
QImage drawHand(Hand hand);
// The drawing for display: white becomes transparent.
QPixmap handPixmap(Hand hand);

}  // namespace app
