#include "tools/synthetic_fingerprint.h"

#include <algorithm>
#include <cmath>

namespace tools {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Small self-contained generator so the pixels do not depend on the standard
// library's distributions.
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(0x9E3779B97F4A7C15ull ^ (seed * 0xD1B54A32D192ED03ull)) {}
    std::uint64_t next()
    {
        state_ += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }

private:
    std::uint64_t state_;
};

double smoothstep(double e0, double e1, double x)
{
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// The print's layout, drawn once from the seed.
struct Pattern {
    double cx, cy;          // core
    double ex, ey, ea, eb;  // contact ellipse: centre and semi-axes
    double tilt;            // of the ellipse
    double period;          // mean ridge period in pixels
    double whorl;           // 0 = loop-like arches below the core, 1 = whorl
    double warpAmp[2], warpFreq[2], warpPhase[2];
    double freqAmp, freqLen;  // ridge period variation along the ridges' normal
    double curl;              // bend of the arches below the core
};

Pattern drawPattern(int w, int h, Random& rng)
{
    Pattern p{};
    p.cx = w * rng.range(0.42, 0.58);
    p.cy = h * rng.range(0.38, 0.52);
    p.ex = w * rng.range(0.48, 0.52);
    p.ey = h * rng.range(0.48, 0.53);
    p.ea = w * rng.range(0.40, 0.46);
    p.eb = h * rng.range(0.44, 0.48);
    p.tilt = rng.range(-0.15, 0.15);
    // About 9 pixels from ridge to ridge at 500 ppi; smaller images keep
    // enough ridges to look like a print.
    p.period = std::clamp(std::min(w, h) / 60.0, 5.5, 9.5) * rng.range(0.95, 1.05);
    p.whorl = rng.uniform() < 0.3 ? 1.0 : 0.0;
    for (int i = 0; i < 2; ++i) {
        p.warpAmp[i] = p.period * rng.range(0.8, 1.6);
        p.warpFreq[i] = 2.0 * kPi / (std::max(w, h) * rng.range(0.35, 0.7));
        p.warpPhase[i] = rng.range(0.0, 2.0 * kPi);
    }
    p.freqAmp = rng.range(0.18, 0.3);
    p.freqLen = p.period * rng.range(5.0, 8.0);
    p.curl = rng.range(0.6, 1.2);
    return p;
}

// A scalar field whose level lines are the ridges: concentric around the core
// above it, widening arches below it (or closed rings for a whorl).
double ridgeField(const Pattern& p, double x, double y)
{
    // Smooth warp of the plane bends the ridges without breaking them.
    const double wx = x + p.warpAmp[0] * std::sin(p.warpFreq[0] * y + p.warpPhase[0]);
    const double wy = y + p.warpAmp[1] * std::sin(p.warpFreq[1] * x + p.warpPhase[1]);
    const double dx = wx - p.cx;
    const double dy = wy - p.cy;
    const double rings = std::sqrt(1.3 * dx * dx + dy * dy);
    if (p.whorl > 0.5)
        return rings;
    // Below the core the rings open into arches that run out to the sides.
    const double scale = p.ea;
    const double arches = dy + 0.3 * p.curl * dx * dx / scale;
    const double t = smoothstep(-0.1 * scale, 0.5 * scale, dy);
    return (1.0 - t) * rings + t * (arches + 0.2 * scale);
}

}  // namespace

std::vector<std::uint8_t> makeSyntheticFingerprint(int width, int height, std::uint32_t seed)
{
    std::vector<std::uint8_t> img;
    if (width <= 0 || height <= 0)
        return img;
    img.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    Random rng(seed);
    const Pattern p = drawPattern(width, height, rng);
    const double ct = std::cos(p.tilt), st = std::sin(p.tilt);

    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double g = ridgeField(p, x, y);
            // The period varies across the print: stretch the field along
            // its own gradient (monotonic, so ridges never cross).
            const double phase = (g + p.freqAmp * p.freqLen * std::sin(g / p.freqLen)) / p.period;
            const double ridge = 0.5 + 0.5 * std::cos(2.0 * kPi * phase);  // 1 = valley

            // Elliptical contact area with a soft rim; pressure fades outwards.
            const double ux = ((x - p.ex) * ct + (y - p.ey) * st) / p.ea;
            const double uy = (-(x - p.ex) * st + (y - p.ey) * ct) / p.eb;
            const double r = std::sqrt(ux * ux + uy * uy);
            const double contact = 1.0 - smoothstep(0.85, 1.0, r);
            const double pressure = 0.75 + 0.25 * (1.0 - r * r);

            const double ridgeGray = 45.0 + 30.0 * (1.0 - pressure);
            const double valleyGray = 215.0;
            const double print = ridgeGray + (valleyGray - ridgeGray) * ridge;
            const double background = 238.0;
            const double noise = (rng.uniform() + rng.uniform() - 1.0) * 14.0;
            const double v = background + (print - background) * contact + noise;
            img[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
        }
    }
    return img;
}

}  // namespace tools
