// The virtual camera's request handling, driven over its real socket with
// valid container framing and valid record checksums, so that requests get
// past the framing into the operations: settings written, pictures taken
// (from the host and on the body), lists, partial reads, the live view and
// the database clears. What must hold whatever the host asks:
//  - every request gets an answer, framed as this transaction's optional
//    data container of the request's operation and then a response with at
//    most five parameters;
//  - a partial read that succeeds returns a piece record (length, that many
//    bytes, a more flag) no longer than asked, whose bytes are the picture's;
//  - the camera is still there for a second session afterwards.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "camlink/device/ptp_container.h"
#include "camlink/varno_usb.h"
#include "fuzz/common/byte_reader.h"
#include "fuzz/common/check_stats.h"
#include "fuzz/engine/fuzz_transfer_support.h"
#include "vcam/virtual_camera.h"

namespace ptp = kvx::ptp;
using kvx::fuzz::ByteReader;
using kvx::vcam::VirtualCamera;

namespace {

class Host {
public:
    explicit Host(const std::string& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            kvx::fuzz::Fail("cannot reach the camera");
    }
    ~Host() { ::close(fd_); }

    struct Answer {
        bool hadData = false;
        std::vector<uint8_t> data;
        uint16_t code = 0;
        std::vector<uint32_t> params;
    };

    Answer Transact(uint16_t op, const std::vector<uint32_t>& params,
                    const std::vector<uint8_t>* write) {
        const uint32_t tid = tid_++;
        Send(ptp::EncodeParams(ptp::ContainerType::Command, op, tid, params));
        if (write) {
            std::vector<uint8_t> d(ptp::kHeaderSize);
            ptp::EncodeHeader(ptp::DataHeader(op, tid, write->size()), d.data());
            d.insert(d.end(), write->begin(), write->end());
            Send(d);
        }
        Answer a;
        ptp::Header h = Receive(a.data);
        if (h.type == ptp::ContainerType::Data) {
            KVX_FUZZ_CHECK(h.code == op && h.transactionId == tid);
            KVX_FUZZ_CHECK(!write);  // no data back for a write
            a.hadData = true;
            std::vector<uint8_t> body;
            h = Receive(body);
        }
        KVX_FUZZ_CHECK(h.type == ptp::ContainerType::Response && h.transactionId == tid);
        a.code = h.code;
        auto p = ptp::DecodeParams(body_);
        KVX_FUZZ_CHECK(p.has_value());
        a.params = *p;
        return a;
    }

private:
    void Send(const std::vector<uint8_t>& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) kvx::fuzz::Fail("the camera went away");
            sent += static_cast<size_t>(n);
        }
    }
    void ReceiveExact(uint8_t* out, size_t n) {
        size_t got = 0;
        while (got < n) {
            pollfd p{fd_, POLLIN, 0};
            // A camera that does not answer within this is hung. The fuzzer's
            // own timer signal interrupts the wait now and then; that is no
            // answer from the camera either way, so the wait goes on.
            const int ready = ::poll(&p, 1, 10000);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) kvx::fuzz::Fail("the camera did not answer");
            const ssize_t r = ::recv(fd_, out + got, n - got, 0);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) kvx::fuzz::Fail("the camera closed the connection");
            got += static_cast<size_t>(r);
        }
    }
    // One container; its body goes to body (data) or body_ (response).
    ptp::Header Receive(std::vector<uint8_t>& body) {
        uint8_t head[ptp::kHeaderSize];
        ReceiveExact(head, sizeof head);
        auto h = ptp::DecodeHeader(head);
        KVX_FUZZ_CHECK(h.has_value());
        KVX_FUZZ_CHECK(h->type == ptp::ContainerType::Data ||
                       h->type == ptp::ContainerType::Response);
        // The largest reply the library takes: 2 MiB plus the reply header.
        KVX_FUZZ_CHECK(h->length - ptp::kHeaderSize <= KVX_LARGE_REPLY_BUFFER_SIZE);
        std::vector<uint8_t>& into = h->type == ptp::ContainerType::Data ? body : body_;
        into.assign(h->length - ptp::kHeaderSize, 0);
        if (!into.empty()) ReceiveExact(into.data(), into.size());
        return *h;
    }

    int fd_ = -1;
    uint32_t tid_ = 0;
    std::vector<uint8_t> body_;
};

// The response code to an OpenSession on a new connection; 0 when the
// connection ended first.
uint16_t OpenSessionOnce(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    uint16_t code = 0;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const uint32_t one[1] = {1};
        auto c = ptp::EncodeParams(ptp::ContainerType::Command, ptp::kOpOpenSession, 0, one);
        uint8_t head[ptp::kHeaderSize];
        size_t got = 0;
        pollfd p{fd, POLLIN, 0};
        if (::send(fd, c.data(), c.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(c.size())) {
            while (got<sizeof head&& ::poll(&p, 1, 10000)> 0) {
                const ssize_t r = ::recv(fd, head + got, sizeof head - got, 0);
                if (r <= 0) break;
                got += static_cast<size_t>(r);
            }
        }
        if (got == sizeof head) code = ptp::ReadU16(head + 6);
    }
    if (fd >= 0) ::close(fd);
    return code;
}

// The record with its length byte and 8-bit sum set, as the library sends it.
std::vector<uint8_t> Summed(std::vector<uint8_t> r, bool lengthByte) {
    if (r.size() < 2) r.resize(2);
    if (lengthByte) r[0] = static_cast<uint8_t>(r.size() - 2);
    unsigned sum = 0;
    for (size_t i = 0; i + 1 < r.size(); ++i) sum += r[i];
    r.back() = static_cast<uint8_t>(sum);
    return r;
}

const uint16_t kReads[] = {0x9010, 0x9011, 0x902C, 0x9012, 0x9013, 0x9014, 0x9023, 0x9027,
                           0x9029, 0x901A, 0x9025, 0x9026, 0x902E, 0x9020, 0x902D, 0x902B};
const uint16_t kGroupWrites[] = {0x9016, 0x9017, 0x9018, 0x9024, 0x9028, 0x902A};
const size_t kGroupSizes[] = {22, 20, 21, 7, 34, 38};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kvx::fuzz::ScratchFolder scratch;
    static kvx::fuzz::CheckStats stats{
        "vcam_requests", {}, {"requests", "ok", "pictures", "pieces", "pieces_checked"}};
    ByteReader in(data, size);
    const uint8_t flags = in.U8();
    kvx::vcam::VirtualCameraOptions o;
    o.deviceDir = scratch.Root() + "/devices";
    o.instance = "KVXFUZZ";
    if (const char* t = std::getenv("KVX_FUZZ_VCAM_TRACE")) o.traceFile = t;
    static const kvx::vcam::PictureKind kKinds[] = {
        kvx::vcam::PictureKind::Jpeg, kvx::vcam::PictureKind::Raw, kvx::vcam::PictureKind::RawJpeg,
        kvx::vcam::PictureKind::Q7i};
    o.picture = kKinds[flags & 3];
    o.pictureBytes = 1 + in.U16() % 5000;
    o.q7iParts = 1 + (flags >> 2) % 4;
    o.destination = static_cast<uint8_t>(1 + (flags >> 4) % 3);
    o.protocolMajor = (flags & 0x40) ? 3 : 4;
    o.remainingShots = in.U8() % 4;
    VirtualCamera camera(o);
    if (!camera.Start()) kvx::fuzz::Fail("the camera did not start");
    {
        Host host(camera.SocketPath());
        if (!(flags & 0x80)) host.Transact(ptp::kOpOpenSession, {1}, nullptr);
        const int requests = 1 + in.U8() % 32;
        for (int i = 0; i < requests && !in.Empty(); ++i) {
            const uint8_t pick = in.U8();
            ++stats.counts[0];
            Host::Answer a;
            uint32_t objectId = 0, offset = 0, asked = 0;
            bool piece = false;
            switch (pick % 10) {
                case 0:
                case 1:
                case 2: {  // a read, with up to five parameters
                    std::vector<uint32_t> params(in.U8() % 6);
                    for (auto& p : params) p = in.U8();
                    a = host.Transact(kReads[in.U8() % std::size(kReads)], params, nullptr);
                    break;
                }
                case 3: {  // a setting written, one field of one group
                    const int g = in.U8() % 6;
                    std::vector<uint8_t> r = in.Bytes(kGroupSizes[g]);
                    r.resize(kGroupSizes[g]);
                    if (in.Bit()) {  // exactly one field bit, as the library sends
                        const int bit = in.U8() % 16;
                        r[1] = static_cast<uint8_t>(bit < 8 ? 1u << bit : 0);
                        r[2] = static_cast<uint8_t>(bit < 8 ? 0 : 1u << (bit - 8));
                    }
                    auto w = Summed(std::move(r), true);
                    a = host.Transact(kGroupWrites[g], {}, &w);
                    break;
                }
                case 4: {  // the shutter from the computer
                    auto w = Summed({2, static_cast<uint8_t>(in.U8() % 5), in.U8(), 0}, false);
                    a = host.Transact(0x901B, {}, &w);
                    ++stats.counts[2];
                    break;
                }
                case 5:  // the shutter on the body
                    camera.TakePictureOnBody(1 + in.U8() % 3);
                    ++stats.counts[2];
                    continue;
                case 6:
                case 7: {  // a piece of a picture file the camera has or had
                    const auto files = camera.ExpectedFiles(1 + in.U8() % 3);
                    if (!files.empty() && in.U8() < 0xF0) {
                        const auto& f = files[in.U8() % files.size()];
                        objectId = f.objectId;
                        offset = static_cast<uint32_t>(in.U16() % (f.size + 2));
                    } else {
                        objectId = in.U32();
                        offset = in.U16();
                    }
                    asked = in.Bit() ? in.U16() : 0x200000u + in.U8() - 128;
                    piece = true;
                    a = host.Transact(in.Bit() ? 0x9022 : 0x9021, {objectId, offset, asked},
                                      nullptr);
                    ++stats.counts[3];
                    break;
                }
                case 8: {  // capture status, clears, closing, the clock
                    static const uint16_t kOps[] = {0x9015,
                                                    0x901C,
                                                    0x901D,
                                                    0x902F,
                                                    0x1087,
                                                    0x9019,
                                                    0x9099,
                                                    ptp::kOpCloseSession,
                                                    ptp::kOpOpenSession};
                    const uint16_t op = kOps[in.U8() % std::size(kOps)];
                    if (op == 0x9019) {
                        std::vector<uint8_t> w = in.Bytes(8);
                        w.resize(8);
                        w = Summed(std::move(w), false);
                        a = host.Transact(op, {}, &w);
                    } else if (op == 0x901C || op == 0x901D || op == 0x902F) {
                        // Parameter commands carry eight zero bytes, as the library sends them.
                        const std::vector<uint8_t> zeros(8, 0);
                        a = host.Transact(op, {in.U8()}, &zeros);
                    } else {
                        a = host.Transact(op, {in.U8()}, nullptr);
                    }
                    break;
                }
                default: {  // settings turned on the body
                    const int g = 1 + in.U8() % 6;
                    camera.SetDataGroupFieldOnBody(g, in.U8(), in.U8(), in.Bytes(in.U8() % 5));
                    continue;
                }
            }
            KVX_FUZZ_CHECK(a.params.size() <= 5);
            if (a.code == ptp::kResponseOk) ++stats.counts[1];
            if (piece && a.code == ptp::kResponseOk && a.hadData) {
                // Length, that many picture bytes, then the more flag.
                KVX_FUZZ_CHECK(a.data.size() >= 6);
                const uint32_t length = ptp::ReadU32(a.data.data());
                KVX_FUZZ_CHECK(length <= asked && uint64_t{length} + 6 == a.data.size());
                std::vector<uint8_t> expected(length);
                VirtualCamera::FillPictureBytes(o.seed, objectId, offset, expected.data(), length);
                KVX_FUZZ_CHECK(std::equal(expected.begin(), expected.end(), a.data.begin() + 4));
                ++stats.counts[4];
            }
        }
    }
    // Still serving: a new host opens a session. Until the camera has seen
    // the first host go, it tells a second one it is busy (and then lets
    // it go), so ask again for a while.
    bool served = false;
    for (int attempt = 0; attempt < 400 && !served; ++attempt) {
        const uint16_t code = OpenSessionOnce(camera.SocketPath());
        served = code == ptp::kResponseOk || code == ptp::kResponseSessionAlreadyOpen;
        if (!served) ::usleep(5000);
    }
    KVX_FUZZ_CHECK(served);
    camera.Stop();
    return 0;
}
