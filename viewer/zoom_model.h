#pragma once
// The image viewer's display arithmetic without any window: where the displayed
// picture sits in the scroll box and how large it is, after zooming, fitting,
// point zooming and panning. The window applies the result and re-renders.
#include <stdexcept>
#include <string>
#include <string_view>

namespace viewer {

// Zoom steps stop before the displayed picture reaches this many pixels on a side.
inline constexpr int kZoomInLimit = 2048;
// Zooming out stops before a side would drop to this many pixels or fewer.
inline constexpr int kZoomOutLimit = 10;
// Fitting leaves this many pixels of the scroll box around the picture (both sides together).
inline constexpr int kFitMargin = 50;

inline constexpr double kInitialZoomScale = 1.3;
inline constexpr double kMinZoomScale = 1.0;
inline constexpr double kMaxZoomScale = 2.0;
inline constexpr int kTrackBarMax = 10;
// One notch of a mouse wheel, in the eighths of a degree wheel events count.
inline constexpr int kWheelNotch = 120;

// One scroll bar of the scroll box: shown while the picture is larger than
// the view along its axis. The value is the scrolled distance (-left or
// -top); the range always holds it, so the bar stays in step with a picture
// that a zoom or a pan placed anywhere.
struct ScrollBarState {
    bool shown = false;
    int minimum = 0;
    int maximum = 0;
    int pageStep = 0;
    int value = 0;
    bool operator==(const ScrollBarState&) const = default;
};

class ZoomModel {
public:
    enum class Step { Ignored, Armed, Zoomed };

    // A new picture: its size becomes the source size and the displayed size.
    void setSource(int width, int height);
    bool hasPicture() const { return sourceWidth_ > 0 && sourceHeight_ > 0; }
    int sourceWidth() const { return sourceWidth_; }
    int sourceHeight() const { return sourceHeight_; }
    double aspectRatio() const { return aspectRatio_; }

    // The scroll box the picture is shown in (its outer size).
    void setBoxSize(int width, int height);
    int boxWidth() const { return boxWidth_; }
    int boxHeight() const { return boxHeight_; }

    // Position and size of the displayed picture inside the scroll box.
    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }

    double zoomScale() const { return zoomScale_; }
    void setZoomScale(double scale) { zoomScale_ = scale; }
    bool pointZoomArmed() const { return pointZoomArmed_; }
    bool pointZoomOut() const { return pointZoomOut_; }

    // Centres the displayed picture; false (nothing changed) without a picture.
    bool centerView();
    // One zoom step about the picture's centre, or arming a point zoom when
    // zoomSelectedPoint is set. Ignored past the size limits or without a picture.
    Step zoomIn(bool zoomSelectedPoint);
    Step zoomOut(bool zoomSelectedPoint);
    // Largest size with the picture's aspect that leaves the fit margin, centred.
    void fitView();
    // Back to the source size, centred.
    void originalSize();
    // A press at (x, y) in picture coordinates: performs an armed point zoom so
    // that the pressed point lands in the middle of the scroll box. True when
    // the picture changed.
    bool pointZoomPress(int x, int y, bool zoomSelectedPoint);
    // Moves the displayed picture (a drag of the picture). The move stops at
    // the picture's edges: a picture larger than the view never uncovers the
    // box beyond its border, a smaller one never leaves the view. A picture
    // that is already beyond those limits may move back, never further out.
    void panBy(int dx, int dy);
    // One zoom step about a point of the scroll box (a wheel notch at the
    // pointer): the same scale and limits as zoomIn and zoomOut, and the
    // picture point under (boxX, boxY) stays there. Never arms a point zoom.
    Step zoomAt(int boxX, int boxY, bool zoomIn);

    // Scroll bars: their thickness, and the part of the box they leave for
    // the picture. A bar is shown along an axis where the picture is larger
    // than the view; showing one narrows the view for the other.
    void setScrollBarExtent(int extent) { scrollBarExtent_ = extent; }
    ScrollBarState horizontalScrollBar() const;
    ScrollBarState verticalScrollBar() const;
    int viewWidth() const;
    int viewHeight() const;
    // A scroll bar moved to value: the picture follows it.
    void scrollHorizontallyTo(int value) { left_ = -value; }
    void scrollVerticallyTo(int value) { top_ = -value; }

    // Displayed size over source size (by the width), 0 without a picture.
    double zoomFactor() const;
    // Whether the picture at its own size is larger than the scroll box.
    bool sourceLargerThanBox() const;

private:
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    double aspectRatio_ = 0.0;
    int boxWidth_ = 0;
    int boxHeight_ = 0;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    double zoomScale_ = kInitialZoomScale;
    int scrollBarExtent_ = 0;
    bool pointZoomArmed_ = false;
    bool pointZoomOut_ = false;
};

// A scale text that is not a number (the window lets the application's error
// box report it; the scale keeps its value).
class ScaleFormatError : public std::runtime_error {
public:
    explicit ScaleFormatError(std::string_view text);
};

// The scale as the zoom scale edit shows it: shortest form, at most 15
// significant digits, "." as the decimal separator ("1.3", "2").
std::string formatZoomScale(double scale);
// Reads a scale text back; throws ScaleFormatError for anything but a decimal number.
double parseZoomScale(std::string_view text);
// Track bar position for a scale: tenths above 1.0, rounded down. The decimal
// texts the edit holds ("1.2", "1.4") are a hair below their tenth in binary,
// so a tiny tolerance keeps "1.2" on position 2 instead of 1.
int trackBarPositionFor(double scale);
// Scale of a track bar position: 1.0 to 2.0 in steps of 0.1.
double scaleForTrackBarPosition(int position);

// Key filter of the zoom scale edit: whether a typed character is accepted.
// backspace is the backspace key; ch is the typed character otherwise.
bool acceptScaleKey(std::string_view currentText, char ch, bool backspace);

// The status line of a picture of the given size.
std::string imageInfoStatus(int width, int height);
// The zoom part of the status bar: "Zoom 130%" (one decimal below 10%),
// empty for a factor of 0 (no picture).
std::string zoomFactorStatus(double factor);

// Wheel movement turned into zoom steps: whole notches leave the
// accumulator (positive: towards zooming in), the rest waits for the next
// event, so a fine-grained wheel or touchpad zooms once per notch.
int takeWheelNotches(int& accumulated, int angleDelta);

}  // namespace viewer
