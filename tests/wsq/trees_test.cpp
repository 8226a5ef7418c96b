#include <gtest/gtest.h>

#include "wsq/trees.h"

using namespace wsq;

namespace {

struct Rect {
    int x, y, w, h;
};

void expectNode(const WaveletTrees& t, int i, Rect r)
{
    const WaveletNode& n = t.nodes[i];
    EXPECT_EQ(n.x, r.x) << "node " << i;
    EXPECT_EQ(n.y, r.y) << "node " << i;
    EXPECT_EQ(n.dx, r.w) << "node " << i;
    EXPECT_EQ(n.dy, r.h) << "node " << i;
}

void expectSubband(const WaveletTrees& t, int i, Rect r)
{
    const Subband& s = t.subbands[i];
    EXPECT_EQ(s.x, r.x) << "subband " << i;
    EXPECT_EQ(s.y, r.y) << "subband " << i;
    EXPECT_EQ(s.lx, r.w) << "subband " << i;
    EXPECT_EQ(s.ly, r.h) << "subband " << i;
}

}  // namespace

TEST(BuildTrees, SquareEvenImage)
{
    const WaveletTrees t = build_trees(500, 500);
    expectNode(t, 0, {0, 0, 500, 500});
    expectNode(t, 1, {0, 0, 250, 250});
    expectNode(t, 4, {125, 0, 125, 125});
    expectNode(t, 6, {125, 0, 62, 63});
    expectNode(t, 19, {0, 0, 32, 32});
    expectSubband(t, 0, {0, 0, 16, 16});
    expectSubband(t, 3, {16, 16, 16, 16});
    expectSubband(t, 4, {32, 0, 31, 32});
    expectSubband(t, 51, {125, 125, 125, 125});
    expectSubband(t, 52, {250, 0, 125, 125});
    expectSubband(t, 60, {250, 250, 125, 125});
}

TEST(BuildTrees, OddSizesSplitTheWayEncoderAndDecoderAgree)
{
    const WaveletTrees t = build_trees(501, 403);
    expectNode(t, 2, {251, 0, 250, 202});
    expectNode(t, 3, {0, 202, 251, 201});
    expectNode(t, 4, {126, 0, 125, 101});
    expectNode(t, 5, {0, 101, 126, 101});
    expectNode(t, 19, {0, 0, 32, 26});
    expectSubband(t, 18, {94, 76, 32, 25});
    expectSubband(t, 19, {126, 0, 31, 26});
    expectSubband(t, 50, {94, 176, 32, 26});
    expectSubband(t, 60, {251, 202, 125, 100});
}

TEST(BuildTrees, FlagsMarkTheMirroredNodes)
{
    const WaveletTrees t = build_trees(100, 100);
    for (int i = 0; i < kWaveletNodeCount; ++i) {
        const bool ir = i == 2 || i == 4 || i == 7 || i == 9 || i == 11 || i == 13 || i == 16 || i == 18;
        const bool ic = i == 3 || i == 5 || i == 8 || i == 9 || i == 12 || i == 13 || i == 17 || i == 18;
        EXPECT_EQ(t.nodes[i].ir, ir) << i;
        EXPECT_EQ(t.nodes[i].ic, ic) << i;
    }
}

// Whatever the size, the 64 subbands tile the image exactly once, and the
// smallest supported size keeps every node at least 6 samples on a side.
TEST(BuildTrees, SubbandsTileTheImageForManySizes)
{
    const int sizes[][2] = {{81, 81}, {81, 82}, {83, 97}, {500, 500}, {501, 403}, {800, 750}, {1023, 1}};
    for (const auto& sz : sizes) {
        const int w = sz[0], h = sz[1];
        const WaveletTrees t = build_trees(w, h);
        std::vector<int> cover(static_cast<size_t>(w) * h, 0);
        for (const Subband& s : t.subbands)
            for (int y = s.y; y < s.y + s.ly; ++y)
                for (int x = s.x; x < s.x + s.lx; ++x) {
                    ASSERT_TRUE(x >= 0 && x < w && y >= 0 && y < h) << w << "x" << h;
                    ++cover[static_cast<size_t>(y) * w + x];
                }
        for (int c : cover)
            ASSERT_EQ(c, 1) << w << "x" << h;
        if (wsqImageSizeSupported(w, h)) {
            for (const WaveletNode& n : t.nodes) {
                EXPECT_GE(n.dx, 6) << w << "x" << h;
                EXPECT_GE(n.dy, 6) << w << "x" << h;
            }
        }
    }
    EXPECT_FALSE(wsqImageSizeSupported(80, 500));
    EXPECT_FALSE(wsqImageSizeSupported(500, 80));
}
