#include "liveview/picture_layout.h"

#include <cstdint>

namespace kvx::liveview {

Rect FitRect(int a, int b, int c, int d) {
    if (a <= 0 || b <= 0 || c <= 0 || d <= 0) return {};
    int64_t h = b, w = int64_t{b} * c / d;
    bool heightLimited = true;
    if (w > a) {
        w = a;
        h = int64_t{a} * d / c;
        heightLimited = false;
    }
    const int64_t x = (a - w) / 2, y = (b - h) / 2;
    if (heightLimited && 2 * x + 1 + w == a) ++w;
    if (!heightLimited && 2 * y + 1 + h == b) ++h;
    return {int(x), int(y), int(w), int(h)};
}

Rect FullFrameOnScreen(const Rect& a, int f, int g) {
    if (f <= 0 || g <= 0) return a;
    Rect b;
    if (int64_t{a.w} * g / f > a.h) {
        b.w = a.w;
        b.h = int(int64_t{a.w} * g / f);
    } else {
        b.w = int(int64_t{a.h} * f / g);
        b.h = a.h;
    }
    b.x = a.x + (a.w - b.w) / 2;
    b.y = a.y + (a.h - b.h) / 2;
    return b;
}

std::vector<int> GridOffsets(int span, int n) {
    std::vector<int> out;
    if (n < 2 || span <= 0) return out;
    const int cell = (span - 2 * n + 2) / n;
    const int first = (cell - (cell + 2) * (n - 1) + span) / 2;
    for (int i = 0; i < n - 1; ++i) out.push_back(first + i * (cell + 2));
    return out;
}

}  // namespace kvx::liveview
