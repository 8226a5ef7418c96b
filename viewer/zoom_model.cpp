#include "viewer/zoom_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace viewer {

namespace {

// trunc toward zero into an int; NaN and values outside the int range are
// clamped so a degenerate size can never become undefined behaviour.
int truncToInt(double value)
{
    if (std::isnan(value))
        return 0;
    const double t = std::trunc(value);
    if (t >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (t <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(t);
}

int floorToInt(double value)
{
    return truncToInt(std::floor(value));
}

// A pan along one axis: the allowed positions are those that keep the box
// covered (picture larger than the view) or the picture inside the view
// (smaller), widened to hold where the picture is now.
int pannedPosition(int position, int delta, int size, int view)
{
    const long long lowest = std::min({0LL, static_cast<long long>(view) - size, static_cast<long long>(position)});
    const long long highest = std::max({0LL, static_cast<long long>(view) - size, static_cast<long long>(position)});
    return static_cast<int>(std::clamp(static_cast<long long>(position) + delta, lowest, highest));
}

ScrollBarState scrollBarFor(bool shown, int position, int size, int view)
{
    ScrollBarState bar;
    if (!shown)
        return bar;
    bar.shown = true;
    bar.value = -position;
    bar.minimum = std::min(0, bar.value);
    bar.maximum = std::max(size - view, bar.value);
    bar.pageStep = view;
    return bar;
}

}  // namespace

void ZoomModel::setSource(int width, int height)
{
    sourceWidth_ = width > 0 ? width : 0;
    sourceHeight_ = height > 0 ? height : 0;
    // An empty picture has no aspect; never divide by a zero height.
    aspectRatio_ = sourceHeight_ > 0 ? static_cast<double>(sourceWidth_) / sourceHeight_ : 0.0;
    width_ = sourceWidth_;
    height_ = sourceHeight_;
}

void ZoomModel::setBoxSize(int width, int height)
{
    boxWidth_ = width;
    boxHeight_ = height;
}

bool ZoomModel::centerView()
{
    if (!hasPicture())
        return false;
    left_ = (boxWidth_ - width_) / 2;
    top_ = (boxHeight_ - height_) / 2;
    return true;
}

ZoomModel::Step ZoomModel::zoomIn(bool zoomSelectedPoint)
{
    const double s = zoomScale_;
    if (!hasPicture() || width_ * s >= kZoomInLimit || height_ * s >= kZoomInLimit)
        return Step::Ignored;
    if (zoomSelectedPoint) {
        pointZoomOut_ = false;
        pointZoomArmed_ = true;
        return Step::Armed;
    }
    // Keep the centre of the picture where it was.
    left_ -= floorToInt(width_ * (s - 1) * 0.5);
    top_ -= floorToInt(height_ * (s - 1) * 0.5);
    width_ = truncToInt(width_ * s);
    height_ = truncToInt(height_ * s);
    return Step::Zoomed;
}

ZoomModel::Step ZoomModel::zoomOut(bool zoomSelectedPoint)
{
    const double s = zoomScale_;
    if (!hasPicture() || width_ / s <= kZoomOutLimit || height_ / s <= kZoomOutLimit)
        return Step::Ignored;
    if (zoomSelectedPoint) {
        pointZoomOut_ = true;
        pointZoomArmed_ = true;
        return Step::Armed;
    }
    width_ = truncToInt(width_ / s);
    height_ = truncToInt(height_ / s);
    left_ += floorToInt(width_ * (s - 1) * 0.5);
    top_ += floorToInt(height_ * (s - 1) * 0.5);
    return Step::Zoomed;
}

void ZoomModel::fitView()
{
    if (sourceHeight_ < sourceWidth_) {
        width_ = boxWidth_ - kFitMargin;
        height_ = floorToInt(width_ / aspectRatio_);
    } else {
        height_ = boxHeight_ - kFitMargin;
        width_ = floorToInt(height_ * aspectRatio_);
    }
    // A scroll box smaller than the margin leaves nothing to show.
    if (width_ < 0)
        width_ = 0;
    if (height_ < 0)
        height_ = 0;
    top_ = (boxHeight_ - height_) / 2;
    left_ = (boxWidth_ - width_) / 2;
}

void ZoomModel::originalSize()
{
    width_ = sourceWidth_;
    height_ = sourceHeight_;
    centerView();
}

bool ZoomModel::pointZoomPress(int x, int y, bool zoomSelectedPoint)
{
    if (!zoomSelectedPoint)
        return false;
    bool zoomed = false;
    // A picture of no width or height cannot be pressed; the guard keeps the
    // fractions below finite.
    if (pointZoomArmed_ && width_ > 0 && height_ > 0) {
        const double s = zoomScale_;
        const double fx = static_cast<double>(x) / width_;
        const double fy = static_cast<double>(y) / height_;
        if (pointZoomOut_) {
            width_ = truncToInt(width_ / s);
            height_ = truncToInt(height_ / s);
        } else {
            width_ = truncToInt(width_ * s);
            height_ = truncToInt(height_ * s);
        }
        left_ = boxWidth_ / 2 - floorToInt(width_ * fx);
        top_ = boxHeight_ / 2 - floorToInt(height_ * fy);
        zoomed = true;
    }
    pointZoomArmed_ = false;
    return zoomed;
}

void ZoomModel::panBy(int dx, int dy)
{
    left_ = pannedPosition(left_, dx, width_, viewWidth());
    top_ = pannedPosition(top_, dy, height_, viewHeight());
}

ZoomModel::Step ZoomModel::zoomAt(int boxX, int boxY, bool zoomIn)
{
    const double s = zoomScale_;
    if (!hasPicture() || width_ <= 0 || height_ <= 0)
        return Step::Ignored;
    if (zoomIn ? (width_ * s >= kZoomInLimit || height_ * s >= kZoomInLimit)
               : (width_ / s <= kZoomOutLimit || height_ / s <= kZoomOutLimit))
        return Step::Ignored;
    // The fraction of the picture under the point, before and after.
    const double fx = static_cast<double>(boxX - left_) / width_;
    const double fy = static_cast<double>(boxY - top_) / height_;
    width_ = truncToInt(zoomIn ? width_ * s : width_ / s);
    height_ = truncToInt(zoomIn ? height_ * s : height_ / s);
    left_ = boxX - floorToInt(width_ * fx);
    top_ = boxY - floorToInt(height_ * fy);
    return Step::Zoomed;
}

namespace {

struct BarsNeeded {
    bool horizontal = false;
    bool vertical = false;
};

// A bar along one axis takes room from the other, which may then need its own.
BarsNeeded barsNeeded(int width, int height, int boxWidth, int boxHeight, int extent)
{
    BarsNeeded bars{width > boxWidth, height > boxHeight};
    if (bars.horizontal && !bars.vertical)
        bars.vertical = height > boxHeight - extent;
    if (bars.vertical && !bars.horizontal)
        bars.horizontal = width > boxWidth - extent;
    return bars;
}

}  // namespace

int ZoomModel::viewWidth() const
{
    const bool bar = hasPicture() && barsNeeded(width_, height_, boxWidth_, boxHeight_, scrollBarExtent_).vertical;
    return std::max(0, boxWidth_ - (bar ? scrollBarExtent_ : 0));
}

int ZoomModel::viewHeight() const
{
    const bool bar = hasPicture() && barsNeeded(width_, height_, boxWidth_, boxHeight_, scrollBarExtent_).horizontal;
    return std::max(0, boxHeight_ - (bar ? scrollBarExtent_ : 0));
}

ScrollBarState ZoomModel::horizontalScrollBar() const
{
    const bool shown = hasPicture() && barsNeeded(width_, height_, boxWidth_, boxHeight_, scrollBarExtent_).horizontal;
    return scrollBarFor(shown, left_, width_, viewWidth());
}

ScrollBarState ZoomModel::verticalScrollBar() const
{
    const bool shown = hasPicture() && barsNeeded(width_, height_, boxWidth_, boxHeight_, scrollBarExtent_).vertical;
    return scrollBarFor(shown, top_, height_, viewHeight());
}

double ZoomModel::zoomFactor() const
{
    return hasPicture() ? static_cast<double>(width_) / sourceWidth_ : 0.0;
}

bool ZoomModel::sourceLargerThanBox() const
{
    return hasPicture() && (sourceWidth_ > boxWidth_ || sourceHeight_ > boxHeight_);
}

ScaleFormatError::ScaleFormatError(std::string_view text)
    : std::runtime_error("'" + std::string(text) + "' is not a valid floating point value")
{
}

std::string formatZoomScale(double scale)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", scale);
    return buffer;
}

double parseZoomScale(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    const std::string_view number = text.substr(begin, end - begin);
    // Plain decimal numbers only: no "inf", "nan" or hexadecimal forms.
    bool digit = false;
    for (const char c : number) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '.' && c != '+' && c != '-' && c != 'e' && c != 'E')
            throw ScaleFormatError(text);
    }
    if (!digit)
        throw ScaleFormatError(text);
    const char* first = number.data();
    if (!number.empty() && number.front() == '+')
        ++first;  // from_chars refuses a leading plus
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(first, number.data() + number.size(), value);
    if (ec != std::errc() || ptr != number.data() + number.size())
        throw ScaleFormatError(text);
    return value;
}

int trackBarPositionFor(double scale)
{
    return floorToInt((scale - 1.0) * 10.0 + 1e-9);
}

double scaleForTrackBarPosition(int position)
{
    return position * 0.1 + 1.0;
}

bool acceptScaleKey(std::string_view currentText, char ch, bool backspace)
{
    if (currentText.size() > 61)
        return false;
    if (backspace)
        return true;
    if (ch >= '0' && ch <= '9')
        return true;
    return ch == '.' && currentText.find('.') == std::string_view::npos;
}

std::string imageInfoStatus(int width, int height)
{
    return "   Image info: width = " + std::to_string(width) + ", height = " + std::to_string(height);
}

std::string zoomFactorStatus(double factor)
{
    if (!(factor > 0.0))
        return {};
    const double percent = factor * 100.0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, percent < 10.0 ? "Zoom %.1f%%" : "Zoom %.0f%%", percent);
    return buffer;
}

int takeWheelNotches(int& accumulated, int angleDelta)
{
    // Turning the wheel back drops what was left of the other direction.
    if ((accumulated > 0 && angleDelta < 0) || (accumulated < 0 && angleDelta > 0))
        accumulated = 0;
    const long long total = static_cast<long long>(accumulated) + angleDelta;
    const long long notches = total / kWheelNotch;
    accumulated = static_cast<int>(total - notches * kWheelNotch);
    return static_cast<int>(std::clamp<long long>(notches, -1000, 1000));
}

}  // namespace viewer
