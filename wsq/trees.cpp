#include "wsq/trees.h"

namespace wsq {

namespace {

// Halves of an odd or even length.
int ceilHalf(int n) { return (n + 1) / 2; }
int floorHalf(int n) { return n / 2; }

// Places node p1 and its children p2 .. p2+3 (top-left, top-right,
// bottom-left, bottom-right; the last one only when stop is false).
void split_node(WaveletTrees& t, int p1, int p2, int lenx, int leny, int x, int y, bool stop)
{
    WaveletNode& parent = t.nodes[p1];
    parent.x = x;
    parent.y = y;
    parent.dx = lenx;
    parent.dy = leny;

    int left, right, top, bottom;
    if (lenx % 2 == 0) {
        left = right = lenx / 2;
    } else if (p1 == 4) {
        left = floorHalf(lenx);
        right = left + 1;
    } else {
        left = ceilHalf(lenx);
        right = left - 1;
    }
    if (leny % 2 == 0) {
        top = bottom = leny / 2;
    } else if (p1 == 5) {
        top = floorHalf(leny);
        bottom = top + 1;
    } else {
        top = ceilHalf(leny);
        bottom = top - 1;
    }

    auto place = [&](int p, int px, int py, int w, int h) {
        WaveletNode& n = t.nodes[p];
        n.x = px;
        n.y = py;
        n.dx = w;
        n.dy = h;
    };
    place(p2, x, y, left, top);
    place(p2 + 1, x + left, y, right, top);
    place(p2 + 2, x, y + top, left, bottom);
    if (!stop)
        place(p2 + 3, x + left, y + top, right, bottom);
}

void setSubband(WaveletTrees& t, int p, int x, int y, int lx, int ly)
{
    t.subbands[p] = Subband{x, y, lx, ly};
}

// Splits one rectangle into four subbands p .. p+3. largerFirstX/Y say which
// half of an odd length comes first.
void splitQuadrant(WaveletTrees& t, int p, int x, int y, int lx, int ly, bool largerFirstX,
                   bool largerFirstY)
{
    const int firstW = (lx % 2 == 0 || largerFirstX) ? ceilHalf(lx) : floorHalf(lx);
    const int secondW = lx - firstW;
    const int firstH = (ly % 2 == 0 || largerFirstY) ? ceilHalf(ly) : floorHalf(ly);
    const int secondH = ly - firstH;
    setSubband(t, p, x, y, firstW, firstH);
    setSubband(t, p + 1, x + firstW, y, secondW, firstH);
    setSubband(t, p + 2, x, y + firstH, firstW, secondH);
    setSubband(t, p + 3, x + firstW, y + firstH, secondW, secondH);
}

// First-split halves of a length: with the flag set the smaller half of an
// odd length comes first.
void firstSplit(int len, bool smallerFirst, int& first, int& second)
{
    if (len % 2 == 0) {
        first = second = len / 2;
    } else if (!smallerFirst) {
        first = ceilHalf(len);
        second = first - 1;
    } else {
        second = ceilHalf(len);
        first = second - 1;
    }
}

void split16(WaveletTrees& t, int p, const WaveletNode& n, bool rw, bool cl)
{
    int a, b, c, d;
    firstSplit(n.dx, cl, a, b);
    firstSplit(n.dy, rw, c, d);
    splitQuadrant(t, p, n.x, n.y, a, c, true, true);
    splitQuadrant(t, p + 4, n.x + a, n.y, b, c, false, true);
    splitQuadrant(t, p + 8, n.x, n.y + c, a, d, true, false);
    splitQuadrant(t, p + 12, n.x + a, n.y + c, b, d, false, false);
}

void split4(WaveletTrees& t, int p, const WaveletNode& n)
{
    splitQuadrant(t, p, n.x, n.y, n.dx, n.dy, true, true);
}

}  // namespace

WaveletTrees build_trees(int width, int height)
{
    WaveletTrees t;
    for (int node : {2, 4, 7, 9, 11, 13, 16, 18})
        t.nodes[node].ir = true;
    for (int node : {3, 5, 8, 9, 12, 13, 17, 18})
        t.nodes[node].ic = true;

    split_node(t, 0, 1, width, height, 0, 0, true);

    const WaveletNode n1 = t.nodes[1];
    int a, a2, b, b2;
    if (n1.dx % 2 == 0) {
        a = a2 = n1.dx / 2;
    } else {
        a = ceilHalf(n1.dx);
        a2 = a - 1;
    }
    if (n1.dy % 2 == 0) {
        b = b2 = n1.dy / 2;
    } else {
        b = ceilHalf(n1.dy);
        b2 = b - 1;
    }
    split_node(t, 4, 6, a2, b, a, 0, false);
    split_node(t, 5, 10, a, b2, 0, b, false);
    split_node(t, 14, 15, a, b, 0, 0, false);

    WaveletNode& n19 = t.nodes[19];
    n19.x = 0;
    n19.y = 0;
    n19.dx = ceilHalf(t.nodes[15].dx);
    n19.dy = ceilHalf(t.nodes[15].dy);

    split16(t, 3, t.nodes[14], false, false);
    split16(t, 19, t.nodes[4], false, true);
    split16(t, 48, t.nodes[0], false, false);
    split16(t, 35, t.nodes[5], true, false);
    split4(t, 0, t.nodes[19]);
    return t;
}

}  // namespace wsq
