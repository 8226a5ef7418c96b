#include "pictures/metafile_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace pictures {

int pixelIndex(double v)
{
    constexpr int lowest = std::numeric_limits<int>::min(), highest = std::numeric_limits<int>::max();
    if (!(v > lowest))
        return lowest;
    return v >= highest ? highest : static_cast<int>(v);
}

MetafileCanvas::MetafileCanvas(int width, int height)
    : width_(width), height_(height), pixels_(std::size_t(width) * height * 3, 255)
{
}

void MetafileCanvas::setPixel(int x, int y, Colour c)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    std::uint8_t* p = pixels_.data() + (std::size_t(y) * width_ + x) * 3;
    p[0] = c.blue;
    p[1] = c.green;
    p[2] = c.red;
}

void MetafileCanvas::blendPixel(int x, int y, const std::uint8_t* bgra, bool hasAlpha)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    std::uint8_t* p = pixels_.data() + (std::size_t(y) * width_ + x) * 3;
    const unsigned a = hasAlpha ? bgra[3] : 255;
    for (int k = 0; k < 3; ++k)
        p[k] = static_cast<std::uint8_t>((bgra[k] * a + p[k] * (255 - a) + 127) / 255);
}

void MetafileCanvas::fillPolygons(const std::vector<std::vector<PointF>>& polygons, bool winding, Colour c)
{
    double top = 1e300, bottom = -1e300;
    for (const auto& poly : polygons)
        for (const PointF& p : poly) {
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y);
        }
    if (top > bottom)
        return;
    const int y0 = std::max(0, pixelIndex(std::floor(top))), y1 = std::min(height_ - 1, pixelIndex(std::ceil(bottom)));
    struct Crossing {
        double x;
        int dir;
    };
    std::vector<Crossing> xs;
    for (int y = y0; y <= y1; ++y) {
        const double sy = y + 0.5;
        xs.clear();
        for (const auto& poly : polygons)
            for (std::size_t i = 0; i < poly.size(); ++i) {
                const PointF a = poly[i], b = poly[(i + 1) % poly.size()];
                if ((a.y <= sy && b.y > sy) || (b.y <= sy && a.y > sy))
                    xs.push_back({a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y), b.y > a.y ? 1 : -1});
            }
        std::sort(xs.begin(), xs.end(), [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
        int count = 0;
        for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
            count += winding ? xs[i].dir : 1;
            const bool inside = winding ? count != 0 : count % 2 == 1;
            if (!inside)
                continue;
            // Pixels whose centres lie between the two crossings.
            const int from = std::max(0, pixelIndex(std::ceil(xs[i].x - 0.5)));
            const int to = std::min(width_ - 1, pixelIndex(std::ceil(xs[i + 1].x - 0.5) - 1));
            for (int x = from; x <= to; ++x)
                setPixel(x, y, c);
        }
    }
}

void MetafileCanvas::strokePolyline(const std::vector<PointF>& points, bool closed, double penWidth, Colour c)
{
    const double half = std::max(0.5, penWidth / 2);
    const std::size_t segments = closed ? points.size() : points.size() - (points.empty() ? 0 : 1);
    for (std::size_t i = 0; i < segments; ++i) {
        const PointF a = points[i], b = points[(i + 1) % points.size()];
        const int x0 = std::max(0, pixelIndex(std::floor(std::min(a.x, b.x) - half)));
        const int x1 = std::min(width_ - 1, pixelIndex(std::ceil(std::max(a.x, b.x) + half)));
        const int y0 = std::max(0, pixelIndex(std::floor(std::min(a.y, b.y) - half)));
        const int y1 = std::min(height_ - 1, pixelIndex(std::ceil(std::max(a.y, b.y) + half)));
        const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double t = len2 > 0 ? std::clamp(((px - a.x) * dx + (py - a.y) * dy) / len2, 0.0, 1.0) : 0.0;
                const double ex = a.x + t * dx - px, ey = a.y + t * dy - py;
                if (ex * ex + ey * ey <= half * half)
                    setPixel(x, y, c);
            }
    }
}

namespace {

// Where the pixel centre lies relative to the ellipse: 1 on its outline.
double ellipseRadius(double px, double py, double cx, double cy, double rx, double ry)
{
    const double u = (px - cx) / rx, v = (py - cy) / ry;
    return std::sqrt(u * u + v * v);
}

}  // namespace

void MetafileCanvas::fillEllipse(double left, double top, double right, double bottom, Colour c)
{
    const double cx = (left + right) / 2, cy = (top + bottom) / 2, rx = std::abs(right - left) / 2,
                 ry = std::abs(bottom - top) / 2;
    if (rx <= 0 || ry <= 0)
        return;
    for (int y = std::max(0, pixelIndex(cy - ry)); y <= std::min(height_ - 1, pixelIndex(cy + ry)); ++y)
        for (int x = std::max(0, pixelIndex(cx - rx)); x <= std::min(width_ - 1, pixelIndex(cx + rx)); ++x)
            if (ellipseRadius(x + 0.5, y + 0.5, cx, cy, rx, ry) <= 1)
                setPixel(x, y, c);
}

void MetafileCanvas::strokeEllipse(double left, double top, double right, double bottom, double penWidth, Colour c)
{
    const double cx = (left + right) / 2, cy = (top + bottom) / 2, rx = std::abs(right - left) / 2,
                 ry = std::abs(bottom - top) / 2;
    if (rx <= 0 || ry <= 0)
        return;
    const double half = std::max(0.5, penWidth / 2);
    for (int y = std::max(0, pixelIndex(cy - ry - half)); y <= std::min(height_ - 1, pixelIndex(cy + ry + half)); ++y)
        for (int x = std::max(0, pixelIndex(cx - rx - half)); x <= std::min(width_ - 1, pixelIndex(cx + rx + half)); ++x) {
            // Distance from the outline, approximately, in pixels.
            const double r = ellipseRadius(x + 0.5, y + 0.5, cx, cy, rx, ry);
            const double along = std::min(rx, ry) + (std::max(rx, ry) - std::min(rx, ry)) / 2;
            if (std::abs(r - 1) * along <= half)
                setPixel(x, y, c);
        }
}

platform::Bitmap MetafileCanvas::toBitmap() const
{
    platform::Bitmap b(width_, height_, 24);
    for (int y = 0; y < height_; ++y)
        std::memcpy(b.topRow(y), pixels_.data() + std::size_t(y) * width_ * 3, std::size_t(width_) * 3);
    return b;
}

}  // namespace pictures
