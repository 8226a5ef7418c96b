#pragma once
// The canvas the metafile player draws on: opaque B,G,R pixels, filled
// polygons (alternate or winding rule), thick lines and ellipses sampled at
// pixel centres.
#include <cstdint>
#include <vector>

#include "platform/bitmap.h"

namespace pictures {

struct Colour {
    std::uint8_t red = 0, green = 0, blue = 0;
};

struct PointF {
    double x = 0, y = 0;
};

// A canvas coordinate as a pixel index (truncated), saturated at the range of
// int: a metafile's transforms can put a point anywhere, NaN far left.
int pixelIndex(double v);

class MetafileCanvas {
public:
    MetafileCanvas(int width, int height);  // white
    int width() const { return width_; }
    int height() const { return height_; }

    void fillPolygons(const std::vector<std::vector<PointF>>& polygons, bool winding, Colour c);
    void strokePolyline(const std::vector<PointF>& points, bool closed, double penWidth, Colour c);
    void fillEllipse(double left, double top, double right, double bottom, Colour c);
    void strokeEllipse(double left, double top, double right, double bottom, double penWidth, Colour c);
    // Pixel (x, y) from the top left, B,G,R,A source pixels blended by alpha.
    void blendPixel(int x, int y, const std::uint8_t* bgra, bool hasAlpha);
    void setPixel(int x, int y, Colour c);

    platform::Bitmap toBitmap() const;

private:
    int width_, height_;
    std::vector<std::uint8_t> pixels_;  // B,G,R, top row first
};

}  // namespace pictures
