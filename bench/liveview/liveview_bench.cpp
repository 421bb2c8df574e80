// Live view frame conversion: this program's converter against libyuv's
// I420 to RGB24 (rotated through I420Rotate first) and against the plain
// double-table converter, alternating frame by frame inside one benchmark so
// a loaded machine slows all of them alike. Each timed call starts from the
// same state: a scratch buffer larger than the per-core cache is written
// just before it, so neither side inherits the other's warm input, and the
// order of ours and libyuv swaps every iteration. Counters give each one's
// median milliseconds, and the ratio ours / libyuv taken per iteration as
// its median and its 10th and 90th percentiles.
//
// The second group measures the whole frame path without the window: check,
// convert with rotation and stretch into a 1024 × 1024 slot.
#include <benchmark/benchmark.h>
#include <libyuv/convert_argb.h>
#include <libyuv/rotate.h>

#include <algorithm>
#include <ctime>
#include <utility>
#include <vector>

#include "liveview/frame_pipeline.h"
#include "liveview/frame_record.h"
#include "liveview/yuv_converter.h"
#include "plain_converter.h"

namespace {

using namespace kvx::liveview;

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

// This thread's processor time: a shared machine that takes the core away
// in the middle of a call does not count against whichever side was running.
double ThreadMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// The value below which `share` of `v` lies (0.5: the median).
double Quantile(std::vector<double> v, double share) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(share * double(v.size())))];
}

double Median(std::vector<double> v) {
    return Quantile(std::move(v), 0.5);
}

// Pushes the caches of this core into a known state: the previous call's
// output and input are gone from it, the frame's planes are still in the
// shared cache as they would be right after arriving.
void Settle(std::vector<uint8_t>& scratch) {
    for (size_t i = 0; i < scratch.size(); i += 64) scratch[i] = uint8_t(scratch[i] + 1);
    benchmark::DoNotOptimize(scratch.data());
}

void BM_Converters(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1)), angle = int(state.range(2));
    const auto simd = state.range(3) ? CYuvConverter::Simd::Avx2 : CYuvConverter::Simd::Sse2;
    if (!CYuvConverter::Supports(simd)) {
        state.SkipWithError("instruction set not on this processor");
        return;
    }
    const auto bytes = MakeFrame(w, h, w, h);
    FrameRecord f;
    if (ParseFrameRecord(bytes.data(), bytes.size(), f) != FrameCheck::Ok) {
        state.SkipWithError("bad frame");
        return;
    }
    CYuvConverter ours(simd);
    kvx::bench::CPlainConverter plain;
    std::vector<uint32_t> rgb32(size_t(w) * h);
    std::vector<uint8_t> rgb24(size_t(w) * h * 3);
    std::vector<uint8_t> ry(size_t(w) * h), ru(size_t(f.chromaWidth) * f.chromaHeight),
        rv(ru.size());
    const bool turned = angle == 90 || angle == 270;
    const int ow = turned ? h : w, oh = turned ? w : h;
    std::vector<uint8_t> scratch(size_t(8) << 20);
    auto runOurs = [&] {
        Settle(scratch);
        const double t0 = ThreadMs();
        ours.Convert(f, angle, rgb32.data(), ow);
        benchmark::DoNotOptimize(rgb32.data());
        return ThreadMs() - t0;
    };
    auto runYuv = [&] {
        Settle(scratch);
        const double t0 = ThreadMs();
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
        return ThreadMs() - t0;
    };
    std::vector<double> tOurs, tYuv, tPlain, ratio;
    bool oursFirst = true;
    for (auto _ : state) {
        double o = 0, y = 0;
        if (oursFirst) {
            o = runOurs();
            y = runYuv();
        } else {
            y = runYuv();
            o = runOurs();
        }
        oursFirst = !oursFirst;
        Settle(scratch);
        const double t0 = ThreadMs();
        auto p = plain.Convert(f, angle);
        benchmark::DoNotOptimize(p.data());
        tPlain.push_back(ThreadMs() - t0);
        tOurs.push_back(o);
        tYuv.push_back(y);
        ratio.push_back(y > 0 ? o / y : 0);
    }
    const double o = Median(tOurs), y = Median(tYuv), pl = Median(tPlain);
    state.counters["ours_ms"] = o;
    state.counters["libyuv_ms"] = y;
    state.counters["plain_ms"] = pl;
    state.counters["ours/libyuv"] = Median(ratio);
    state.counters["ours/libyuv_p10"] = Quantile(ratio, 0.1);
    state.counters["ours/libyuv_p90"] = Quantile(ratio, 0.9);
    state.counters["ours/plain"] = pl > 0 ? o / pl : 0;
}

// Width, height, angle, and 1 for AVX2 or 0 for the SSE2 fallback.
void ConverterArgs(benchmark::internal::Benchmark* b) {
    for (int simd : {1, 0})
        for (auto [w, h] : {std::pair{1024, 680}, {1200, 800}})
            for (int a : {0, 90, 180, 270}) b->Args({w, h, a, simd});
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
