// One 100 MB RAW from a virtual camera over its Unix stream socket, read by
// the engine's picture transfer through the camera link library into a file,
// against baselines that move the same bytes (made by the same generator)
// through a Unix stream socket pair in the same piece sizes into a file with
// nothing in between:
//   baseline       one piece per 4-byte request, as the camera answers partial
//                  reads, and the file flushed to the disk at its end, as the
//                  transfer does before it names a picture  -> ratio
//   stream         the sender never waits, no flush          -> ratio_vs_stream
//   stream durable the sender never waits, flushed at the end -> ratio_vs_stream_durable
// A ratio is engine throughput / baseline throughput in the same run.
// peak_rss_delta_MB: how far the resident high-water mark rose above the
// resident size during the engine's transfer (the segment buffer is what
// should show, not the picture).
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/library_camera_link.h"
#include "engine/picture_transfer.h"
#include "engine/transfer_host.h"
#include "vcam/virtual_camera.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kPictureBytes = 100'000'000;
constexpr uint32_t kPiece = kvx::engine::CPictureTransfer::kPieceSize;

long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n);
    return -1;
}

// Lowers the resident high-water mark to the current resident size.
void ResetPeakRss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

class BenchHost final : public kvx::engine::ITransferHost {
public:
    int CommState() const override { return 3; }
    void SetCommStateIfRunning(int) override {}
    bool ExecCommand() override { return true; }
    bool IsExtendedCamera() const override { return true; }
    int ProtocolMajor() const override { return 4; }
    uint16_t LastChangeFlags() const override { return 0; }
    void PostMessage(int, uint32_t, uintptr_t, intptr_t) override {}
    bool ActivateAutofocusOverride() override { return false; }
};

struct Fixture {
    fs::path dir;
    std::unique_ptr<kvx::vcam::VirtualCamera> camera;
    kvx::engine::LibraryCameraLink link;
    BenchHost host;
    std::unique_ptr<kvx::engine::CPictureTransfer> transfer;
    KVX_PICT_FILE_ENTRY entry{};
    bool ok = false;

    Fixture() {
        dir = fs::temp_directory_path() / ("kvx-bench-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "devices");
        ::setenv("KVX_DEVICE_DIR", (dir / "devices").c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
        kvx::vcam::VirtualCameraOptions o;
        o.deviceDir = (dir / "devices").string();
        o.picture = kvx::vcam::PictureKind::Raw;
        o.pictureBytes = kPictureBytes;
        camera = std::make_unique<kvx::vcam::VirtualCamera>(o);
        if (!camera->Start()) return;
        if (link.InitPTPMode() != 0) return;
        transfer = std::make_unique<kvx::engine::CPictureTransfer>(link, host,
                                                                    kvx::engine::CReviewLauncher());
        ok = NextEntry();
    }
    ~Fixture() {
        transfer.reset();
        link.ReleaseDevInfo();
        camera.reset();
        fs::remove_all(dir);
    }
    // Takes a picture and reads its file list entry.
    bool NextEntry() {
        camera->TakePictureOnBody(2);
        KVX_PICT_FILE_ENTRY entries[2]{};
        uint32_t count = 0;
        uint8_t multi = 0;
        uint8_t info[64]{};
        uint8_t* raw = nullptr;
        uint32_t size = 0;
        if (link.GetPictFileInfo2(entries, 2, &count, &multi, info, &raw, &size) != 0 || count < 1)
            return false;
        entry = entries[0];
        return true;
    }
};

Fixture& GetFixture() {
    static Fixture f;
    return f;
}

// The same bytes through a Unix stream socket pair, in pieces of the
// transfer's request size, into a file.
enum class Baseline { Stream, StreamDurable, RequestReply };

double BaselineSeconds(const fs::path& file, uint64_t seed, uint32_t objectId, Baseline kind) {
    bool durable = kind != Baseline::Stream;
    bool askEach = kind == Baseline::RequestReply;
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return -1;
    // The sender makes the camera's own bytes, as the virtual camera does for
    // the engine, so both sides pay the same cost of producing them.
    std::thread writer([fd = sv[0], seed, objectId, askEach] {
        std::vector<uint8_t> piece(kPiece);
        uint64_t left = kPictureBytes;
        while (left > 0) {
            if (askEach) {
                // One piece per request, as a camera answers a partial read.
                uint32_t request = 0;
                if (::read(fd, &request, sizeof request) != sizeof request) return;
            }
            size_t n = static_cast<size_t>(std::min<uint64_t>(left, kPiece));
            kvx::vcam::VirtualCamera::FillPictureBytes(seed, objectId, kPictureBytes - left,
                                                       piece.data(), n);
            size_t off = 0;
            while (off < n) {
                ssize_t w = ::write(fd, piece.data() + off, n - off);
                if (w <= 0) return;
                off += static_cast<size_t>(w);
            }
            left -= n;
        }
        ::shutdown(fd, SHUT_WR);
    });
    auto start = std::chrono::steady_clock::now();
    FILE* out = std::fopen(file.c_str(), "wb");
    std::vector<uint8_t> buffer(kPiece);
    uint64_t got = 0;
    while (got < kPictureBytes && out) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(kPictureBytes - got, kPiece));
        if (askEach) {
            uint32_t request = static_cast<uint32_t>(want);
            if (::write(sv[1], &request, sizeof request) != sizeof request) break;
        }
        size_t off = 0;
        while (off < want) {
            ssize_t r = ::read(sv[1], buffer.data() + off, want - off);
            if (r <= 0) break;
            off += static_cast<size_t>(r);
        }
        if (off == 0) break;
        std::fwrite(buffer.data(), 1, off, out);
        got += off;
    }
    if (out) {
        // The transfer makes each finished picture durable before naming it;
        // the durable baseline does the same.
        std::fflush(out);
        if (durable) ::fdatasync(::fileno(out));
        std::fclose(out);
    }
    auto end = std::chrono::steady_clock::now();
    writer.join();
    ::close(sv[0]);
    ::close(sv[1]);
    fs::remove(file);
    return got == kPictureBytes ? std::chrono::duration<double>(end - start).count() : -1;
}

void BM_EngineTransferVsSocketBaseline(benchmark::State& state) {
    Fixture& f = GetFixture();
    if (!f.ok) {
        state.SkipWithError("virtual camera or link not available");
        return;
    }
    double engineTotal = 0, baselineTotal = 0, streamTotal = 0, durableTotal = 0;
    long peakDeltaKb = 0;
    for (auto _ : state) {
        uint64_t seed = f.camera->Options().seed;
        double b = BaselineSeconds(f.dir / "baseline.bin", seed, f.entry.objectId,
                                   Baseline::RequestReply);
        double bs = BaselineSeconds(f.dir / "baseline.bin", seed, f.entry.objectId, Baseline::Stream);
        double bd = BaselineSeconds(f.dir / "baseline.bin", seed, f.entry.objectId,
                                    Baseline::StreamDurable);
        if (b < 0 || bs < 0 || bd < 0) {
            state.SkipWithError("baseline copy failed");
            return;
        }
        fs::path file = f.dir / "engine.Q7F";
        fs::remove(file);
        ResetPeakRss();
        long rssBefore = StatusKb("VmRSS:");
        uint32_t total = 0;
        auto start = std::chrono::steady_clock::now();
        bool ok = f.transfer->ReadPictFile(f.entry, total, file.string(), true, nullptr, false);
        auto end = std::chrono::steady_clock::now();
        long hwm = StatusKb("VmHWM:");
        if (!ok || fs::file_size(file) != kPictureBytes) {
            state.SkipWithError("engine transfer failed");
            return;
        }
        double e = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(e);
        engineTotal += e;
        baselineTotal += b;
        streamTotal += bs;
        durableTotal += bd;
        peakDeltaKb = std::max(peakDeltaKb, hwm - rssBefore);
        fs::remove(file);
    }
    double mb = static_cast<double>(kPictureBytes) / 1e6;
    double n = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(kPictureBytes) * state.iterations());
    state.counters["engine_MBps"] = mb * n / engineTotal;
    state.counters["baseline_MBps"] = mb * n / baselineTotal;
    state.counters["stream_MBps"] = mb * n / streamTotal;
    state.counters["stream_durable_MBps"] = mb * n / durableTotal;
    state.counters["ratio"] = baselineTotal / engineTotal;
    state.counters["ratio_vs_stream"] = streamTotal / engineTotal;
    state.counters["ratio_vs_stream_durable"] = durableTotal / engineTotal;
    state.counters["peak_rss_delta_MB"] = static_cast<double>(peakDeltaKb) / 1024.0;
}
BENCHMARK(BM_EngineTransferVsSocketBaseline)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// Where the time goes: the transfer's reading and copying, writing nothing.
void BM_EngineTransferWithoutWriting(benchmark::State& state) {
    Fixture& f = GetFixture();
    if (!f.ok) {
        state.SkipWithError("virtual camera or link not available");
        return;
    }
    for (auto _ : state) {
        uint32_t total = 0;
        if (!f.transfer->ReadPictFile(f.entry, total, "", false, nullptr, false)) {
            state.SkipWithError("engine transfer failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(kPictureBytes) * state.iterations());
}
BENCHMARK(BM_EngineTransferWithoutWriting)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// Where the time goes: the library's partial reads alone, over the same
// socket, without the transfer's copying and writing.
void BM_LinkPartialReadsOnly(benchmark::State& state) {
    Fixture& f = GetFixture();
    if (!f.ok) {
        state.SkipWithError("virtual camera or link not available");
        return;
    }
    for (auto _ : state) {
        uint64_t got = 0;
        while (got < kPictureBytes) {
            uint8_t* data = nullptr;
            uint32_t actual = 0;
            uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(kPictureBytes - got, kPiece));
            if (f.link.GetBigPartialPictFile(f.entry.objectId, static_cast<uint32_t>(got), want,
                                             &data, &actual) != 0) {
                state.SkipWithError("partial read failed");
                return;
            }
            got += want;
            benchmark::DoNotOptimize(data);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(kPictureBytes) * state.iterations());
}
BENCHMARK(BM_LinkPartialReadsOnly)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
