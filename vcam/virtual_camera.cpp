#include "vcam/virtual_camera.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "camlink/device/ptp_container.h"
#include "camlink/device/virtual_registration.h"
#include "platform/paths.h"
#include "vcam/record_layout.h"

namespace kvx::vcam {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint16_t kOk = ptp::kResponseOk;
constexpr uint16_t kGeneralError = ptp::kResponseGeneralError;
constexpr uint16_t kSessionNotOpen = ptp::kResponseSessionNotOpen;
constexpr uint16_t kNotSupported = ptp::kResponseOperationNotSupported;
constexpr uint16_t kInvalidObject = 0x2009;
constexpr uint16_t kDeviceBusy = 0x2019;
constexpr uint16_t kInvalidParameter = ptp::kResponseInvalidParameter;
constexpr uint16_t kSessionAlreadyOpen = ptp::kResponseSessionAlreadyOpen;

// What the host's buffers hold after their 30-byte reply header.
constexpr size_t kNormalReplyMax = 61'216;
constexpr size_t kLargeReplyMax = 2'097'186;
constexpr uint32_t kPieceMax = 0x200000;
constexpr size_t kMaxWriteData = 64 * 1024;

// Capture status codes.
constexpr uint16_t kStatusReady = 5;
constexpr uint16_t kResultSuccess = 0x8002;
constexpr uint16_t kResultFocusFailed = 0x6001;
constexpr uint16_t kResultCardFull = 0x6002;
constexpr uint8_t kFlagHeld = 0x02;
constexpr int kPictureIds = 32;

// Q7I header and trailer blocks of the last part.
constexpr uint32_t kQ7iHeaderA = 64;
constexpr uint32_t kQ7iHeaderB = 36;
constexpr uint32_t kQ7iTrailer = 200;

// Live view luma plane (3:2, shown at the display size).
constexpr uint16_t kLiveWidth = 720;
constexpr uint16_t kLiveHeight = 480;

void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
    if (v.size() < at + 2) v.resize(at + 2);
    ptp::WriteU16(v.data() + at, x);
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    if (v.size() < at + 4) v.resize(at + 4);
    ptp::WriteU32(v.data() + at, x);
}
void Append16(std::vector<uint8_t>& v, uint16_t x) {
    Put16(v, v.size(), x);
}
void Append32(std::vector<uint8_t>& v, uint32_t x) {
    Put32(v, v.size(), x);
}

uint64_t Mix(uint64_t z) {
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string Hex(const uint8_t* p, size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    s.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        s.push_back(digits[p[i] >> 4]);
        s.push_back(digits[p[i] & 15]);
    }
    return s;
}

bool HasWritePhase(uint16_t op) {
    switch (op) {
        case 0x9016:
        case 0x9017:
        case 0x9018:
        case 0x9024:
        case 0x9028:
        case 0x902A:
        case 0x901B:
        case 0x9019:
        case 0x901C:
        case 0x901D:
        case 0x902F:
            return true;
        default:
            return false;
    }
}

bool IsReadOp(uint16_t op) {
    switch (op) {
        case 0x9010:
        case 0x9011:
        case 0x902C:
        case 0x9012:
        case 0x9013:
        case 0x9014:
        case 0x9023:
        case 0x9027:
        case 0x9029:
        case 0x901A:
        case 0x9025:
        case 0x9026:
        case 0x902E:
        case 0x9015:
        case 0x9020:
        case 0x902D:
        case 0x9021:
        case 0x9022:
        case 0x902B:
        case 0x1087:
            return true;
        default:
            return false;
    }
}

bool IsLargeRead(uint16_t op) {
    return op == 0x902C || op == 0x9021 || op == 0x9022 || op == 0x902B;
}

// Settable-info sizes by version 1..4.
constexpr std::array<size_t, 5> kSetInfoSize{0, 39, 57, 112, 102};
constexpr std::array<uint16_t, 5> kSetInfoFlag{0, 0x0010, 0x0040, 0x0200, 0x0400};
constexpr std::array<uint16_t, 7> kGroupFlag{0, 0x0001, 0x0002, 0x0004, 0x0020, 0x0080, 0x0100};

// Settable bits of the list settings the camera checks before it accepts a
// new value: (code, bit) pairs; a code not listed is refused.
struct ValueBits {
    int group;
    int bit;
    std::vector<std::pair<uint8_t, uint16_t>> codes;
};

const std::vector<ValueBits>& CheckedValues() {
    static const std::vector<ValueBits> table{
        {2, 0, {{1, 0x01}, {2, 0x02}, {3, 0x08}, {4, 0x04}, {5, 0x10}, {6, 0x20}, {7, 0x40}}},
        {2, 2, {{1, 0x01}, {2, 0x02}, {3, 0x04}, {4, 0x08}, {16, 0x10}, {32, 0x20}, {64, 0x40}}},
        {2, 14, {{5, 0x08}, {1, 0x04}, {3, 0x02}, {4, 0x01}, {6, 0x10}}},
        {2, 15, {{1, 0x01}, {3, 0x04}, {2, 0x02}, {4, 0x08}, {8, 0x10}}},
        {2,
         13,
         {{1, 0x001},
          {15, 0x800},
          {2, 0x002},
          {3, 0x004},
          {4, 0x008},
          {5, 0x010},
          {6, 0x020},
          {7, 0x040},
          {14, 0x400},
          {8, 0x080},
          {10, 0x100},
          {12, 0x200},
          {9, 0x080},
          {11, 0x100},
          {13, 0x200}}},
        {5, 3, {{1, 0x01}, {2, 0x02}, {3, 0x04}, {4, 0x08}, {5, 0x10}, {6, 0x20}}},
    };
    return table;
}

// The camera's masks for those settings (realistic: most values settable).
constexpr uint16_t kDriveMask = 0x003F;         // interval timer not offered
constexpr uint16_t kExposureMask = 0x003F;      // C3 not offered
constexpr uint8_t kMeteringMask = 0x87;         // spot not offered; AE lock available
constexpr uint8_t kAfMask = 0x87;               // AF lock available
constexpr uint8_t kSizeMask = 0x0F;             // S-LO not offered
constexpr uint8_t kQualityMask = 0x0F;          // BASIC not offered
constexpr uint16_t kWhiteBalanceMask = 0x0DFF;  // Custom 3 not offered
constexpr uint16_t kColourModeMask = 0x0EFE;    // ZEL Classic Yellow not offered
constexpr uint8_t kAspectMask = 0x3E;           // 21:9 not offered

uint16_t MaskFor(int group, int bit) {
    if (group == 2 && bit == 0) return kDriveMask;
    if (group == 2 && bit == 2) return kExposureMask;
    if (group == 2 && bit == 14) return kSizeMask;
    if (group == 2 && bit == 15) return kQualityMask;
    if (group == 2 && bit == 13) return kWhiteBalanceMask;
    if (group == 5 && bit == 3) return kAspectMask;
    return 0xFFFF;
}

struct Entry {
    int id = 0;
    uint32_t number = 0;
    PictureKind kind = PictureKind::Jpeg;
    uint16_t status = 0;
    uint8_t flags = 0;
    int part = 1;                    // Q7I part now listed
    std::vector<uint64_t> frontier;  // per file: bytes read contiguously from 0
    bool hasFiles = false;
};

struct Reply {
    uint16_t code = kOk;
    std::vector<uint32_t> params;
    std::vector<uint8_t> payload;
    // Picture bytes that this reply carries (for the vanish fault) and how
    // many payload bytes go out before the camera disappears.
    std::optional<size_t> vanishAfterPayload;
    bool vanishAfterReply = false;
};

PictureKind KindFromQuality(uint8_t quality) {
    if (quality == 1) return PictureKind::Raw;
    if (quality == 3) return PictureKind::RawJpeg;
    return PictureKind::Jpeg;
}

uint8_t QualityFromKind(PictureKind k) {
    switch (k) {
        case PictureKind::Raw:
            return 1;
        case PictureKind::RawJpeg:
            return 3;
        case PictureKind::Q7i:
            return 1;
        default:
            return 2;
    }
}

std::vector<PictureFile> FilesFor(const VirtualCameraOptions& o, uint32_t number,
                                  PictureKind kind) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04u", (number - 1) % 9999 + 1);
    std::string stem = o.fileBase + digits;
    uint64_t bytes = std::max<uint64_t>(1, o.pictureBytes);
    auto objectId = [&](uint32_t index) { return ((number & 0xFFFF) << 8) | (index + 1); };
    std::vector<PictureFile> files;
    auto add = [&](const std::string& ext, uint16_t format, uint32_t index, uint64_t size) {
        PictureFile f;
        f.name = stem + ext;
        f.format = format;
        f.objectId = objectId(index);
        f.size = size;
        files.push_back(std::move(f));
    };
    switch (kind) {
        case PictureKind::Jpeg:
            add(".JPG", kFormatJpg, 0, bytes);
            break;
        case PictureKind::Raw:
            add(".Q7F", kFormatQ7f, 0, bytes);
            break;
        case PictureKind::RawJpeg:
            add(".Q7F", kFormatQ7f, 0, bytes);
            add(".JPG", kFormatJpg, 1, std::max<uint64_t>(1, bytes / 4));
            break;
        case PictureKind::Q7i: {
            int parts = std::clamp(o.q7iParts, 1, 16);
            for (int p = 1; p <= parts; ++p) {
                add(".Q7I", kFormatQ7i, uint32_t(p - 1), bytes);
                files.back().part = uint16_t(p);
                files.back().parts = uint16_t(parts);
            }
            PictureFile& last = files.back();
            uint32_t blockId = 0x80000000u | last.objectId;
            last.headerA.resize(kQ7iHeaderA);
            last.headerB.resize(kQ7iHeaderB);
            last.trailer.resize(kQ7iTrailer);
            VirtualCamera::FillPictureBytes(o.seed, blockId, 0, last.headerA.data(), kQ7iHeaderA);
            VirtualCamera::FillPictureBytes(o.seed, blockId, kQ7iHeaderA, last.headerB.data(),
                                            kQ7iHeaderB);
            VirtualCamera::FillPictureBytes(o.seed, 0x40000000u | last.objectId, 0,
                                            last.trailer.data(), kQ7iTrailer);
            break;
        }
    }
    return files;
}

bool NamedBad(const VirtualCameraOptions& o, const std::string& record) {
    return std::find(o.badChecksum.begin(), o.badChecksum.end(), record) != o.badChecksum.end();
}

std::atomic<uint32_t> gInstanceCounter{0};

}  // namespace

class VirtualCamera::Impl {
public:
    explicit Impl(VirtualCameraOptions options) : opt_(std::move(options)) {
        if (opt_.generation < 1 || opt_.generation > 4)
            opt_.generation = opt_.protocolMajor >= 4 ? 4 : 3;
        if (opt_.deviceDir.empty()) opt_.deviceDir = kvx::VirtualDeviceFolder();
        if (opt_.instance.empty()) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "KVX%05u%02u", unsigned(::getpid()) % 100000u,
                          gInstanceCounter.fetch_add(1) % 100u);
            opt_.instance = buf;
        }
        InitSettings();
    }

    ~Impl() { Unplug(); }

    // ---- lifecycle ------------------------------------------------------

    bool Plug() {
        std::lock_guard life(lifeMu_);
        if (plugged_) return true;
        JoinThread();
        std::error_code ec;
        std::filesystem::create_directories(opt_.deviceDir, ec);
        socketPath_ = opt_.deviceDir + "/" + opt_.instance + ".sock";
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (socketPath_.size() >= sizeof addr.sun_path) return false;
        std::memcpy(addr.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
        ::unlink(socketPath_.c_str());
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(fd, 4) != 0) {
            ::close(fd);
            return false;
        }
        if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
            ::close(fd);
            ::unlink(socketPath_.c_str());
            return false;
        }
        listenFd_ = fd;
        if (!opt_.traceFile.empty() && !trace_) trace_ = std::fopen(opt_.traceFile.c_str(), "a");
        if (!kvx::device::WriteRegistration(opt_.deviceDir, Registration())) {
            CloseListening();
            return false;
        }
        stop_ = false;
        plugged_ = true;
        thread_ = std::thread([this] { Serve(); });
        return true;
    }

    void Unplug() {
        std::lock_guard life(lifeMu_);
        if (plugged_) kvx::device::RemoveRegistration(opt_.deviceDir, opt_.instance);
        stop_ = true;
        if (wake_[1] >= 0) {
            char c = 1;
            [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
        }
        JoinThread();
        CloseListening();
        plugged_ = false;
        if (trace_) {
            std::fclose(trace_);
            trace_ = nullptr;
        }
    }

    bool IsPlugged() const { return plugged_; }

    kvx::device::VirtualRegistration Registration() {
        kvx::device::VirtualRegistration r;
        r.vendor = "VID_4E7A";
        r.product = opt_.model == 110 ? "PID_5D10" : "PID_5E30";
        r.instance = opt_.instance;
        r.driver = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\" + DriverNumber();
        r.deviceId = r.driver;
        r.name = opt_.deviceName;
        r.description = "Varno virtual camera";
        r.type = opt_.deviceType;
        r.port = socketPath_;
        r.pnpId =
            opt_.pnpId ? *opt_.pnpId : "USB\\" + r.vendor + "&" + r.product + "\\" + opt_.instance;
        r.socket = socketPath_;
        return r;
    }

    // A four-digit driver number that no other registration in the folder uses.
    std::string DriverNumber() {
        if (!driverNumber_.empty()) return driverNumber_;
        std::set<std::string> used;
        for (const auto& r : kvx::device::ReadRegistrations(opt_.deviceDir)) {
            auto slash = r.driver.rfind('\\');
            if (slash != std::string::npos && r.instance != opt_.instance)
                used.insert(r.driver.substr(slash + 1));
        }
        uint32_t start = uint32_t(std::hash<std::string>{}(opt_.instance) % 10000u);
        for (uint32_t i = 0; i < 10000; ++i) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%04u", (start + i) % 10000u);
            if (!used.count(buf)) {
                driverNumber_ = buf;
                break;
            }
        }
        return driverNumber_;
    }

    void JoinThread() {
        if (thread_.joinable()) thread_.join();
    }

    void CloseListening() {
        if (listenFd_ >= 0) {
            ::close(listenFd_);
            listenFd_ = -1;
            ::unlink(socketPath_.c_str());
        }
        for (int& fd : wake_) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }

    // ---- server thread --------------------------------------------------

    void Serve() {
        while (!stop_) {
            RunTimers();
            pollfd p[2] = {{listenFd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            int r = ::poll(p, 2, 50);
            if (r < 0 && errno != EINTR) break;
            if (stop_ || (p[1].revents & POLLIN)) break;
            if (r <= 0 || !(p[0].revents & POLLIN)) continue;
            int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            {
                std::lock_guard lock(mu_);
                session_ = false;
            }
            bool vanish = ServeConnection(fd);
            ::close(fd);
            CloseBusy();
            {
                std::lock_guard lock(mu_);
                session_ = false;
            }
            if (vanish) {
                // Pulled out mid-transfer: gone from the device folder, and
                // no new connection is accepted until plugged in again.
                kvx::device::RemoveRegistration(opt_.deviceDir, opt_.instance);
                ::close(listenFd_);
                listenFd_ = -1;
                ::unlink(socketPath_.c_str());
                plugged_ = false;
                return;
            }
        }
    }

    // Waits until fd is ready (or the camera stops). False on stop or error.
    // Meanwhile a second host that connects is told the camera is busy, so
    // that it neither hangs nor disturbs the link being served.
    bool WaitFd(int fd, short events) {
        while (!stop_) {
            std::vector<pollfd> p{{fd, events, 0}, {wake_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
            for (const auto& b : busy_) p.push_back({b.fd, POLLIN, 0});
            int r = ::poll(p.data(), nfds_t(p.size()), 50);
            if (r < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (p[1].revents & POLLIN) return false;
            if (r == 0) {
                RunTimers();
                continue;
            }
            if (p[2].revents & POLLIN) AcceptBusy();
            for (size_t i = 3; i < p.size(); ++i)
                if (p[i].revents) ServeBusy(p[i].fd);
            std::erase_if(busy_, [](const Busy& b) { return b.fd < 0; });
            if (p[0].revents & (events | POLLHUP | POLLERR)) return true;
        }
        return false;
    }

    struct Busy {
        int fd = -1;
        std::vector<uint8_t> pending;
    };

    void AcceptBusy() {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        if (busy_.size() >= 8) {
            ::close(fd);
            return;
        }
        busy_.push_back({fd, {}});
    }

    void ServeBusy(int fd) {
        auto it =
            std::find_if(busy_.begin(), busy_.end(), [&](const Busy& b) { return b.fd == fd; });
        if (it == busy_.end()) return;
        uint8_t buf[4096];
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
            ::close(fd);
            it->fd = -1;
            return;
        }
        it->pending.insert(it->pending.end(), buf, buf + n);
        while (it->pending.size() >= ptp::kHeaderSize) {
            auto h = ptp::DecodeHeader(it->pending);
            if (!h || h->length > ptp::kHeaderSize + kMaxWriteData) {
                ::close(fd);
                it->fd = -1;
                return;
            }
            if (it->pending.size() < h->length) return;
            if (h->type == ptp::ContainerType::Command) {
                auto resp = ptp::EncodeParams(ptp::ContainerType::Response, kDeviceBusy,
                                              h->transactionId, {});
                if (::send(fd, resp.data(), resp.size(), MSG_NOSIGNAL | MSG_DONTWAIT) !=
                    ssize_t(resp.size())) {
                    ::close(fd);
                    it->fd = -1;
                    return;
                }
            }
            it->pending.erase(it->pending.begin(), it->pending.begin() + h->length);
        }
    }

    void CloseBusy() {
        for (auto& b : busy_)
            if (b.fd >= 0) ::close(b.fd);
        busy_.clear();
    }

    bool ReadExact(int fd, uint8_t* out, size_t n) {
        size_t got = 0;
        while (got < n) {
            if (!WaitFd(fd, POLLIN)) return false;
            ssize_t r = ::recv(fd, out + got, n - got, 0);
            if (r == 0) return false;
            if (r < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                return false;
            }
            got += size_t(r);
        }
        return true;
    }

    bool WriteAll(int fd, const uint8_t* p, size_t n) {
        size_t sent = 0;
        while (sent < n) {
            if (!WaitFd(fd, POLLOUT)) return false;
            ssize_t r = ::send(fd, p + sent, n - sent, MSG_NOSIGNAL);
            if (r < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                return false;
            }
            sent += size_t(r);
        }
        return true;
    }

    struct Container {
        ptp::Header header;
        std::vector<uint8_t> body;
    };

    bool ReadContainer(int fd, Container& c) {
        uint8_t head[ptp::kHeaderSize];
        if (!ReadExact(fd, head, sizeof head)) return false;
        auto h = ptp::DecodeHeader(head);
        if (!h || h->length - ptp::kHeaderSize > kMaxWriteData) return false;
        c.header = *h;
        c.body.resize(h->length - ptp::kHeaderSize);
        return c.body.empty() || ReadExact(fd, c.body.data(), c.body.size());
    }

    // Serves one host until it goes away or the camera stops. True when the
    // camera vanished in the middle of a reply.
    bool ServeConnection(int fd) {
        Container c;
        while (!stop_) {
            if (!ReadContainer(fd, c)) return false;
            // A data container where a command belongs is the write phase of
            // an operation this camera did not know: already answered.
            if (c.header.type != ptp::ContainerType::Command) continue;
            uint16_t code = c.header.code;
            uint32_t tid = c.header.transactionId;
            auto params = ptp::DecodeParams(c.body);
            std::vector<uint8_t> data;
            if (HasWritePhase(code)) {
                Container d;
                if (!ReadContainer(fd, d)) return false;
                if (d.header.type != ptp::ContainerType::Data) return false;
                data = std::move(d.body);
            }
            Reply reply;
            {
                std::lock_guard lock(mu_);
                Record(code, params ? *params : std::vector<uint32_t>{}, data);
                if (!params)
                    reply.code = kInvalidParameter;
                else
                    reply = Handle(code, *params, data);
            }
            bool dataPhase = IsReadOp(code) && !HasWritePhase(code);
            if (dataPhase) {
                size_t limit = IsLargeRead(code) ? kLargeReplyMax : kNormalReplyMax;
                if (reply.payload.size() > limit) {
                    reply.payload.clear();
                    reply.code = kGeneralError;
                }
                uint8_t head[ptp::kHeaderSize];
                ptp::EncodeHeader(ptp::DataHeader(code, tid, reply.payload.size()), head);
                if (!WriteAll(fd, head, sizeof head)) return false;
                if (reply.vanishAfterPayload) {
                    size_t n = std::min(*reply.vanishAfterPayload, reply.payload.size());
                    WriteAll(fd, reply.payload.data(), n);
                    return true;
                }
                if (!reply.payload.empty() &&
                    !WriteAll(fd, reply.payload.data(), reply.payload.size()))
                    return false;
            }
            auto resp =
                ptp::EncodeParams(ptp::ContainerType::Response, reply.code, tid, reply.params);
            if (!WriteAll(fd, resp.data(), resp.size())) return false;
            if (reply.vanishAfterReply) return true;
        }
        return false;
    }

    void Record(uint16_t code, const std::vector<uint32_t>& params,
                const std::vector<uint8_t>& data) {
        if (received_.size() >= 200000)
            received_.erase(received_.begin(), received_.begin() + 100000);
        received_.push_back({code, params, data});
        if (trace_) {
            std::string line;
            char buf[32];
            std::snprintf(buf, sizeof buf, "op=0x%04X params=", code);
            line += buf;
            for (size_t i = 0; i < params.size(); ++i) {
                std::snprintf(buf, sizeof buf, "%s0x%08X", i ? "," : "", params[i]);
                line += buf;
            }
            line += " data=" + Hex(data.data(), data.size()) + "\n";
            std::fputs(line.c_str(), trace_);
            std::fflush(trace_);
        }
    }

    // ---- operations (mu_ held) -------------------------------------------

    Reply Handle(uint16_t code, const std::vector<uint32_t>& p, const std::vector<uint8_t>& data) {
        Reply r;
        if (code == ptp::kOpOpenSession) {
            if (session_) {
                r.code = kSessionAlreadyOpen;
                return r;
            }
            session_ = true;
            // The host reads the settable info of a 4.0 camera from the first
            // status record 2 after the link opens.
            if (opt_.protocolMajor >= 4 && opt_.generation == 4) setInfoChanged_ = true;
            // A host that comes (back) learns of every picture still in the
            // database, so that none waits unnoticed for a new release.
            for (const auto& [id, e] : db_) changedIds_.insert(id);
            return r;
        }
        if (code == ptp::kOpCloseSession) {
            if (!session_) r.code = kSessionNotOpen;
            session_ = false;
            return r;
        }
        if (!IsReadOp(code) && !HasWritePhase(code)) {
            r.code = kNotSupported;
            return r;
        }
        if (!session_) {
            r.code = kSessionNotOpen;
            return r;
        }
        RunTimersLocked();
        auto param = [&](size_t i) { return i < p.size() ? p[i] : 0u; };
        if (int g = GroupOfReadOp(code)) {
            r.payload = PackGroupRecord(g, GroupPresentMask(g), groups_[g - 1],
                                        NamedBad(opt_, "DataGroup" + std::to_string(g)));
            return r;
        }
        if (int g = GroupOfWriteOp(code)) {
            r.code = WriteGroup(g, data);
            return r;
        }
        switch (code) {
            case 0x9010:
                r.payload = ConfigRecord();
                break;
            case 0x9011:
                r.payload = StatusRecord();
                break;
            case 0x902C:
                r.payload = StatusRecord2();
                break;
            case 0x901A:
            case 0x9025:
            case 0x9026:
            case 0x902E: {
                int v = code == 0x901A ? 1 : code == 0x9025 ? 2 : code == 0x9026 ? 3 : 4;
                if (v > opt_.generation)
                    r.code = kNotSupported;
                else
                    r.payload = SetInfoRecord(v);
                break;
            }
            case 0x9015:
                r.payload = CaptureStatusRecord(int(param(0)));
                break;
            case 0x9020:
                r.payload = ListFirstForm();
                break;
            case 0x902D:
                r.payload = ListSecondForm();
                break;
            case 0x9021:
            case 0x9022:
                r = PartialRead(param(0), param(1), param(2));
                break;
            case 0x902B:
                if (opt_.protocolMajor < 4)
                    r.code = kNotSupported;
                else
                    r.payload = LiveViewFrame();
                break;
            case 0x1087:
                r.payload = {uint8_t(param(0))};
                break;
            case 0x901B:
                r.code = SnapFromHost(data);
                break;
            case 0x9019:
                r.code = AdjustClock(data);
                break;
            case 0x901C:
                ClearEntry(int(param(0)));
                break;
            case 0x901D:
                db_.clear();
                order_.clear();
                break;
            case 0x902F:
                break;  // the host application closes: nothing to keep
            default:
                r.code = kNotSupported;
                break;
        }
        return r;
    }

    static bool WriteChecksumOk(const std::vector<uint8_t>& d) {
        if (d.size() < 2) return false;
        return ByteSum(std::span(d.data(), d.size() - 1)) == d.back();
    }

    uint16_t WriteGroup(int g, const std::vector<uint8_t>& d) {
        if (!WriteChecksumOk(d) || d.size() < 5) return kInvalidParameter;
        size_t count = d[0];
        if (count < 3 || 1 + count > d.size() - 1) return kInvalidParameter;
        uint16_t mask = uint16_t(d[1] | d[2] << 8);
        if (mask == 0 || (mask & (mask - 1))) return kInvalidParameter;  // one field per request
        int bit = std::countr_zero(mask);
        std::span<const uint8_t> value(d.data() + 3, count - 2);
        if (g == 3 && bit == 15) {
            // Where new pictures go: bit 0x01 the card, bit 0x02 the computer.
            destination_ = value[0] & 0x03;
            return kOk;
        }
        const FieldSlot& slot = GroupField(g, bit);
        if (!slot.width || !slot.writable || value.size() > slot.width) return kInvalidParameter;
        std::vector<uint8_t>& full = groups_[g - 1];
        if (value.size() == 1 && slot.width > 1) return kInvalidParameter;
        if (g == 1 && bit == 2) {
            // Program shift moves relative to where it is.
            full[slot.offset] = uint8_t(int8_t(full[slot.offset]) + int8_t(value[0]));
        } else {
            if (!ValueAllowed(g, bit, value[0])) return kInvalidParameter;
            if (g == 5 && bit == 0 && (value.size() < 2 || (value[0] | value[1] << 8) < 7))
                return kInvalidParameter;  // intervals start at 7 s
            std::copy(value.begin(), value.end(), full.begin() + slot.offset);
        }
        changed_[g - 1] |= mask;
        if (g == 2 && bit == 2) setInfoChanged_ = true;  // program shift only in P
        return kOk;
    }

    static bool ValueAllowed(int g, int bit, uint8_t code) {
        for (const auto& v : CheckedValues()) {
            if (v.group != g || v.bit != bit) continue;
            for (auto [c, b] : v.codes)
                if (c == code) return (b & MaskFor(g, bit)) != 0;
            return false;
        }
        return true;
    }

    uint16_t AdjustClock(const std::vector<uint8_t>& d) {
        if (!WriteChecksumOk(d) || d.size() < 8 || d[0] != 6) return kInvalidParameter;
        std::copy(d.begin() + 1, d.begin() + 7, clock_.begin());
        return kOk;
    }

    uint16_t SnapFromHost(const std::vector<uint8_t>& d) {
        if (!WriteChecksumOk(d) || d.size() < 4 || d[0] != 2) return kInvalidParameter;
        int mode = d[1];
        if (mode < 1 || mode > 3) return kInvalidParameter;
        if (mode != 3 && !FreeId()) return kDeviceBusy;
        Release(mode, d[2], false);
        return kOk;
    }

    // ---- pictures --------------------------------------------------------

    std::optional<int> FreeId() const {
        for (int i = 0; i < kPictureIds; ++i) {
            int id = (nextId_ + i) % kPictureIds;
            if (!db_.count(id)) return id;
        }
        return std::nullopt;
    }

    uint8_t Field(int g, int bit) const { return groups_[g - 1][GroupField(g, bit).offset]; }
    void SetField(int g, int bit, uint8_t v) {
        groups_[g - 1][GroupField(g, bit).offset] = v;
        changed_[g - 1] |= uint16_t(1u << bit);
    }

    PictureKind CurrentKind() const {
        if (opt_.picture == PictureKind::Q7i) return PictureKind::Q7i;
        return KindFromQuality(Field(2, 15));
    }

    std::vector<int> Release(int mode, int frames, bool skipTimer) {
        std::vector<int> ids;
        uint8_t drive = Field(2, 0);
        if (!skipTimer && (drive == 3 || drive == 4)) {
            timers_.push_back(
                {Clock::now() + std::chrono::seconds(drive == 3 ? 2 : 10), mode, frames});
            return ids;
        }
        bool manualFocus = (Field(2, 5) & 3) == 3;
        bool focus = (mode == 1 || mode == 3) && !manualFocus;
        if (focus && opt_.afFails) {
            SetField(1, 15, 3);  // the camera could not focus
            if (mode == 3) return ids;
            if (auto id = FreeId()) {
                AddEntry(*id, 0, kResultFocusFailed, 0);
                ids.push_back(*id);
            }
            return ids;
        }
        if (mode == 3) return ids;
        int count = std::clamp(frames, 1, 9);
        if (drive == 2) count = 3;
        if (drive == 6) {
            uint8_t setting = Field(1, 7);
            count = setting >= 4 && setting <= 6 ? 5 : 3;
        }
        uint8_t dest = destination_ ? destination_ : 1;
        for (int i = 0; i < count; ++i) {
            auto id = FreeId();
            if (!id) break;
            uint16_t remaining = uint16_t(groups_[0][GroupField(1, 9).offset] |
                                          groups_[0][GroupField(1, 9).offset + 1] << 8);
            if ((dest & 1) && remaining == 0) {
                AddEntry(*id, 0, kResultCardFull, 0);
                ids.push_back(*id);
                break;
            }
            uint32_t number = ++taken_;
            PictureKind kind = CurrentKind();
            kinds_[number] = kind;
            bool toComputer = dest & 2;
            Entry& e = AddEntry(*id, number, toComputer ? kStatusReady : kResultSuccess,
                                toComputer ? kFlagHeld : 0);
            e.kind = kind;
            e.hasFiles = toComputer;
            e.frontier.assign(FilesFor(opt_, number, kind).size(), 0);
            if (dest & 1) {
                --remaining;
                Put16(groups_[0], GroupField(1, 9).offset, remaining);
                changed_[0] |= uint16_t(1u << 9);
            }
            if (drive == 6) SetField(1, 13, uint8_t(i + 1 < count ? i + 1 : 0));
            ids.push_back(*id);
        }
        return ids;
    }

    Entry& AddEntry(int id, uint32_t number, uint16_t status, uint8_t flags) {
        Entry e;
        e.id = id;
        e.number = number;
        e.status = status;
        e.flags = flags;
        nextId_ = (id + 1) % kPictureIds;
        order_.push_back(id);
        changedIds_.insert(id);
        return db_[id] = std::move(e);
    }

    void ClearEntry(int id) {
        db_.erase(id);
        order_.erase(std::remove(order_.begin(), order_.end(), id), order_.end());
    }

    void RunTimers() {
        std::lock_guard lock(mu_);
        RunTimersLocked();
    }

    void RunTimersLocked() {
        auto now = Clock::now();
        for (size_t i = 0; i < timers_.size();) {
            if (timers_[i].due <= now) {
                auto t = timers_[i];
                timers_.erase(timers_.begin() + long(i));
                Release(t.mode, t.frames, true);
            } else {
                ++i;
            }
        }
    }

    // The picture the lists describe: the oldest one still waiting for the
    // computer.
    Entry* ListedEntry() {
        for (int id : order_) {
            auto it = db_.find(id);
            if (it != db_.end() && it->second.status == kStatusReady && it->second.hasFiles)
                return &it->second;
        }
        return nullptr;
    }

    std::vector<PictureFile> ListedFiles(const Entry& e) const {
        auto files = FilesFor(opt_, e.number, e.kind);
        if (e.kind == PictureKind::Q7i) {
            size_t i = size_t(std::clamp(e.part, 1, int(files.size())) - 1);
            return {files[i]};
        }
        return files;
    }

    // First form: count byte, entries (format, value A, value B, name, size,
    // object id), then the list check byte. Value A is the picture number;
    // value B balances the byte sum of everything before the check byte to
    // zero, so the check holds whether the host counts the count byte into
    // the list length or not.
    std::vector<uint8_t> ListFirstForm() {
        std::vector<uint8_t> out{0};
        Entry* e = ListedEntry();
        size_t balanceAt = 0;
        if (e) {
            auto files = ListedFiles(*e);
            out[0] = uint8_t(files.size());
            for (const auto& f : files) {
                Append16(out, f.format);
                Append16(out, uint16_t(e->number));
                balanceAt = out.size();
                Append16(out, 0);
                out.insert(out.end(), f.name.begin(), f.name.end());
                out.push_back(0);
                Append32(out, uint32_t(std::min<uint64_t>(f.size, 0xFFFFFFFFu)));
                Append32(out, f.objectId);
            }
        }
        uint8_t sum = ByteSum(out);
        bool bad = NamedBad(opt_, "list");
        if (e) {
            out[balanceAt] = uint8_t(-sum + (bad ? 1 : 0));
            out.push_back(0);
        } else {
            out.push_back(bad ? 1 : 0);
        }
        return out;
    }

    // Second form. The check byte lies at the reported size, that is just
    // past what the camera sends, where the host's cleared buffer holds 0:
    // so the camera makes the byte sum of its whole record 0 (with byte 3 of
    // the unused leading word) and ends it with a 0 byte. The check then
    // holds whether the host counts the size with or without its own header,
    // or takes the last byte as the check byte.
    std::vector<uint8_t> ListSecondForm() {
        Entry* e = ListedEntry();
        std::vector<PictureFile> files;
        if (e) files = ListedFiles(*e);
        uint32_t n = uint32_t(files.size());
        std::vector<uint8_t> out(8 + 4 * n, 0);
        Put32(out, 4, n);
        std::vector<size_t> entryAt;
        for (uint32_t i = 0; i < n; ++i) {
            entryAt.push_back(out.size());
            Put32(out, 8 + 4 * i, uint32_t(out.size()));
            out.resize(out.size() + 52, 0);
        }
        for (uint32_t i = 0; i < n; ++i) {
            const PictureFile& f = files[i];
            size_t E = entryAt[i];
            Put32(out, E + 0, f.objectId);
            Put32(out, E + 4, uint32_t(std::min<uint64_t>(f.size, 0xFFFFFFFFu)));
            static const char folder[] = "100VARNO";
            Put32(out, E + 8, uint32_t(out.size()));
            out.insert(out.end(), folder, folder + sizeof folder);
            Put32(out, E + 12, uint32_t(out.size()));
            out.insert(out.end(), f.name.begin(), f.name.end());
            out.push_back(0);
            const char* format = f.format == kFormatQ7f   ? "Q7F"
                                 : f.format == kFormatQ7i ? "Q7I"
                                                          : "JPG";
            std::memcpy(out.data() + E + 16, format, 4);
            Put16(out, E + 20, uint16_t(e->number));
            Put16(out, E + 22, 0);
            if (f.format == kFormatQ7i) {
                size_t M = E + 24;
                Put16(out, M + 0, f.part);
                Put16(out, M + 2, f.parts);
                Put32(out, M + 8, kQ7iHeaderA);
                Put32(out, M + 16, kQ7iHeaderB);
                Put32(out, M + 24, kQ7iTrailer);
                if (f.part == f.parts) {
                    Put32(out, M + 4, uint32_t(out.size()));
                    out.insert(out.end(), f.headerA.begin(), f.headerA.end());
                    out.insert(out.end(), f.headerB.begin(), f.headerB.end());
                    Put32(out, M + 20, uint32_t(out.size()));
                    out.insert(out.end(), f.trailer.begin(), f.trailer.end());
                }
            }
        }
        out.push_back(0);
        Put16(out, 0, uint16_t(out.size()));
        out[3] = 0;
        out[3] = uint8_t(-ByteSum(out) + (NamedBad(opt_, "list") ? 1 : 0));
        return out;
    }

    Reply PartialRead(uint32_t objectId, uint32_t offset, uint32_t size) {
        Reply r;
        ++partialReads_;
        for (const auto& f : opt_.failPieces) {
            if (f.nth && partialReads_ >= f.nth && partialReads_ < uint64_t(f.nth) + f.times) {
                r.code = kDeviceBusy;
                return r;
            }
        }
        uint32_t number = (objectId >> 8) & 0xFFFF;
        uint32_t index = (objectId & 0xFF) - 1;
        Entry* entry = nullptr;
        for (auto& [id, e] : db_)
            if (e.hasFiles && e.number == number && number != 0) entry = &e;
        if (!entry || (objectId & 0xFF) == 0 || index >= entry->frontier.size() ||
            (objectId >> 24) != 0) {
            r.code = kInvalidObject;
            return r;
        }
        uint64_t fileSize = FilesFor(opt_, number, entry->kind)[index].size;
        if (offset > fileSize) {
            r.code = kInvalidParameter;
            return r;
        }
        uint32_t len = uint32_t(std::min<uint64_t>({size, kPieceMax, fileSize - offset}));
        r.payload.resize(4 + size_t(len) + 2);
        ptp::WriteU32(r.payload.data(), len);
        VirtualCamera::FillPictureBytes(opt_.seed, objectId, offset, r.payload.data() + 4, len);
        bool more = uint64_t(offset) + len < fileSize;
        ptp::WriteU16(r.payload.data() + 4 + len, more ? 1 : 0);
        if (opt_.vanishAfterBytes && !vanished_) {
            uint64_t limit = *opt_.vanishAfterBytes;
            if (bytesSent_ + len > limit) {
                r.vanishAfterPayload = 4 + size_t(limit - std::min(limit, bytesSent_));
                bytesSent_ = limit;
                vanished_ = true;  // once: plugged in again, the camera behaves
                return r;          // never delivered: the file is not read
            }
            if (bytesSent_ + len == limit) r.vanishAfterReply = vanished_ = true;
        }
        bytesSent_ += len;
        uint64_t& front = entry->frontier[index];
        if (offset <= front) front = std::max<uint64_t>(front, uint64_t(offset) + len);
        AdvanceIfRead(*entry);
        return r;
    }

    void AdvanceIfRead(Entry& e) {
        if (e.status != kStatusReady) return;
        auto files = FilesFor(opt_, e.number, e.kind);
        auto done = [&](size_t i) { return e.frontier[i] >= files[i].size; };
        if (e.kind == PictureKind::Q7i) {
            bool moved = false;
            while (e.part <= int(files.size()) && done(size_t(e.part - 1))) {
                ++e.part;
                moved = true;
            }
            if (e.part <= int(files.size())) {
                if (moved) changedIds_.insert(e.id);  // next part ready
                return;
            }
        } else {
            for (size_t i = 0; i < files.size(); ++i)
                if (!done(i)) return;
        }
        e.status = kResultSuccess;
        e.flags &= uint8_t(~kFlagHeld);
        changedIds_.insert(e.id);
        // The list now describes the next picture still waiting (a burst, or
        // pictures taken during this transfer): announce those again, as the
        // host hears of ready pictures only through changes.
        for (const auto& [id, other] : db_)
            if (id != e.id && other.status == kStatusReady) changedIds_.insert(id);
    }

    // ---- records ---------------------------------------------------------

    std::vector<uint8_t> ConfigRecord() const {
        std::vector<uint8_t> out(53, 0);
        out[0] = 51;
        out[1] = opt_.protocolValid ? 0x40 : 0x00;
        size_t n = std::min<size_t>(opt_.name.size(), 45);
        std::memcpy(out.data() + 2, opt_.name.data(), n);
        Put16(out, 48, opt_.protocolMajor);
        Put16(out, 50, opt_.protocolMinor);
        out[52] = uint8_t(ByteSum(std::span(out.data(), 51)) + (NamedBad(opt_, "config") ? 1 : 0));
        return out;
    }

    // Camera status: the change flags and picture bits say what changed since
    // the last status; reading them is what clears them.
    std::vector<uint8_t> StatusRecord() {
        uint16_t flags = 0;
        for (int g = 1; g <= 6; ++g)
            if (changed_[g - 1]) flags |= kGroupFlag[g];
        if (setInfoChanged_) flags |= kSetInfoFlag[opt_.generation];
        uint32_t bits = 0;
        for (int id : changedIds_) bits |= 1u << id;
        if (bits) flags |= 0x0008;
        ClearChanges();
        std::vector<uint8_t> out(10, 0);
        out[0] = 8;
        Put16(out, 1, uint16_t(state_));
        Put16(out, 3, flags);
        Put32(out, 5, bits);
        // The check covers bytes 0 to 7 (the top byte of the picture bits is
        // outside it) and sits in byte 9.
        out[9] = uint8_t(ByteSum(std::span(out.data(), 8)) + (NamedBad(opt_, "status") ? 1 : 0));
        return out;
    }

    void ClearChanges() {
        changed_.fill(0);
        setInfoChanged_ = false;
        changedIds_.clear();
    }

    std::vector<uint8_t> StatusRecord2() {
        struct Item {
            uint16_t type;
            uint32_t count;
            std::vector<uint8_t> data;
            bool inlined;
        };
        std::vector<Item> items;
        std::vector<uint8_t> state(2);
        ptp::WriteU16(state.data(), uint16_t(state_));
        items.push_back({2, 2, state, true});
        if (!changedIds_.empty()) {
            std::vector<uint8_t> ids;
            for (int id : changedIds_) Append16(ids, uint16_t(id));
            uint32_t count = uint32_t(changedIds_.size());
            items.push_back({5, count, ids, count <= 2});
        }
        for (int g = 1; g <= 6; ++g) {
            if (!changed_[g - 1]) continue;
            auto d = PackGroupFields(g, changed_[g - 1], groups_[g - 1]);
            uint32_t count = uint32_t(d.size());
            items.push_back({GroupReadOp(g), count, d, count <= 4});
        }
        if (setInfoChanged_ && opt_.generation == 4) {
            auto rec = SetInfoRecord(4);
            uint16_t L = ptp::ReadU16(rec.data());
            std::vector<uint8_t> d(rec.begin() + 2, rec.begin() + 2 + L);
            items.push_back({0x902E, L, d, false});
        }
        ClearChanges();
        std::vector<uint8_t> out(8 + 12 * items.size(), 0);
        Put32(out, 4, uint32_t(items.size()));
        for (size_t i = 0; i < items.size(); ++i) {
            size_t at = 8 + 12 * i;
            Put16(out, at, items[i].type);
            Put32(out, at + 4, items[i].count);
            if (items[i].inlined) {
                uint8_t v[4] = {0, 0, 0, 0};
                std::memcpy(v, items[i].data.data(), std::min<size_t>(4, items[i].data.size()));
                Put32(out, at + 8, ptp::ReadU32(v));
            } else {
                Put32(out, at + 8, uint32_t(out.size()));
                out.insert(out.end(), items[i].data.begin(), items[i].data.end());
            }
        }
        Put32(out, 0, uint32_t(out.size()));
        return out;
    }

    std::vector<uint8_t> CaptureStatusRecord(int id) const {
        std::vector<uint8_t> out(8, 0);
        out[0] = 6;
        out[1] = uint8_t(id);
        out[2] = order_.empty() ? 0xFF : uint8_t(order_.front());
        out[3] = order_.empty() ? 0xFF : uint8_t(order_.back());
        auto it = db_.find(id);
        if (it != db_.end()) {
            Put16(out, 4, it->second.status);
            out[6] = it->second.flags;
        }
        out[7] = uint8_t(ByteSum(std::span(out.data(), 7)) + (NamedBad(opt_, "capture") ? 1 : 0));
        return out;
    }

    std::vector<uint8_t> SetInfoRecord(int v) const {
        std::vector<uint8_t> r(kSetInfoSize[v], 0);
        uint8_t shift = Field(2, 2) == 1 ? 0x01 : 0x00;  // program shift only in P
        auto b = [&](size_t at, uint8_t x) { r[at] = x; };
        auto w = [&](size_t at, uint16_t x) { ptp::WriteU16(r.data() + at, x); };
        switch (v) {
            case 1:
                b(5, kMeteringMask);
                b(6, kAfMask);
                b(9, kSizeMask);
                b(10, kQualityMask);
                b(11, 160);
                b(12, 16);
                b(13, 0x11);
                b(14, 24);
                b(15, 88);
                b(16, 0x02);
                b(17, shift);
                w(18, 0x807E);
                b(20, 40);
                b(21, 216);
                b(22, 0x02);
                b(23, 0x03);
                b(24, 24);
                w(26, 0x001D);
                b(28, 24);
                b(29, 232);
                w(31, kWhiteBalanceMask);
                b(33, uint8_t(kColourModeMask));
                b(37, 0x03);
                break;
            case 2:
                w(5, kExposureMask);
                w(7, kMeteringMask);
                w(9, kAfMask);
                b(23, kSizeMask);
                b(24, kQualityMask);
                b(25, 160);
                b(26, 16);
                b(27, 0x11);
                b(28, 24);
                b(29, 88);
                b(31, shift);
                b(32, 80);
                b(33, 32);
                b(35, 72);
                b(36, 32);
                b(37, 40);
                b(38, 216);
                b(40, 0x03);
                b(41, 24);
                w(43, 0x001D);
                b(45, 24);
                b(46, 232);
                w(48, kWhiteBalanceMask);
                w(50, kColourModeMask);
                b(55, 0x03);
                break;
            case 3:
                w(2, kDriveMask);
                w(5, kExposureMask);
                w(7, kMeteringMask);
                w(9, kAfMask);
                b(23, kSizeMask);
                b(24, kQualityMask);
                b(25, 160);
                b(26, 16);
                b(27, 0x11);
                b(28, 24);
                b(29, 88);
                b(31, shift);
                b(32, 80);
                b(33, 32);
                b(34, 0x01);
                b(37, 40);
                b(38, 216);
                b(40, 0x03);
                b(41, 24);
                w(43, 0x001D);
                b(45, 24);
                b(46, 232);
                w(48, kWhiteBalanceMask);
                w(50, kColourModeMask);
                b(55, 0x03);
                w(56, 3600);
                w(58, 7);  // interval timer maximum and minimum, seconds
                w(63, 10000);
                w(65, 2500);
                w(67, 100);
                b(75, kAspectMask);
                w(83, 240);
                w(85, 160);
                w(87, 20);
                w(89, 220);
                w(91, 20);
                w(93, 140);
                b(104, 0x1F);
                b(107, 0x1F);
                break;
            case 4:
                w(2, kDriveMask);
                b(4, 0x02);
                w(5, kExposureMask);
                w(7, kMeteringMask);
                w(9, kAfMask);
                b(11, kSizeMask);
                b(12, kQualityMask);
                b(13, 160);
                b(14, 16);
                b(15, 0x11);
                b(16, 24);
                b(17, 88);
                b(19, shift);
                b(20, 80);
                b(21, 32);
                b(22, 0x01);
                b(25, 40);
                b(26, 216);
                b(28, 0x03);
                b(29, 24);
                w(31, 0x001D);
                b(33, 24);
                b(34, 232);
                w(36, kWhiteBalanceMask);
                w(38, kColourModeMask);
                b(43, 0x03);
                b(63, kAspectMask);
                b(68, 0x07);
                w(71, 240);
                w(73, 160);
                w(75, 20);
                w(77, 220);
                w(79, 20);
                w(81, 140);
                b(92, 0x1F);
                b(95, 0x1F);
                b(99, 0x03);
                b(100, 0x07);
                break;
        }
        uint16_t L = uint16_t(r.size() - 3);
        w(0, L);
        static const char* names[] = {"", "CanSetInfo", "CanSetInfo2", "CanSetInfo3",
                                      "CanSetInfo4"};
        r[L + 2] =
            uint8_t(ByteSum(std::span(r.data(), L + 2)) + (NamedBad(opt_, names[v]) ? 1 : 0));
        return r;
    }

    std::vector<uint8_t> LiveViewFrame() {
        const uint32_t W = kLiveWidth, H = kLiveHeight, CW = W / 2, CH = H / 2;
        const uint32_t header = 0x24;
        std::vector<uint8_t> out(header + W * H + 2 * CW * CH, 0);
        uint32_t frame = liveFrame_++;
        Put32(out, 0, uint32_t(out.size()));
        Put32(out, 4, frame);
        Put16(out, 0x08, 1);
        Put16(out, 0x0E, uint16_t(W));
        Put16(out, 0x10, uint16_t(H));
        Put16(out, 0x12, opt_.liveWidth);
        Put16(out, 0x14, opt_.liveHeight);
        uint32_t yAt = header, cbAt = header + W * H, crAt = cbAt + CW * CH;
        Put32(out, 0x18, yAt);
        Put32(out, 0x1C, cbAt);
        Put32(out, 0x20, crAt);
        // A diagonal ramp drifting right with a bright bar sweeping across,
        // and colour ramps that shift with the frame count.
        uint32_t bar = (frame * 8) % W;
        for (uint32_t y = 0; y < H; ++y) {
            uint8_t* row = out.data() + yAt + y * W;
            for (uint32_t x = 0; x < W; ++x) {
                uint32_t d = x >= bar ? x - bar : bar - x;
                row[x] = d < 12 ? 235 : uint8_t(16 + ((x + y + frame * 4) % 200));
            }
        }
        for (uint32_t y = 0; y < CH; ++y) {
            for (uint32_t x = 0; x < CW; ++x) {
                out[cbAt + y * CW + x] = uint8_t(64 + (x * 128 / CW + frame) % 128);
                out[crAt + y * CW + x] = uint8_t(64 + (y * 128 / CH + frame / 2) % 128);
            }
        }
        return out;
    }

    // ---- settings --------------------------------------------------------

    void InitSettings() {
        for (int g = 1; g <= 6; ++g) groups_[g - 1].assign(GroupFullSize(g), 0);
        auto set = [&](int g, int bit, std::initializer_list<uint8_t> v) {
            std::copy(v.begin(), v.end(), groups_[g - 1].begin() + GroupField(g, bit).offset);
        };
        // 1: 1/60 s, F5.0, ISO 200, 3-shot bracketing of 1 EV, card ready
        set(1, 0, {104});
        set(1, 1, {45});
        set(1, 2, {0});
        set(1, 3, {0});
        set(1, 4, {40});
        set(1, 5, {0});
        set(1, 6, {8});
        set(1, 7, {1});
        set(1, 8, {1});
        set(1, 9, {uint8_t(opt_.remainingShots), uint8_t(opt_.remainingShots >> 8)});
        set(1, 10, {1});
        set(1, 12, {10});
        set(1, 13, {0});
        set(1, 14, {0});
        set(1, 15, {0});
        // 2: single frame, P, evaluative, AF-S, sync off, auto white balance, HI
        set(2, 0, {1});
        set(2, 1, {0});
        set(2, 2, {1});
        set(2, 3, {1});
        set(2, 4, {0});
        set(2, 5, {1});
        set(2, 7, {0});
        set(2, 8, {0});
        set(2, 9, {2});
        set(2, 10, {0});
        set(2, 11, {0});
        set(2, 12, {0});
        set(2, 13, {1});
        set(2, 14, {1});
        set(2, 15, {QualityFromKind(opt_.picture)});
        // 3: neutral parameters, sRGB, Standard, an 18-55 mm zoom
        set(3, 3, {1});
        set(3, 4, {3});
        set(3, 6, {0x20, 0x01});
        set(3, 7, {0x70, 0x03});
        set(3, 8, {1});
        set(3, 9, {4});
        set(3, 10, {1});
        set(3, 11, {2});
        set(3, 12, {1});
        set(3, 13, {4});
        // 4: one-third ISO steps, auto range 100..3200, crop off, fit
        set(4, 0, {2});
        set(4, 1, {72});
        set(4, 2, {32});
        set(4, 3, {0});
        set(4, 4, {1});
        set(4, 5, {1});
        // 5: 60 s interval, 5500 K, 3:2, free focus point in the middle
        set(5, 0, {60, 0, 0, 0, 0, 0});
        set(5, 1, {0x7C, 0x15});
        set(5, 2, {0, 0});
        set(5, 3, {3});
        set(5, 4, {1});
        set(5, 5, {1});
        set(5, 6, {1});
        set(5, 8, {0});
        set(5, 9, {2});
        set(5, 11, {2, 120, 80, 2});
        set(5, 12, {10, 10});
        set(5, 13, {0});
        set(5, 14, {0, 0, 0});
        set(5, 15, {1});
        // 6: white-balance bracketing, 3 shots of 2 along B-A; colour frames
        set(6, 0, {1});
        set(6, 1, {3});
        set(6, 2, {2});
        set(6, 3, {1});
        set(6, 4, {3});
        set(6, 5, {0, 0, 0, 1, 1});
        set(6, 6, {4});
        set(6, 7, {0, 0, 0, 1, 1});
        set(6, 8, {5});
        set(6, 9, {0, 0, 0, 1, 1});
        set(6, 10, {6});
        set(6, 11, {0, 0, 0, 1, 1});
        set(6, 12, {7});
        set(6, 13, {0, 0, 0, 1, 1});
        destination_ = opt_.destination & 0x03;
    }

    // ---- state -----------------------------------------------------------

    mutable std::mutex mu_;
    VirtualCameraOptions opt_;
    std::array<std::vector<uint8_t>, 6> groups_;
    std::array<uint16_t, 6> changed_{};
    bool setInfoChanged_ = false;
    int16_t state_ = 1;
    uint8_t destination_ = 2;
    std::array<uint8_t, 6> clock_{};
    std::map<int, Entry> db_;
    std::deque<int> order_;
    std::set<int> changedIds_;
    std::map<uint32_t, PictureKind> kinds_;
    uint32_t taken_ = 0;
    int nextId_ = 0;
    uint64_t partialReads_ = 0;
    uint64_t bytesSent_ = 0;
    bool vanished_ = false;
    uint32_t liveFrame_ = 0;
    bool session_ = false;
    std::vector<ReceivedOperation> received_;
    struct Timer {
        Clock::time_point due;
        int mode;
        int frames;
    };
    std::vector<Timer> timers_;
    std::vector<Busy> busy_;  // server thread only

    std::mutex lifeMu_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> plugged_{false};
    int listenFd_ = -1;
    int wake_[2] = {-1, -1};
    std::string socketPath_;
    std::string driverNumber_;
    FILE* trace_ = nullptr;

    friend class VirtualCamera;
};

// ---- public API ------------------------------------------------------------

VirtualCamera::VirtualCamera(VirtualCameraOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}
VirtualCamera::~VirtualCamera() {
    Stop();
}

bool VirtualCamera::Start() {
    return impl_->Plug();
}
void VirtualCamera::Unplug() {
    impl_->Unplug();
}
bool VirtualCamera::Plug() {
    return impl_->Plug();
}
void VirtualCamera::Stop() {
    impl_->Unplug();
}
bool VirtualCamera::IsPlugged() const {
    return impl_->IsPlugged();
}

std::string VirtualCamera::Instance() const {
    return impl_->opt_.instance;
}
std::string VirtualCamera::SocketPath() const {
    return impl_->opt_.deviceDir + "/" + impl_->opt_.instance + ".sock";
}
std::string VirtualCamera::DeviceDir() const {
    return impl_->opt_.deviceDir;
}
std::string VirtualCamera::RegistrationFile() const {
    return impl_->opt_.deviceDir + "/" + impl_->opt_.instance + ".device";
}

std::vector<ReceivedOperation> VirtualCamera::ReceivedOperations() const {
    std::lock_guard lock(impl_->mu_);
    return impl_->received_;
}
void VirtualCamera::ClearReceivedOperations() {
    std::lock_guard lock(impl_->mu_);
    impl_->received_.clear();
}

std::vector<int> VirtualCamera::TakePictureOnBody(int mode) {
    std::lock_guard lock(impl_->mu_);
    if (mode < 1 || mode > 3) return {};
    return impl_->Release(mode, 1, false);
}

std::vector<uint8_t> VirtualCamera::DataGroupField(int group, uint8_t field1,
                                                   uint8_t field2) const {
    std::lock_guard lock(impl_->mu_);
    uint16_t mask = uint16_t(field1 | field2 << 8);
    if (group < 1 || group > 6 || mask == 0 || (mask & (mask - 1))) return {};
    int bit = std::countr_zero(mask);
    if (group == 3 && bit == 15) return {impl_->destination_};
    const FieldSlot& s = GroupField(group, bit);
    if (!s.width) return {};
    const auto& full = impl_->groups_[group - 1];
    return std::vector<uint8_t>(full.begin() + s.offset, full.begin() + s.offset + s.width);
}

bool VirtualCamera::SetDataGroupFieldOnBody(int group, uint8_t field1, uint8_t field2,
                                            const std::vector<uint8_t>& value) {
    std::lock_guard lock(impl_->mu_);
    uint16_t mask = uint16_t(field1 | field2 << 8);
    if (group < 1 || group > 6 || mask == 0 || (mask & (mask - 1))) return false;
    int bit = std::countr_zero(mask);
    if (group == 3 && bit == 15) {
        if (value.size() != 1) return false;
        impl_->destination_ = value[0] & 0x03;
        return true;
    }
    const FieldSlot& s = GroupField(group, bit);
    if (!s.width || value.size() != s.width) return false;
    std::copy(value.begin(), value.end(), impl_->groups_[group - 1].begin() + s.offset);
    impl_->changed_[group - 1] |= mask;
    if (group == 2 && bit == 2) impl_->setInfoChanged_ = true;
    return true;
}

std::vector<uint8_t> VirtualCamera::DataGroupRecord(int group) const {
    std::lock_guard lock(impl_->mu_);
    if (group < 1 || group > 6) return {};
    return PackGroupRecord(group, GroupPresentMask(group), impl_->groups_[group - 1], false);
}

int16_t VirtualCamera::CameraState() const {
    std::lock_guard lock(impl_->mu_);
    return impl_->state_;
}
void VirtualCamera::SetCameraState(int16_t state) {
    std::lock_guard lock(impl_->mu_);
    impl_->state_ = state;
}

std::vector<int> VirtualCamera::PictureIds() const {
    std::lock_guard lock(impl_->mu_);
    return std::vector<int>(impl_->order_.begin(), impl_->order_.end());
}

std::optional<std::pair<uint16_t, uint8_t>> VirtualCamera::CaptureStatus(int id) const {
    std::lock_guard lock(impl_->mu_);
    auto it = impl_->db_.find(id);
    if (it == impl_->db_.end()) return std::nullopt;
    return std::make_pair(it->second.status, it->second.flags);
}

std::vector<PictureFile> VirtualCamera::ExpectedFiles(uint32_t pictureNumber) const {
    std::lock_guard lock(impl_->mu_);
    if (pictureNumber == 0) return {};
    auto it = impl_->kinds_.find(pictureNumber);
    PictureKind kind = it != impl_->kinds_.end() ? it->second : impl_->CurrentKind();
    return FilesFor(impl_->opt_, pictureNumber, kind);
}

std::vector<PictureFile> VirtualCamera::ExpectedFiles(const VirtualCameraOptions& options,
                                                      uint32_t pictureNumber) {
    if (pictureNumber == 0) return {};
    return FilesFor(options, pictureNumber, options.picture);
}

uint32_t VirtualCamera::PicturesTaken() const {
    std::lock_guard lock(impl_->mu_);
    return impl_->taken_;
}

const VirtualCameraOptions& VirtualCamera::Options() const {
    return impl_->opt_;
}

void VirtualCamera::FillPictureBytes(uint64_t seed, uint32_t objectId, uint64_t offset,
                                     uint8_t* out, size_t n) {
    // Eight bytes per hashed block, so any byte can be computed on its own.
    const uint64_t key = Mix(seed ^ (uint64_t(objectId) << 32 | 0x5EEDu));
    uint64_t block = offset / 8;
    size_t skip = size_t(offset % 8);
    size_t done = 0;
    while (done < n) {
        uint64_t v = Mix(key ^ (block * 0xD1B54A32D192ED03ull));
        uint8_t bytes[8];
        for (int i = 0; i < 8; ++i) bytes[i] = uint8_t(v >> (8 * i));
        size_t take = std::min(n - done, 8 - skip);
        std::memcpy(out + done, bytes + skip, take);
        done += take;
        skip = 0;
        ++block;
    }
}

}  // namespace kvx::vcam
