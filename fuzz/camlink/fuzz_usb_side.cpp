// The USB side of the device layer with a device whose every answer comes
// from the fuzz input: the texts read from sysfs (serial, product and
// manufacturer strings are the device's own) and the bulk pipe with short,
// zero-length, oversized and failing transfers. What must hold:
//  - a sysfs text is at most 255 bytes of the file's first line;
//  - an instance id taken from a serial survives the interface path: cut
//    between its '#' marks it comes back unchanged;
//  - the pipe delivers exactly the bytes the device moved, in order, never
//    more than asked, never writing past the caller's buffer; a transfer
//    that claims more than it was asked for is an error; an endless run of
//    zero-length packets ends;
//  - a send succeeds only when the device took every byte, and a container
//    of whole packets is followed by a zero-length packet.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// The sysfs readers are file-local to the USB device list: built in here
// rather than widened into its interface.
#include "camlink/device/usb_devices.cpp"
#include "camlink/device/usb_pipe.h"
#include "fuzz/common/byte_reader.h"
#include "fuzz/common/check_stats.h"
#include "fuzz/common/guarded_buffer.h"
#include "fuzz/engine/fuzz_transfer_support.h"

namespace dev = kvx::device;
using kvx::fuzz::ByteReader;
using kvx::fuzz::GuardedBuffer;
using kvx::fuzz::ScratchFolder;

namespace {

uint8_t StreamByte(uint64_t i) {
    return static_cast<uint8_t>((i * 2654435761u) >> 13);
}

// Bulk endpoints that answer from the input. The bytes a transfer moves in
// are the next ones of a fixed stream, so that a lost, doubled or reordered
// byte shows.
class FuzzTransport final : public dev::IBulkTransport {
public:
    FuzzTransport(ByteReader& in, size_t packet) : in_(in), packet_(packet) {}
    size_t PacketSize() const override { return packet_; }

    dev::BulkResult BulkOut(const uint8_t* data, size_t length, size_t* transferred,
                            unsigned) override {
        KVX_FUZZ_CHECK(data != nullptr || length == 0);
        const uint8_t c = in_.U8();
        dev::BulkResult r = Result(c);
        size_t moved = length;
        if (c & 0x10) moved = in_.U16() % (length + 2);  // short, or more than asked
        *transferred = moved;
        if (length == 0) ++zeroOut;
        if (r == dev::BulkResult::Ok && moved <= length) {
            out.insert(out.end(), data, data + moved);
        } else if (moved <= length) {
            outOther.insert(outOther.end(), data, data + moved);
        }
        lastOutOk = r == dev::BulkResult::Ok;
        return r;
    }

    dev::BulkResult BulkIn(uint8_t* data, size_t length, size_t* transferred, unsigned) override {
        KVX_FUZZ_CHECK(length > 0);
        ++ins;
        if (in_.Empty()) {
            *transferred = 0;
            return dev::BulkResult::Gone;
        }
        const uint8_t c = in_.U8();
        dev::BulkResult r = Result(c);
        size_t moved;
        switch ((c >> 4) & 3) {
            case 0:
                moved = length;
                break;
            case 1:
                moved = 0;  // a zero-length packet (or nothing, with a failure)
                break;
            case 2:
                moved = in_.U16() % (length + 1);
                break;
            default:
                moved = length + 1 + in_.U8();  // claims more than asked for
                break;
        }
        *transferred = moved;
        const size_t written = std::min(moved, length);
        // Writes what it claims, up to what it was given: the guard page
        // after the caller's buffer catches a length that was too large.
        for (size_t i = 0; i < written; ++i) data[i] = StreamByte(sent_ + i);
        if (moved <= length) sent_ += moved;
        return r;
    }

    std::vector<uint8_t> out, outOther;
    int zeroOut = 0;
    int ins = 0;
    bool lastOutOk = false;
    uint64_t Sent() const { return sent_; }

private:
    dev::BulkResult Result(uint8_t c) {
        switch (c & 0x0F) {
            case 12:
                return dev::BulkResult::Timeout;
            case 13:
                return dev::BulkResult::Gone;
            case 14:
                return dev::BulkResult::Error;
            default:
                return dev::BulkResult::Ok;
        }
    }
    ByteReader& in_;
    size_t packet_;
    uint64_t sent_ = 0;
};

void CheckSysfsText(ByteReader& in, const std::string& folder) {
    static const char* const kNames[] = {"serial", "product", "manufacturer"};
    const char* name = kNames[in.U8() % 3];
    auto bytes = in.Bytes(in.U16() % 1200);
    const std::string file(bytes.begin(), bytes.end());
    const std::string path = folder + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const bool wrote = ::write(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size());
    ::close(fd);
    if (!wrote) return;
    const std::string text = dev::ReadSysfsText(folder, name);
    KVX_FUZZ_CHECK(text.size() <= 255);
    KVX_FUZZ_CHECK(file.compare(0, text.size(), text) == 0);
    KVX_FUZZ_CHECK(text.find('\n') == std::string::npos);
    KVX_FUZZ_CHECK(dev::ReadSysfsText(folder, "missing").empty());

    if (!dev::UsableInstance(text)) return;
    // The instance id between the '#' marks of its interface path, as the
    // detector cuts it out of the upper-cased path.
    dev::DeviceInfo d;
    d.vendor = "VID_4E7A";
    d.product = "PID_5E30";
    d.instance = text;
    d.properties.pnpId = "USB\\" + d.vendor + "&" + d.product + "\\" + d.instance;
    std::string p = dev::InterfacePath(d);
    for (auto& c : p) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const size_t productAt = p.find("PID_5E30");
    KVX_FUZZ_CHECK(productAt != std::string::npos);
    const size_t first = p.find('#', productAt + 8);
    KVX_FUZZ_CHECK(first != std::string::npos);
    const size_t second = p.find('#', first + 1);
    KVX_FUZZ_CHECK(second != std::string::npos);
    KVX_FUZZ_CHECK(dev::EqualsNoCase(p.substr(first + 1, second - first - 1), text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScratchFolder scratch;
    static GuardedBuffer buffer(1 << 16);
    static kvx::fuzz::CheckStats stats{
        "usb_side", {}, {"receives", "ok", "staged", "sends_ok", "zlp_ends"}};
    ByteReader in(data, size);
    CheckSysfsText(in, scratch.Root());

    static const size_t kPackets[] = {0, 8, 64, 512, 1024, 2u << 20};
    const uint8_t p = in.U8();
    const size_t packet = (p & 7) < 6 ? kPackets[p & 7] : 1 + in.U16() % 700;
    auto owned = std::make_unique<FuzzTransport>(in, packet);
    FuzzTransport& t = *owned;
    dev::UsbPipe pipe(std::move(owned), 1);
    const size_t effectivePacket =
        packet == 0 || packet > dev::UsbPipe::kMaxTransfer ? 512 : packet;

    uint64_t delivered = 0;
    const int calls = 1 + in.U8() % 24;
    for (int i = 0; i < calls && !in.Empty(); ++i) {
        const uint8_t op = in.U8();
        if (op & 0x80) {
            // A container to send: whole packets now and then.
            size_t n = (op & 0x40) ? effectivePacket * (1 + in.U8() % 3) : 1 + in.U16() % 3000;
            std::vector<uint8_t> c(n);
            for (size_t k = 0; k < n; ++k) c[k] = static_cast<uint8_t>(k ^ i);
            t.out.clear();
            t.zeroOut = 0;
            const auto s = pipe.SendContainer(c);
            if (s == dev::PipeStatus::Ok) {
                ++stats.counts[3];
                KVX_FUZZ_CHECK(t.out == c);
                KVX_FUZZ_CHECK(t.zeroOut == (n % effectivePacket == 0 ? 1 : 0));
            }
            continue;
        }
        size_t want = 1 + (op & 0x3F) * (1 + in.U8());
        want = std::min(want, buffer.Capacity());
        uint8_t* into = buffer.Place(want);
        size_t got = 12345;
        ++stats.counts[0];
        const int insBefore = t.ins;
        const auto s = pipe.Receive(std::span<uint8_t>(into, want), &got);
        if (s != dev::PipeStatus::Ok) {
            KVX_FUZZ_CHECK(got == 0);
            if (s == dev::PipeStatus::Error && t.ins - insBefore >= 5) ++stats.counts[4];
            // After a failure the stream's framing is lost; a session ends here.
            break;
        }
        ++stats.counts[1];
        KVX_FUZZ_CHECK(got >= 1 && got <= want);
        if (t.ins == insBefore) ++stats.counts[2];
        for (size_t k = 0; k < got; ++k) KVX_FUZZ_CHECK(into[k] == StreamByte(delivered + k));
        delivered += got;
        KVX_FUZZ_CHECK(delivered <= t.Sent());
        // A run of zero-length packets ends after a few.
        KVX_FUZZ_CHECK(t.ins - insBefore <= 5);
    }
    return 0;
}
