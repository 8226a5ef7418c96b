#include "pictures/emf_player.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "pictures/decoder_support.h"
#include "pictures/dib_decoder.h"
#include "pictures/metafile_canvas.h"

namespace pictures {

namespace {

const std::string kFormat = "EMF";
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr double kMaxSide = 4096;

enum Record : std::uint32_t {
    kHeader = 1, kPolygon = 3, kPolyline = 4, kPolyPolyline = 7, kPolyPolygon = 8, kSetWindowExt = 9,
    kSetWindowOrg = 10, kSetViewportExt = 11, kSetViewportOrg = 12, kSetBrushOrg = 13, kEof = 14,
    kSetMapperFlags = 16, kSetMapMode = 17, kSetBkMode = 18, kSetPolyFillMode = 19, kSetRop2 = 20,
    kSetStretchBltMode = 21, kSetTextAlign = 22, kSetTextColor = 24, kSetBkColor = 25, kMoveTo = 27,
    kSaveDc = 33, kRestoreDc = 34, kSetWorldTransform = 35, kModifyWorldTransform = 36, kSelectObject = 37,
    kCreatePen = 38, kCreateBrush = 39, kDeleteObject = 40, kEllipse = 42, kRectangle = 43,
    kCreatePalette = 49, kSelectPalette = 48, kRealizePalette = 52, kLineTo = 54, kSetMiterLimit = 58,
    kGdiComment = 70, kBitBlt = 76, kStretchBlt = 77, kSetDiBitsToDevice = 80, kStretchDiBits = 81,
    kExtCreateFont = 82, kPolygon16 = 86, kPolyline16 = 87, kPolyPolyline16 = 90, kPolyPolygon16 = 91,
    kCreateMonoBrush = 93, kCreateDibPatternBrush = 94, kExtCreatePen = 95, kSetIcmMode = 98, kSetLayout = 115,
};

constexpr std::uint32_t kSrcCopy = 0x00CC0020;
constexpr std::uint32_t kPatCopy = 0x00F00021;
constexpr std::uint32_t kBlackness = 0x00000042;
constexpr std::uint32_t kWhiteness = 0x00FF0062;

std::string recordName(std::uint32_t type)
{
    static const std::map<std::uint32_t, const char*> names = {
        {2, "POLYBEZIER"}, {5, "POLYBEZIERTO"}, {6, "POLYLINETO"}, {15, "SETPIXELV"}, {29, "EXCLUDECLIPRECT"},
        {30, "INTERSECTCLIPRECT"}, {41, "ANGLEARC"}, {44, "ROUNDRECT"}, {45, "ARC"}, {46, "CHORD"}, {47, "PIE"},
        {53, "EXTFLOODFILL"}, {55, "ARCTO"}, {56, "POLYDRAW"}, {59, "BEGINPATH"}, {60, "ENDPATH"},
        {61, "CLOSEFIGURE"}, {62, "FILLPATH"}, {63, "STROKEANDFILLPATH"}, {64, "STROKEPATH"},
        {67, "SELECTCLIPPATH"}, {71, "FILLRGN"}, {75, "EXTSELECTCLIPRGN"}, {78, "MASKBLT"}, {79, "PLGBLT"},
        {83, "EXTTEXTOUTA"}, {84, "EXTTEXTOUTW"}, {85, "POLYBEZIER16"}, {88, "POLYBEZIERTO16"},
        {89, "POLYLINETO16"}, {96, "POLYTEXTOUTA"}, {97, "POLYTEXTOUTW"}, {114, "ALPHABLEND"},
        {116, "TRANSPARENTBLT"}, {118, "GRADIENTFILL"},
    };
    const auto it = names.find(type);
    return it != names.end() ? it->second : "type " + std::to_string(type);
}

struct Pen {
    bool visible = true;
    double width = 0;  // logical units; 0 draws one pixel wide
    Colour colour{};
};

struct Brush {
    bool visible = true;
    Colour colour{255, 255, 255};
};

struct Object {
    enum Kind { kPen, kBrush, kOther } kind = kOther;
    Pen pen;
    Brush brush;
};

struct Xform {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
    Xform then(const Xform& b) const  // this first, then b
    {
        return {m11 * b.m11 + m12 * b.m21, m11 * b.m12 + m12 * b.m22, m21 * b.m11 + m22 * b.m21,
                m21 * b.m12 + m22 * b.m22, dx * b.m11 + dy * b.m21 + b.dx, dx * b.m12 + dy * b.m22 + b.dy};
    }
};

struct State {
    Pen pen{true, 0, {0, 0, 0}};
    Brush brush{true, {255, 255, 255}};
    Xform world;
    int mapMode = 1;
    PointF windowOrg, windowExt{1, 1}, viewportOrg, viewportExt{1, 1};
    bool winding = false;
    PointF current;
};

Colour colourRef(std::uint32_t v)
{
    return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>((v >> 8) & 0xFF),
            static_cast<std::uint8_t>((v >> 16) & 0xFF)};
}

struct Frame {
    double pixelsPerMmX = 0, pixelsPerMmY = 0;
    double originX = 0, originY = 0;  // device pixels of the canvas's top left
    double width = 0, height = 0;     // device pixels
};

Frame readFrame(Bytes b)
{
    ByteCursor in(b, kFormat);
    in.seek(8);
    const std::int32_t bounds[4] = {static_cast<std::int32_t>(in.le32()), static_cast<std::int32_t>(in.le32()),
                                    static_cast<std::int32_t>(in.le32()), static_cast<std::int32_t>(in.le32())};
    const std::int32_t frame[4] = {static_cast<std::int32_t>(in.le32()), static_cast<std::int32_t>(in.le32()),
                                   static_cast<std::int32_t>(in.le32()), static_cast<std::int32_t>(in.le32())};
    if (in.le32() != kEmfSignature)
        failInvalidFormat(kFormat);
    in.seek(72);
    const std::int32_t device[2] = {static_cast<std::int32_t>(in.le32()), static_cast<std::int32_t>(in.le32())};
    const std::int32_t mm[2] = {static_cast<std::int32_t>(in.le32()), static_cast<std::int32_t>(in.le32())};
    Frame f;
    if (device[0] > 0 && device[1] > 0 && mm[0] > 0 && mm[1] > 0 && frame[2] > frame[0] && frame[3] > frame[1]) {
        f.pixelsPerMmX = double(device[0]) / mm[0];
        f.pixelsPerMmY = double(device[1]) / mm[1];
        f.originX = frame[0] / 100.0 * f.pixelsPerMmX;
        f.originY = frame[1] / 100.0 * f.pixelsPerMmY;
        f.width = std::round((double(frame[2]) - frame[0]) / 100.0 * f.pixelsPerMmX);
        f.height = std::round((double(frame[3]) - frame[1]) / 100.0 * f.pixelsPerMmY);
    } else {
        f.pixelsPerMmX = f.pixelsPerMmY = 96 / 25.4;
        f.originX = bounds[0];
        f.originY = bounds[1];
        f.width = double(bounds[2]) - bounds[0] + 1;
        f.height = double(bounds[3]) - bounds[1] + 1;
    }
    if (!(f.width >= 1 && f.height >= 1) || f.width > 1e6 || f.height > 1e6)
        failInvalidFormat(kFormat);
    return f;
}

class Player {
public:
    Player(Bytes bytes, const Frame& frame)
        : bytes_(bytes), frame_(frame),
          scale_(std::min(1.0, kMaxSide / std::max(frame.width, frame.height))),
          canvas_(canvasFor(frame, scale_))
    {
    }

    // The drawing surface, or the invalid-format failure when it is over the
    // picture limit a caller set.
    static MetafileCanvas canvasFor(const Frame& frame, double scale)
    {
        const int width = std::max(1, int(frame.width * scale));
        const int height = std::max(1, int(frame.height * scale));
        if (!fitsImageLimit(std::uint64_t(width) * std::uint64_t(height), 3))
            failInvalidFormat(kFormat);
        return MetafileCanvas(width, height);
    }

    void run()
    {
        ByteCursor in(bytes_, kFormat);
        while (true) {
            if (in.remaining() < 8)
                failStreamRead(kFormat);
            const std::size_t at = in.position();
            const std::uint32_t type = in.le32();
            const std::uint32_t size = in.le32();
            if (size < 8)
                failInvalidFormat(kFormat);
            in.seek(at);
            const Bytes record = in.span(size);
            if (type == kEof)
                return;
            play(type, record);
        }
    }

    LoadedPicture result()
    {
        LoadedPicture picture;
        picture.bitmap = canvas_.toBitmap();
        for (const auto& [name, count] : skipped_)
            picture.problems.push_back("record " + name + " not played (" + std::to_string(count) + " times)");
        for (const std::string& note : notes_)
            picture.problems.push_back(note);
        return picture;
    }

private:
    // Logical coordinates to canvas pixels: world transform, page mapping, frame.
    PointF map(double x, double y) const
    {
        const Xform& w = state_.world;
        const double wx = w.m11 * x + w.m21 * y + w.dx, wy = w.m12 * x + w.m22 * y + w.dy;
        double dx = 0, dy = 0;
        const State& s = state_;
        switch (s.mapMode) {
        case 7:
        case 8: {
            const double ex = s.windowExt.x ? s.viewportExt.x / s.windowExt.x : 1;
            double ey = s.windowExt.y ? s.viewportExt.y / s.windowExt.y : 1;
            if (s.mapMode == 7)  // isotropic: the smaller scale both ways
                ey = std::copysign(std::min(std::abs(ex), std::abs(ey)), ey);
            const double fx = s.mapMode == 7 ? std::copysign(std::abs(ey), ex) : ex;
            dx = (wx - s.windowOrg.x) * fx + s.viewportOrg.x;
            dy = (wy - s.windowOrg.y) * ey + s.viewportOrg.y;
            break;
        }
        case 2: case 3: case 4: case 5: case 6: {
            static const double unitsPerMm[] = {0, 0, 10, 100, 100 / 25.4, 1000 / 25.4, 1440 / 25.4};
            dx = (wx - s.windowOrg.x) * frame_.pixelsPerMmX / unitsPerMm[s.mapMode] + s.viewportOrg.x;
            dy = -(wy - s.windowOrg.y) * frame_.pixelsPerMmY / unitsPerMm[s.mapMode] + s.viewportOrg.y;
            break;
        }
        default:
            dx = wx - s.windowOrg.x + s.viewportOrg.x;
            dy = wy - s.windowOrg.y + s.viewportOrg.y;
        }
        return {(dx - frame_.originX) * scale_, (dy - frame_.originY) * scale_};
    }

    double penPixels() const
    {
        if (state_.pen.width <= 0)
            return 1;
        const PointF a = map(0, 0), b = map(state_.pen.width, 0), c = map(0, state_.pen.width);
        const double w = (std::hypot(b.x - a.x, b.y - a.y) + std::hypot(c.x - a.x, c.y - a.y)) / 2;
        return std::max(1.0, w);
    }

    static std::int32_t s32(Bytes r, std::size_t at) { return static_cast<std::int32_t>(le32At(r, at)); }
    static std::int16_t s16(Bytes r, std::size_t at) { return static_cast<std::int16_t>(le16At(r, at)); }
    static void need(Bytes r, std::uint64_t size)
    {
        if (r.size() < size)
            failStreamRead(kFormat);
    }

    // Points of a poly record: count at countAt, then 32- or 16-bit pairs.
    std::vector<PointF> points(Bytes r, std::size_t at, std::uint64_t count, bool small) const
    {
        const std::size_t step = small ? 4 : 8;
        need(r, at + count * step);
        std::vector<PointF> out;
        out.reserve(static_cast<std::size_t>(count));
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::size_t p = at + static_cast<std::size_t>(i) * step;
            out.push_back(small ? map(s16(r, p), s16(r, p + 2)) : map(s32(r, p), s32(r, p + 4)));
        }
        return out;
    }

    void drawShape(const std::vector<std::vector<PointF>>& polys, bool fill)
    {
        if (fill && state_.brush.visible)
            canvas_.fillPolygons(polys, state_.winding, state_.brush.colour);
        if (state_.pen.visible)
            for (const auto& p : polys)
                canvas_.strokePolyline(p, fill, penPixels(), state_.pen.colour);
    }

    void polyRecord(std::uint32_t type, Bytes r)
    {
        const bool small = type == kPolygon16 || type == kPolyline16 || type == kPolyPolygon16 ||
                           type == kPolyPolyline16;
        const bool multi = type == kPolyPolygon || type == kPolyPolyline || type == kPolyPolygon16 ||
                           type == kPolyPolyline16;
        const bool fill = type == kPolygon || type == kPolygon16 || type == kPolyPolygon || type == kPolyPolygon16;
        std::vector<std::vector<PointF>> polys;
        if (!multi) {
            need(r, 28);
            polys.push_back(points(r, 28, le32At(r, 24), small));
        } else {
            need(r, 32);
            const std::uint64_t n = le32At(r, 24), total = le32At(r, 28);
            need(r, 32 + 4 * n);
            std::size_t at = static_cast<std::size_t>(32 + 4 * n);
            for (std::uint64_t i = 0; i < n; ++i) {
                const std::uint64_t count = le32At(r, 32 + 4 * static_cast<std::size_t>(i));
                if (count > total)
                    failInvalidFormat(kFormat);
                polys.push_back(points(r, at, count, small));
                at += static_cast<std::size_t>(count * (small ? 4 : 8));
            }
        }
        drawShape(polys, fill);
    }

    void rectangleRecord(std::uint32_t type, Bytes r)
    {
        need(r, 24);
        const double l = s32(r, 8), t = s32(r, 12), rt = s32(r, 16), b = s32(r, 20);
        if (type == kRectangle) {
            drawShape({{map(l, t), map(rt, t), map(rt, b), map(l, b)}}, true);
            return;
        }
        const PointF a = map(l, t), c = map(rt, b);
        if (state_.brush.visible)
            canvas_.fillEllipse(a.x, a.y, c.x, c.y, state_.brush.colour);
        if (state_.pen.visible)
            canvas_.strokeEllipse(a.x, a.y, c.x, c.y, penPixels(), state_.pen.colour);
    }

    void createObject(std::uint32_t type, Bytes r)
    {
        need(r, 12);
        const std::uint32_t handle = le32At(r, 8);
        Object o;
        if (type == kCreatePen) {
            need(r, 28);
            o.kind = Object::kPen;
            o.pen = {(le32At(r, 12) & 0xF) != 5, double(s32(r, 16)), colourRef(le32At(r, 24))};
        } else if (type == kExtCreatePen) {
            need(r, 44);
            o.kind = Object::kPen;
            o.pen = {(le32At(r, 28) & 0xF) != 5, double(le32At(r, 32)), colourRef(le32At(r, 40))};
        } else if (type == kCreateBrush) {
            need(r, 24);
            o.kind = Object::kBrush;
            const std::uint32_t style = le32At(r, 12);
            o.brush = {style != 1, colourRef(le32At(r, 16))};
            if (style == 2)
                note("hatched brushes are drawn in their solid colour");
        } else if (type == kCreateMonoBrush || type == kCreateDibPatternBrush) {
            o.kind = Object::kBrush;
            o.brush = {false, {}};
            note("pattern brushes are not drawn");
        }
        objects_[handle] = o;
    }

    void selectObject(Bytes r)
    {
        need(r, 12);
        const std::uint32_t handle = le32At(r, 8);
        if (handle & 0x80000000u) {
            const std::uint32_t stock = handle & 0x7FFFFFFF;
            static const std::uint8_t grays[] = {255, 192, 128, 64, 0};
            if (stock <= 4)
                state_.brush = {true, {grays[stock], grays[stock], grays[stock]}};
            else if (stock == 5)
                state_.brush.visible = false;
            else if (stock == 6 || stock == 7)
                state_.pen = {true, 0, stock == 6 ? Colour{255, 255, 255} : Colour{0, 0, 0}};
            else if (stock == 8)
                state_.pen.visible = false;
            return;
        }
        const auto it = objects_.find(handle);
        if (it == objects_.end())
            return;
        if (it->second.kind == Object::kPen)
            state_.pen = it->second.pen;
        else if (it->second.kind == Object::kBrush)
            state_.brush = it->second.brush;
    }

    Xform readXform(Bytes r, std::size_t at) const
    {
        need(r, at + 24);
        float v[6];
        for (int i = 0; i < 6; ++i) {
            const std::uint32_t bits = le32At(r, at + 4 * i);
            std::memcpy(&v[i], &bits, 4);
            if (!std::isfinite(v[i]))
                failInvalidFormat(kFormat);
        }
        return {v[0], v[1], v[2], v[3], v[4], v[5]};
    }

    // A bitmap drawn into the canvas rectangle of the logical destination,
    // source pixels picked by nearest neighbour; srcTop counts from the top.
    void drawBitmap(const DibDecoded& dib, double srcX, double srcTop, double srcW, double srcH, double destX,
                    double destY, double destW, double destH)
    {
        const PointF a = map(destX, destY), b = map(destX + destW, destY + destH);
        const double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x), y0 = std::min(a.y, b.y),
                     y1 = std::max(a.y, b.y);
        const bool flipX = (b.x < a.x) != (srcW < 0), flipY = (b.y < a.y) != (srcH < 0);
        const platform::Bitmap& bm = dib.bitmap;
        const int bpp = bm.bitsPerPixel() / 8;
        const int px0 = std::max(0, pixelIndex(std::ceil(x0 - 0.5)));
        const int px1 = std::min(canvas_.width(), pixelIndex(std::ceil(x1 - 0.5)));
        const int py0 = std::max(0, pixelIndex(std::ceil(y0 - 0.5)));
        const int py1 = std::min(canvas_.height(), pixelIndex(std::ceil(y1 - 0.5)));
        for (int y = py0; y < py1; ++y) {
            double v = (y + 0.5 - y0) / (y1 - y0);
            if (flipY)
                v = 1 - v;
            const int sy = pixelIndex(std::floor(srcTop + v * std::abs(srcH)));
            if (sy < 0 || sy >= bm.height())
                continue;
            for (int x = px0; x < px1; ++x) {
                double u = (x + 0.5 - x0) / (x1 - x0);
                if (flipX)
                    u = 1 - u;
                const int sx = pixelIndex(std::floor(srcX + u * std::abs(srcW)));
                if (sx < 0 || sx >= bm.width())
                    continue;
                canvas_.blendPixel(x, y, bm.topRow(sy) + sx * bpp, bpp == 4);
            }
        }
    }

    std::optional<DibDecoded> recordDib(Bytes r, std::size_t offBmi, std::size_t cbBmi, std::size_t offBits,
                                        std::uint32_t usage)
    {
        if (cbBmi == 0)
            return std::nullopt;
        if (usage != 0) {
            note("bitmaps with palette-relative colours are not drawn");
            return std::nullopt;
        }
        DibLayout layout;
        layout.headerAt = offBmi;
        layout.bitsAt = offBits;
        if (offBmi >= r.size())
            failStreamRead(kFormat);
        try {
            return decodeDib(r, layout, kFormat);
        } catch (const PictureFormatError& e) {
            note(std::string("a bitmap could not be drawn: ") + e.what());
            return std::nullopt;
        }
    }

    void checkRop(std::uint32_t rop)
    {
        if (rop != kSrcCopy)
            note("raster operations other than a plain copy are drawn as a copy");
    }

    void fillRect(double x, double y, double w, double h, Colour c)
    {
        drawShapeFill({map(x, y), map(x + w, y), map(x + w, y + h), map(x, y + h)}, c);
    }
    void drawShapeFill(const std::vector<PointF>& p, Colour c) { canvas_.fillPolygons({p}, false, c); }

    void bitmapRecord(std::uint32_t type, Bytes r)
    {
        if (type == kStretchDiBits) {
            need(r, 80);
            const auto dib = recordDib(r, le32At(r, 48), le32At(r, 52), le32At(r, 56), le32At(r, 64));
            checkRop(le32At(r, 68));
            if (dib) {
                // Source rows count from the bottom of the bitmap.
                const double srcH = s32(r, 44);
                drawBitmap(*dib, s32(r, 32), dib->bitmap.height() - (s32(r, 36) + srcH), s32(r, 40), srcH,
                           s32(r, 24), s32(r, 28), s32(r, 72), s32(r, 76));
            }
        } else if (type == kSetDiBitsToDevice) {
            need(r, 76);
            const auto dib = recordDib(r, le32At(r, 48), le32At(r, 52), le32At(r, 56), le32At(r, 64));
            if (dib) {
                const double w = s32(r, 40), h = s32(r, 44);
                drawBitmap(*dib, s32(r, 32), dib->bitmap.height() - (s32(r, 36) + h), w, h, s32(r, 24), s32(r, 28),
                           w, h);
            }
        } else {  // BitBlt, StretchBlt
            need(r, type == kStretchBlt ? 108 : 100);
            const double x = s32(r, 24), y = s32(r, 28), w = s32(r, 32), h = s32(r, 36);
            const std::uint32_t rop = le32At(r, 40);
            if (le32At(r, 88) == 0) {  // no source: a fill by the raster operation
                if (rop == kPatCopy && state_.brush.visible)
                    fillRect(x, y, w, h, state_.brush.colour);
                else if (rop == kBlackness || rop == kWhiteness)
                    fillRect(x, y, w, h, rop == kBlackness ? Colour{0, 0, 0} : Colour{255, 255, 255});
                else if (rop != kPatCopy)
                    note("raster operations without a source other than pattern, black and white fills are not drawn");
                return;
            }
            checkRop(rop);
            const auto dib = recordDib(r, le32At(r, 84), le32At(r, 88), le32At(r, 92), le32At(r, 80));
            if (dib) {
                const double sw = type == kStretchBlt ? s32(r, 100) : w, sh = type == kStretchBlt ? s32(r, 104) : h;
                drawBitmap(*dib, s32(r, 44), s32(r, 48), sw, sh, x, y, w, h);
            }
        }
    }

    void note(const std::string& text)
    {
        if (std::find(notes_.begin(), notes_.end(), text) == notes_.end())
            notes_.push_back(text);
    }

    void play(std::uint32_t type, Bytes r)
    {
        switch (type) {
        case kHeader: return;
        case kPolygon: case kPolyline: case kPolyPolyline: case kPolyPolygon:
        case kPolygon16: case kPolyline16: case kPolyPolyline16: case kPolyPolygon16:
            return polyRecord(type, r);
        case kRectangle: case kEllipse: return rectangleRecord(type, r);
        case kSetWindowExt: case kSetWindowOrg: case kSetViewportExt: case kSetViewportOrg: case kMoveTo: {
            need(r, 16);
            const PointF p{double(s32(r, 8)), double(s32(r, 12))};
            if (type == kSetWindowExt) state_.windowExt = p;
            else if (type == kSetWindowOrg) state_.windowOrg = p;
            else if (type == kSetViewportExt) state_.viewportExt = p;
            else if (type == kSetViewportOrg) state_.viewportOrg = p;
            else state_.current = p;
            return;
        }
        case kLineTo: {
            need(r, 16);
            const PointF to{double(s32(r, 8)), double(s32(r, 12))};
            if (state_.pen.visible)
                canvas_.strokePolyline({map(state_.current.x, state_.current.y), map(to.x, to.y)}, false,
                                       penPixels(), state_.pen.colour);
            state_.current = to;
            return;
        }
        case kSetMapMode: need(r, 12); state_.mapMode = static_cast<int>(le32At(r, 8)); return;
        case kSetPolyFillMode: need(r, 12); state_.winding = le32At(r, 8) == 2; return;
        case kSaveDc: saved_.push_back(state_); return;
        case kRestoreDc: {
            need(r, 12);
            const std::int32_t n = s32(r, 8);
            const std::size_t back = n < 0 ? std::size_t(-std::int64_t(n)) : saved_.size() + 1 - std::size_t(n);
            if (n != 0 && back >= 1 && back <= saved_.size()) {
                state_ = saved_[saved_.size() - back];
                saved_.resize(saved_.size() - back);
            }
            return;
        }
        case kSetWorldTransform: state_.world = readXform(r, 8); return;
        case kModifyWorldTransform: {
            need(r, 36);
            const Xform x = readXform(r, 8);
            const std::uint32_t mode = le32At(r, 32);
            if (mode == 1) state_.world = Xform{};
            else if (mode == 2) state_.world = x.then(state_.world);
            else if (mode == 3) state_.world = state_.world.then(x);
            else if (mode == 4) state_.world = x;
            return;
        }
        case kCreatePen: case kExtCreatePen: case kCreateBrush: case kCreateMonoBrush: case kCreateDibPatternBrush:
        case kCreatePalette: case kExtCreateFont:
            return createObject(type, r);
        case kSelectObject: return selectObject(r);
        case kDeleteObject: need(r, 12); objects_.erase(le32At(r, 8)); return;
        case kBitBlt: case kStretchBlt: case kSetDiBitsToDevice: case kStretchDiBits: return bitmapRecord(type, r);
        // Settings that change nothing this player draws.
        case kSetBrushOrg: case kSetMapperFlags: case kSetBkMode: case kSetRop2: case kSetStretchBltMode:
        case kSetTextAlign: case kSetTextColor: case kSetBkColor: case kSelectPalette: case kRealizePalette:
        case kSetMiterLimit: case kGdiComment: case kSetIcmMode: case kSetLayout:
            return;
        default: ++skipped_[recordName(type)];
        }
    }

    Bytes bytes_;
    Frame frame_;
    double scale_;
    MetafileCanvas canvas_;
    State state_;
    std::vector<State> saved_;
    std::map<std::uint32_t, Object> objects_;
    std::map<std::string, int> skipped_;
    std::vector<std::string> notes_;
};

}  // namespace

bool looksLikeEmf(Bytes b)
{
    return b.size() >= 88 && le32At(b, 0) == kHeader && le32At(b, 40) == kEmfSignature;
}

PictureProperties emfProperties(Bytes bytes)
{
    if (!looksLikeEmf(bytes))
        failInvalidFormat(kFormat);
    const Frame f = readFrame(bytes);
    PictureProperties p;
    p.width = static_cast<int>(f.width);
    p.height = static_cast<int>(f.height);
    p.bitsPerSample = 8;
    p.samplesPerPixel = 3;
    p.colorScheme = "RGB";
    p.compression = "metafile";
    return p;
}

LoadedPicture playEmf(Bytes bytes)
{
    if (!looksLikeEmf(bytes))
        failInvalidFormat(kFormat);
    Player player(bytes, readFrame(bytes));
    player.run();
    return player.result();
}

}  // namespace pictures
