// Live view frame conversion: this program's converter against libyuv's
// I420 to RGB24 (rotated through I420Rotate first) and against the plain
// double-table converter, alternating frame by frame inside one benchmark so
// a loaded machine slows all three alike. Counters give each one's median
// milliseconds and the ratios ours / libyuv and ours / plain.
//
// The second group measures the whole frame path without the window: check,
// convert with rotation and stretch into a 1024 × 1024 slot.
#include <benchmark/benchmark.h>
#include <libyuv/convert_argb.h>
#include <libyuv/rotate.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "liveview/frame_pipeline.h"
#include "liveview/frame_record.h"
#include "liveview/yuv_converter.h"
#include "plain_converter.h"

namespace {

using namespace kvx::liveview;
using Clock = std::chrono::steady_clock;

std::vector<uint8_t> MakeFrame(int w, int h, int dw, int dh) {
    const int cw = w / 2, ch = h / 2;
    std::vector<uint8_t> b(0x24 + size_t(w) * h + 2 * size_t(cw) * ch);
    auto put16 = [&](size_t at, uint32_t v) {
        b[at] = uint8_t(v);
        b[at + 1] = uint8_t(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    put16(0x08, 1);
    put16(0x0E, w);
    put16(0x10, h);
    put16(0x12, dw);
    put16(0x14, dh);
    put32(0x18, 0x24);
    put32(0x1C, 0x24 + w * h);
    put32(0x20, 0x24 + w * h + cw * ch);
    uint32_t s = 7;
    for (size_t i = 0x24; i < b.size(); ++i) {
        s = s * 1103515245u + 12345u;
        b[i] = uint8_t((s >> 16) & 0xFF);
    }
    return b;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_Converters(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1)), angle = int(state.range(2));
    const auto bytes = MakeFrame(w, h, w, h);
    FrameRecord f;
    if (ParseFrameRecord(bytes.data(), bytes.size(), f) != FrameCheck::Ok) {
        state.SkipWithError("bad frame");
        return;
    }
    CYuvConverter ours;
    kvx::bench::CPlainConverter plain;
    std::vector<uint32_t> rgb32(size_t(w) * h);
    std::vector<uint8_t> rgb24(size_t(w) * h * 3);
    std::vector<uint8_t> ry(size_t(w) * h), ru(size_t(f.chromaWidth) * f.chromaHeight),
        rv(ru.size());
    const bool turned = angle == 90 || angle == 270;
    const int ow = turned ? h : w, oh = turned ? w : h;
    std::vector<double> tOurs, tYuv, tPlain;
    for (auto _ : state) {
        auto t0 = Clock::now();
        ours.Convert(f, angle, rgb32.data(), ow);
        benchmark::DoNotOptimize(rgb32.data());
        auto t1 = Clock::now();
        if (angle == 0) {
            libyuv::I420ToRGB24(f.y, w, f.cb, f.chromaWidth, f.cr, f.chromaWidth, rgb24.data(),
                                w * 3, w, h);
        } else {
            const int rcw = turned ? f.chromaHeight : f.chromaWidth;
            libyuv::I420Rotate(f.y, w, f.cb, f.chromaWidth, f.cr, f.chromaWidth, ry.data(), ow,
                               ru.data(), rcw, rv.data(), rcw, w, h,
                               static_cast<libyuv::RotationMode>(angle));
            libyuv::I420ToRGB24(ry.data(), ow, ru.data(), rcw, rv.data(), rcw, rgb24.data(), ow * 3,
                                ow, oh);
        }
        benchmark::DoNotOptimize(rgb24.data());
        auto t2 = Clock::now();
        auto p = plain.Convert(f, angle);
        benchmark::DoNotOptimize(p.data());
        auto t3 = Clock::now();
        tOurs.push_back(Ms(t1 - t0));
        tYuv.push_back(Ms(t2 - t1));
        tPlain.push_back(Ms(t3 - t2));
    }
    const double o = Median(tOurs), y = Median(tYuv), pl = Median(tPlain);
    state.counters["ours_ms"] = o;
    state.counters["libyuv_ms"] = y;
    state.counters["plain_ms"] = pl;
    state.counters["ours/libyuv"] = y > 0 ? o / y : 0;
    state.counters["ours/plain"] = pl > 0 ? o / pl : 0;
}

void ConverterArgs(benchmark::internal::Benchmark* b) {
    for (auto [w, h] : {std::pair{1024, 680}, {1200, 800}})
        for (int a : {0, 90, 180, 270}) b->Args({w, h, a});
}
BENCHMARK(BM_Converters)->Apply(ConverterArgs)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Check, convert and stretch one frame into the slot: the frame path's share
// of a live view frame before the overlays.
void BM_FramePath(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1)), angle = int(state.range(2));
    const auto bytes = MakeFrame(w, h, 1024, 680);
    CFramePipeline pipeline;
    std::vector<uint32_t> slot(size_t(kSlotSide) * kSlotSide);
    for (auto _ : state) {
        auto r = pipeline.Process(bytes.data(), bytes.size(), angle, slot.data(), kSlotSide);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(slot.data());
    }
    state.counters["fps_one_core"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FramePath)
    ->Args({720, 480, 0})
    ->Args({720, 480, 90})
    ->Args({1024, 680, 0})
    ->Args({1024, 680, 270})
    ->Args({1200, 800, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
