// The straightforward converter the program started from: four tables of
// doubles, three double sums per pixel, 3-byte B, G, R pixels in a bottom-up
// buffer allocated for every frame. The baseline the fast one is measured by.
#pragma once

#include <cstdint>
#include <vector>

#include "liveview/frame_record.h"

namespace kvx::bench {

class CPlainConverter {
public:
    CPlainConverter() {
        for (int i = 0; i < 256; ++i) {
            const int x = i - 128;
            crR_[i] = 1.13983 * x;
            cbG_[i] = -0.39465 * x;
            crG_[i] = -0.5806 * x;
            cbB_[i] = 2.03211 * x;
        }
    }

    std::vector<uint8_t> Convert(const liveview::FrameRecord& f, int angle) {
        const int W = f.width, H = f.height;
        std::vector<uint8_t> out(size_t(W) * H * 3);
        for (int r = 0; r < H; ++r) {
            const int cr = r / 2 < f.chromaHeight ? r / 2 : f.chromaHeight - 1;
            for (int c = 0; c < W; ++c) {
                const int cc = c / 2 < f.chromaWidth ? c / 2 : f.chromaWidth - 1;
                const int y = f.y[size_t(r) * W + c];
                const int u = f.cb[cr * f.chromaWidth + cc], v = f.cr[cr * f.chromaWidth + cc];
                const double R = y + crR_[v], G = y + cbG_[u] + crG_[v], B = y + cbB_[u];
                size_t p = 0;
                switch (angle) {
                    case 180:
                        p = size_t(r) * W + (W - 1 - c);
                        break;
                    case 90:
                        p = size_t(c) * H + r;
                        break;
                    case 270:
                        p = size_t(W - 1 - c) * H + (H - 1 - r);
                        break;
                    default:
                        p = size_t(H - 1 - r) * W + c;
                        break;
                }
                out[p * 3] = Byte(B);
                out[p * 3 + 1] = Byte(G);
                out[p * 3 + 2] = Byte(R);
            }
        }
        return out;
    }

private:
    static uint8_t Byte(double v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }
    double crR_[256], cbG_[256], crG_[256], cbB_[256];
};

}  // namespace kvx::bench
