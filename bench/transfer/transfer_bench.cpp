// Download speed of the engine against a plain reader of the same bytes.
//
// Both sides get the same bytes, made once before anything is timed and
// served by two in-process virtual cameras of identical options over their
// Unix stream sockets, with the camera's framing (command container, data
// container, response container) and its 2 MiB pieces:
//   engine    CPictureTransfer::GetPictFileInfo through the camera link
//             library: the picture list, naming, partial reads into the
//             hidden "_temp" file, and its rename to the final name;
//   baseline  a plain reader on the second camera's socket: it asks for each
//             piece, reads the reply into one buffer and hands the piece to
//             write(); then it does what any safe download must before a
//             final name is given (fdatasync, close, rename), as the engine
//             does.
//   segmented a second plain reader that collects the pieces in a segment
//             buffer and writes each segment once, as the engine's transfer
//             is laid down to do (the last piece of a segment goes straight
//             from the reply, as the engine's does); with it, engine ÷
//             segmented shows what the engine costs beyond that pattern, and
//             segmented ÷ baseline what the pattern itself costs.
// The three take turns every iteration (each goes first, second and last in
// turn), and each iteration gives one ratio, engine speed / baseline speed:
// 1.0 is as fast as the baseline. Reported: median and range of the ratios,
// the medians of segmented ÷ baseline and engine ÷ segmented, and the median
// speeds of engine and baseline.
//
// With the second argument 0, nothing is written on either side: the engine
// reads into its segment buffers with writing disabled and the baseline only
// reads, which shows what the link and the library cost on their own.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "camlink/device/ptp_container.h"
#include "engine/library_camera_link.h"
#include "engine/picture_namer.h"
#include "engine/picture_transfer.h"
#include "engine/transfer_host.h"
#include "engine/write_all.h"
#include "vcam/virtual_camera.h"

namespace fs = std::filesystem;
namespace ptp = kvx::ptp;

namespace {

constexpr uint32_t kPiece = kvx::engine::CPictureTransfer::kPieceSize;
constexpr uint16_t kOpPartialRead = 0x9022;
constexpr uint16_t kOpOpenSession = 0x1002;

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

class BenchHost final : public kvx::engine::ITransferHost {
public:
    int CommState() const override { return kvx::engine::kCommTransfer; }
    void SetCommStateIfRunning(int) override {}
    bool ExecCommand() override { return false; }
    bool IsExtendedCamera() const override { return true; }
    int ProtocolMajor() const override { return 4; }
    uint16_t LastChangeFlags() const override { return 0; }
    void PostMessage(int, uint32_t, uintptr_t, intptr_t) override {}
    bool ActivateAutofocusOverride() override { return false; }
};

// A host that knows only the container framing: one session, partial reads.
class PlainReader {
public:
    explicit PlainReader(const std::string& socketPath) {
        sockaddr_un addr{};
        if (socketPath.size() >= sizeof addr.sun_path) return;
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) return;
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return;
        buffer_.resize(4 + size_t{kPiece} + 2);
        const uint32_t session = 1;
        size_t payload = 0;
        ok_ = Transact(kOpOpenSession, {&session, 1}, payload) && payload == 0;
    }
    ~PlainReader() {
        if (fd_ >= 0) ::close(fd_);
    }
    PlainReader(const PlainReader&) = delete;
    PlainReader& operator=(const PlainReader&) = delete;
    bool Ok() const { return ok_; }

    // Reads the file piece by piece; each piece goes to write() on fd (none
    // when fd < 0), or, with segments, into a segment buffer written once it
    // has no room for another piece. False unless exactly size bytes arrived.
    bool Download(uint32_t objectId, uint32_t size, int fd, bool segments = false) {
        using kvx::engine::CPictureTransfer;
        if (segments && segment_.size() < CPictureTransfer::kSegmentLimit)
            segment_.resize(CPictureTransfer::kSegmentLimit);
        uint32_t offset = 0;
        uint32_t filled = 0;
        while (offset < size) {
            const uint32_t want = std::min(size - offset, kPiece);
            const uint32_t params[3] = {objectId, offset, want};
            size_t payload = 0;
            if (!Transact(kOpPartialRead, params, payload) || payload < 6) return false;
            const uint32_t length = ptp::ReadU32(buffer_.data());
            if (length == 0 || length > want || size_t{length} + 6 > payload) return false;
            offset += length;
            const uint8_t* piece = buffer_.data() + 4;
            if (!segments) {
                if (fd >= 0 && !kvx::engine::WriteAll(fd, piece, length)) return false;
                continue;
            }
            if (offset < size &&
                uint64_t{filled} + length + CPictureTransfer::kRoomReserve <=
                    CPictureTransfer::kSegmentLimit) {
                std::memcpy(segment_.data() + filled, piece, length);
                filled += length;
                continue;
            }
            if (fd >= 0 && !kvx::engine::WriteAll(fd, segment_.data(), filled, piece, length))
                return false;
            filled = 0;
        }
        return true;
    }

private:
    bool ReadExact(uint8_t* into, size_t n) {
        while (n > 0) {
            const ssize_t r = ::read(fd_, into, n);
            if (r <= 0) return false;
            into += r;
            n -= static_cast<size_t>(r);
        }
        return true;
    }

    // One transaction; the data container's payload lands in buffer_.
    bool Transact(uint16_t op, std::span<const uint32_t> params, size_t& payload) {
        uint8_t command[ptp::kHeaderSize + 4 * ptp::kMaxParams];
        const size_t commandSize = ptp::kHeaderSize + 4 * params.size();
        ptp::EncodeHeader(
            {static_cast<uint32_t>(commandSize), ptp::ContainerType::Command, op, transaction_},
            command);
        for (size_t i = 0; i < params.size(); ++i)
            ptp::WriteU32(command + ptp::kHeaderSize + 4 * i, params[i]);
        if (!kvx::engine::WriteAll(fd_, command, commandSize)) return false;
        uint8_t header[ptp::kHeaderSize];
        if (!ReadExact(header, sizeof header)) return false;
        auto h = ptp::DecodeHeader(header);
        payload = 0;
        if (h && h->type == ptp::ContainerType::Data) {
            payload = h->length - ptp::kHeaderSize;
            if (payload > buffer_.size() || !ReadExact(buffer_.data(), payload)) return false;
            if (!ReadExact(header, sizeof header)) return false;
            h = ptp::DecodeHeader(header);
        }
        if (!h || h->type != ptp::ContainerType::Response || h->transactionId != transaction_)
            return false;
        uint8_t responseParams[4 * ptp::kMaxParams];
        const size_t body = h->length - ptp::kHeaderSize;
        if (body > sizeof responseParams || !ReadExact(responseParams, body)) return false;
        ++transaction_;
        return h->code == ptp::kResponseOk;
    }

    int fd_ = -1;
    bool ok_ = false;
    uint32_t transaction_ = 0;
    std::vector<uint8_t> buffer_;
    std::vector<uint8_t> segment_;
};

struct Fixture {
    fs::path dir;
    std::unique_ptr<kvx::vcam::VirtualCamera> engineCamera, baselineCamera;
    std::unique_ptr<PlainReader> reader;
    uint32_t baselineObject = 0;
    kvx::engine::LibraryCameraLink link;
    BenchHost host;
    std::unique_ptr<kvx::engine::CPictureTransfer> transfer;
    bool linked = false;
    std::string error;

    explicit Fixture(uint32_t size) {
        dir = fs::temp_directory_path() /
              ("kvx-transfer-bench-" + std::to_string(::getpid()) + "-" + std::to_string(size));
        fs::remove_all(dir);
        for (const char* sub : {"devices", "other-devices", "engine", "baseline"})
            fs::create_directories(dir / sub);
        // Made once; both cameras serve these very bytes.
        auto content = std::make_shared<std::vector<uint8_t>>(size);
        kvx::vcam::VirtualCamera::FillPictureBytes(1, 0x101, 0, content->data(), size);

        kvx::vcam::VirtualCameraOptions o;
        o.picture = kvx::vcam::PictureKind::Raw;
        o.pictureBytes = size;
        o.fileContent = content;
        o.deviceDir = (dir / "devices").string();
        engineCamera = std::make_unique<kvx::vcam::VirtualCamera>(o);
        // The baseline's camera registers where the engine's link does not look.
        o.deviceDir = (dir / "other-devices").string();
        baselineCamera = std::make_unique<kvx::vcam::VirtualCamera>(o);
        if (!engineCamera->Start() || !baselineCamera->Start()) {
            error = "virtual cameras did not start";
            return;
        }
        reader = std::make_unique<PlainReader>(baselineCamera->SocketPath());
        if (!reader->Ok() || baselineCamera->TakePictureOnBody(2).empty()) {
            error = "plain reader could not open a session";
            return;
        }
        baselineObject = baselineCamera->ExpectedFiles(1).at(0).objectId;

        ::setenv("KVX_DEVICE_DIR", (dir / "devices").c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
        if (link.InitPTPMode() != 0) {
            error = "camera link did not open";
            return;
        }
        linked = true;
        transfer = std::make_unique<kvx::engine::CPictureTransfer>(link, host);
        kvx::engine::NamingOptions naming;
        naming.destinationFolder = (dir / "engine").string() + "/";
        transfer->SetNamingOptions(naming);
    }
    ~Fixture() {
        transfer.reset();
        if (linked) link.ReleaseDevInfo();
        reader.reset();
        engineCamera.reset();
        baselineCamera.reset();
        fs::remove_all(dir);
    }

    // One picture through the engine to its final name; seconds, or a
    // negative number when it did not arrive whole.
    double Engine(uint32_t size, bool writing) {
        const std::vector<int> ids = engineCamera->TakePictureOnBody(2);
        if (ids.size() != 1) return -1;
        double seconds = -1;
        if (writing) {
            const auto start = std::chrono::steady_clock::now();
            transfer->GetPictFileInfo();
            const auto end = std::chrono::steady_clock::now();
            const auto results = transfer->LastFileResults();
            if (results.size() == 1 && results[0].complete &&
                fs::file_size(results[0].path) == size) {
                seconds = Seconds(start, end);
            }
            for (const auto& r : results) fs::remove(r.path);
        } else {
            // Without a file: the same reads, into the segment buffers only.
            KVX_PICT_FILE_ENTRY entries[2]{};
            uint32_t count = 0;
            uint8_t multi = 0, info[KVX_MULTI_PART_INFO_SIZE]{};
            uint8_t* raw = nullptr;
            uint32_t rawSize = 0;
            const auto start = std::chrono::steady_clock::now();
            if (link.GetPictFileInfo2(entries, 2, &count, &multi, info, &raw, &rawSize) == 0 &&
                count >= 1) {
                uint32_t total = 0;
                if (transfer->ReadPictFile(entries[0], total, "", false, nullptr, false) &&
                    total == size)
                    seconds = Seconds(start, std::chrono::steady_clock::now());
            }
        }
        link.ClearImageDBSignle(ids[0]);
        return seconds;
    }

    double Baseline(uint32_t size, bool writing, bool segments = false) {
        const fs::path temp = dir / "baseline" / ".baseline.bin_temp";
        const fs::path final = dir / "baseline" / "baseline.bin";
        const auto start = std::chrono::steady_clock::now();
        if (!writing) {
            if (!reader->Download(baselineObject, size, -1, segments)) return -1;
            return Seconds(start, std::chrono::steady_clock::now());
        }
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return -1;
        bool ok = reader->Download(baselineObject, size, fd, segments);
        ok = ::fdatasync(fd) == 0 && ok;
        ok = ::close(fd) == 0 && ok;
        ok = ok && ::rename(temp.c_str(), final.c_str()) == 0;
        const auto end = std::chrono::steady_clock::now();
        ok = ok && fs::file_size(final) == size;
        fs::remove(final);
        return ok ? Seconds(start, end) : -1;
    }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void BM_EngineVsPlainReader(benchmark::State& state) {
    const auto size = static_cast<uint32_t>(state.range(0));
    const bool writing = state.range(1) != 0;
    Fixture f(size);
    if (!f.error.empty()) {
        state.SkipWithError(f.error.c_str());
        return;
    }
    // Untimed warm-up of both sides: the first transfer into a folder looks
    // for leftovers of an earlier run, and the buffers get their pages.
    if (f.Engine(size, writing) < 0 || f.Baseline(size, writing) < 0) {
        state.SkipWithError("warm-up transfer failed");
        return;
    }
    std::vector<double> ratios, engineSeconds, baselineSeconds;
    std::vector<double> patternRatios, beyondPatternRatios;
    // The three sides take turns at going first, second and last.
    int turn = 0;
    for (auto _ : state) {
        double e = 0, b = 0, s = 0;
        for (int k = 0; k < 3; ++k) {
            switch ((turn + k) % 3) {
                case 0:
                    e = f.Engine(size, writing);
                    break;
                case 1:
                    b = f.Baseline(size, writing);
                    break;
                default:
                    s = f.Baseline(size, writing, true);
                    break;
            }
        }
        turn = (turn + 1) % 3;
        if (e <= 0 || b <= 0 || s <= 0) {
            state.SkipWithError(e <= 0 ? "engine transfer failed" : "baseline transfer failed");
            return;
        }
        state.SetIterationTime(e);
        ratios.push_back(b / e);
        patternRatios.push_back(b / s);
        beyondPatternRatios.push_back(s / e);
        engineSeconds.push_back(e);
        baselineSeconds.push_back(b);
    }
    const double mb = size / 1e6;
    state.SetBytesProcessed(int64_t{size} * state.iterations());
    state.counters["ratio_median"] = Median(ratios);
    state.counters["ratio_min"] = *std::min_element(ratios.begin(), ratios.end());
    state.counters["ratio_max"] = *std::max_element(ratios.begin(), ratios.end());
    state.counters["segmented_ratio_median"] = Median(patternRatios);
    state.counters["engine_vs_segmented_median"] = Median(beyondPatternRatios);
    state.counters["engine_MBps"] = mb / Median(engineSeconds);
    state.counters["baseline_MBps"] = mb / Median(baselineSeconds);
}
// Picture bytes, writing (1) or reading only (0), and iterations.
[[maybe_unused]] const bool kRegistered = [] {
    struct Run {
        int64_t bytes, write;
        int iterations;
    };
    for (const Run& r : {Run{3'000'000, 1, 60}, Run{30'000'000, 1, 30}, Run{3'000'000, 0, 30},
                         Run{30'000'000, 0, 30}}) {
        benchmark::RegisterBenchmark("BM_EngineVsPlainReader", BM_EngineVsPlainReader)
            ->ArgNames({"bytes", "write"})
            ->Args({r.bytes, r.write})
            ->Iterations(r.iterations)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
