// The virtual device folder as any process of the user may fill it:
// registration files (well-formed, broken, hidden, oversized, not files at
// all) read by the device list, turned into interface paths, cut apart again
// by the camera detector, and matched by the library's device search. What
// must hold whatever the folder holds:
//  - reading the folder ends, whatever sits in it (a pipe, a folder, a
//    device file, a huge file);
//  - a parsed registration has an instance and a socket, every value comes
//    from the text, and writing it out and reading it back gives it again;
//  - the folder's reading holds exactly the visible ".device" files that
//    parse, in name order, and the device list offers exactly those of them
//    whose socket listens;
//  - an interface path starts with "\\?\" and ends with "#" and the class;
//  - the detector finds the linked camera again when its registration is
//    plain, and never counts more cameras than paths;
//  - the library's active instance, when it has one, is a device id of the
//    folder, terminated inside its 256 bytes.
// Inputs whose first byte has its top bit set instead put a camera of ours
// behind a listening socket and register it with the fuzzer's bytes in every
// field, whole or spoilt in one way (no name, a storage id, another device
// type, another device id, another model or maker), now and then beside a
// spoilt copy of itself; the camera answers the session's opening as the
// input says. What must hold then:
//  - a registration the library looks for is matched and opened, its device
//    id becomes the active instance, and the release closes the session:
//    the camera hears exactly an opening and a closing, nothing else;
//  - a camera that refuses, breaks off or answers the wrong transaction is
//    not linked and hears only the opening;
//  - a registration the library must not take is never even connected to,
//    and the search ends with an empty active instance;
//  - no descriptor stays open once the link is released.
// Now and then a second camera of ours, whole and always willing to open, is
// registered after the first: when the first cannot be taken or does not
// open, the search goes on to the second and links it (the first's failure
// must not hide it); when the first opens, the second is never connected to.
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "camlink/device/device_list.h"
#include "camlink/device/virtual_registration.h"
#include "camlink/varno_usb.h"
#include "engine/camera_detector.h"
#include "fuzz/common/byte_reader.h"
#include "fuzz/common/check_stats.h"
#include "fuzz/common/socket_camera.h"
#include "fuzz/engine/fuzz_camera_link.h"
#include "fuzz/engine/fuzz_transfer_support.h"

namespace dev = kvx::device;
using kvx::engine::CCameraDetector;
using kvx::fuzz::ByteReader;
using kvx::fuzz::ScratchFolder;
using kvx::fuzz::SocketCamera;

namespace {

// The one socket of the folder that listens (and never accepts): the device
// list offers only registrations whose socket listens.
constexpr const char* kListening = "camera.sock";

int Listen(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof addr.sun_path) return -1;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class QuietDetectorHost final : public kvx::engine::IDetectorHost {
public:
    bool StartCommThread() override { return true; }
    bool StopCommThread() override { return true; }
    bool LinkReady() const override { return false; }
    void SetDeviceChangeFlag(bool) override {}
    void ClearCaptureStatusTable() override {}
    void DisableControls() override {}
    void ResetDisplay() override {}
    void PostQuit(int) override {}
    int PendingPictureCount() override { return 0; }
    int CommState() const override { return 0; }
    int CloseRequest() const override { return 0; }
    void SetCloseRequest(int) override {}
    void ShowNotice(const kvx::engine::CloseNotice&) override {}
    void CloseForReal() override {}
};

// The engine's view of the library: only the active instance matters here.
class LinkedInstance final : public kvx::fuzz::NullCameraLink {
public:
    explicit LinkedInstance(std::string id) : id_(std::move(id)) {}
    kvx::fuzz::HResult GetActiveDriverInstance(char* out, int32_t outSize) override {
        if (id_.empty() || !out || outSize < 256) return 1;
        std::memset(out, 0, static_cast<size_t>(outSize));
        std::memcpy(out, id_.data(), std::min<size_t>(id_.size(), 255));
        return 0;
    }

private:
    std::string id_;
};

const char* const kKeys[] = {"vendor",      "product", "instance", "driver", "deviceId", "name",
                             "description", "type",    "port",     "pnpId",  "socket",   "Socket"};

// A registration's text: key=value lines, mostly of known keys.
std::string MakeText(ByteReader& in, const std::string& folder) {
    if (in.Bit()) {
        auto raw = in.Bytes(in.U16() % 4096);
        return std::string(raw.begin(), raw.end());
    }
    std::string text;
    const int lines = in.U8() % 14;
    for (int i = 0; i < lines; ++i) {
        const uint8_t k = in.U8();
        const std::string key = kKeys[k % 12];
        std::string value;
        switch ((k >> 4) & 3) {
            case 0: {  // bytes of the input, without line ends
                auto v = in.Bytes(in.U8() % 80);
                for (uint8_t c : v) value += c == '\n' ? ' ' : static_cast<char>(c);
                break;
            }
            case 1:  // plain words
                value = std::string(1 + in.U8() % 12, static_cast<char>('A' + in.U8() % 26));
                break;
            case 2:  // long
                value = std::string(200 + in.U16() % 400, static_cast<char>('a' + in.U8() % 26));
                break;
            default:  // the values a camera of ours writes
                if (key == "vendor")
                    value = "VID_4E7A";
                else if (key == "product")
                    value = (in.Bit() ? "PID_5E30" : "PID_5D10");
                else if (key == "type")
                    value = "0x00020000";
                else if (key == "socket")
                    value = folder + "/" + kListening;
                else if (key == "pnpId")
                    value = "USB\\VID_4E7A&PID_5E30\\KVX" + std::to_string(in.U8());
                else
                    value = "KVX" + std::to_string(in.U8());
                break;
        }
        text += key + "=" + value + ((k & 0x40) ? "\r\n" : "\n");
    }
    return text;
}

bool Contains(const std::string& text, const std::string& value) {
    return value.empty() || text.find(value) != std::string::npos;
}

void CheckParsed(const std::string& text) {
    auto r = dev::ParseRegistration(text);
    if (!r) return;
    KVX_FUZZ_CHECK(!r->instance.empty() && !r->socket.empty());
    for (const std::string* v : {&r->vendor, &r->product, &r->instance, &r->driver, &r->deviceId,
                                 &r->description, &r->port, &r->socket}) {
        KVX_FUZZ_CHECK(v->find('\n') == std::string::npos);
        KVX_FUZZ_CHECK(*v == "VID_4E7A" || *v == "PID_5E30" || Contains(text, *v));
    }
    // Written out and read back: the same registration. (A value that ends
    // in carriage returns loses one more to the line end each time round.)
    auto again = dev::ParseRegistration(dev::FormatRegistration(*r));
    KVX_FUZZ_CHECK(again.has_value());
    auto same = [](const std::string& a, const std::string& b) {
        auto cut = [](std::string s) {
            while (!s.empty() && s.back() == '\r') s.pop_back();
            return s;
        };
        return cut(a) == cut(b);
    };
    auto sameOptional = [&](const std::optional<std::string>& a,
                            const std::optional<std::string>& b) {
        return a.has_value() == b.has_value() && (!a || same(*a, *b));
    };
    KVX_FUZZ_CHECK(same(again->vendor, r->vendor) && same(again->product, r->product) &&
                   same(again->instance, r->instance) && same(again->driver, r->driver) &&
                   same(again->deviceId, r->deviceId) && sameOptional(again->name, r->name) &&
                   same(again->description, r->description) && again->type == r->type &&
                   same(again->port, r->port) && sameOptional(again->pnpId, r->pnpId) &&
                   same(again->socket, r->socket));
}

bool WriteText(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

bool PlainInstance(const std::string& s) {
    if (s.empty() || s.size() > 64) return false;
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return s.find("STORAGE") == std::string::npos;
}

// Things that are no registration files, under registration names.
void PlantNonRegistrations(uint8_t flags, const std::string& folder) {
    if (flags & 0x01) ::mkfifo((folder + "/fifo.device").c_str(), 0644);
    if (flags & 0x02) ::mkdir((folder + "/folder.device").c_str(), 0755);
    if (flags & 0x04) (void)::symlink("/dev/zero", (folder + "/zero.device").c_str());
    if (flags & 0x08) {
        std::string big(300000, 'x');
        big += "\ninstance=BIG\nsocket=" + folder + "/big\n";
        WriteText(folder + "/big.device", big);
    }
}

// Folder mode: registrations of every shape, read, listed, matched by the
// engine's detector and by the library (which finds no camera to open).
void FolderInput(ByteReader& in, const std::string& folder, kvx::fuzz::CheckStats* stats) {
    std::vector<std::string> texts;
    int visible = 0;
    const int files = 1 + in.U8() % 4;
    for (int f = 0; f < files; ++f) {
        const uint8_t n = in.U8();
        static const char* const kForms[] = {"%s.device", ".%s.device", "%s.dev", "%s.device"};
        char name[64];
        std::snprintf(name, sizeof name, kForms[n & 3], ("reg" + std::to_string(f)).c_str());
        const std::string text = MakeText(in, folder);
        CheckParsed(text);
        WriteText(folder + "/" + name, text);
        if ((n & 3) == 0 || (n & 3) == 3) {
            texts.push_back(text);
            ++visible;
        }
    }

    // The folder as the device list reads it.
    const auto regs = dev::ReadRegistrations(folder);
    int parsedVisible = 0;
    for (const auto& t : texts) parsedVisible += dev::ParseRegistration(t) ? 1 : 0;
    // The oversized file is no registration of ours either.
    KVX_FUZZ_CHECK(static_cast<int>(regs.size()) == parsedVisible);
    for (size_t i = 0; i < regs.size(); ++i) {
        const std::string name = regs[i].file.substr(regs[i].file.rfind('/') + 1);
        KVX_FUZZ_CHECK(name[0] != '.' && name.size() > 7 &&
                       name.compare(name.size() - 7, 7, ".device") == 0);
        KVX_FUZZ_CHECK(name != "fifo.device" && name != "folder.device" && name != "zero.device" &&
                       name != "big.device");
        if (i > 0) KVX_FUZZ_CHECK(regs[i - 1].file < regs[i].file);
    }

    const std::string listening = folder + "/" + kListening;
    const int listener = Listen(listening);
    KVX_FUZZ_CHECK(listener >= 0);
    std::vector<std::string> offered;
    for (const auto& r : regs)
        if (r.socket == listening) offered.push_back(r.file);
    const auto devices = dev::ListStillImageDevices();
    KVX_FUZZ_CHECK(devices.size() == offered.size());
    std::vector<std::string> paths;
    for (const auto& d : devices) {
        const std::string p = dev::InterfacePath(d);
        const std::string tail = std::string("#") + dev::kStillImageClassGuid;
        KVX_FUZZ_CHECK(p.rfind("\\\\?\\", 0) == 0);
        KVX_FUZZ_CHECK(p.size() >= tail.size() + 4 &&
                       p.compare(p.size() - tail.size(), tail.size(), tail) == 0);
        paths.push_back(p);
    }
    KVX_FUZZ_CHECK(paths == dev::StillImageInterfacePaths());
    stats->counts[1] += devices.size();

    // The detector with the engine believing a camera is linked.
    std::string linked;
    const uint8_t pick = in.U8();
    if (!regs.empty() && (pick & 1)) {
        linked = regs[(pick >> 1) % regs.size()].driver;
        if (pick & 0x80)
            for (auto& c : linked)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else {
        auto raw = in.Bytes(in.U8() % 300);
        linked.assign(raw.begin(), raw.end());
        linked = linked.substr(0, std::min(linked.find('\0'), size_t{255}));
    }
    QuietDetectorHost host;
    LinkedInstance link(linked);
    CCameraDetector detector(host, link, dev::StillImageInterfacePaths, dev::LookupDriver);
    const auto found = detector.FindCameraAndKickThread();
    KVX_FUZZ_CHECK(found.count130 + found.countOther <=
                   std::min<int>(static_cast<int>(paths.size()), kvx::engine::kMaxDevicePaths));
    // One plain registration of a camera of ours, linked by its driver id:
    // the detector must not take it for gone.
    // (An id with a zero byte cannot pass through the library's C string.)
    if (regs.size() == 1 && regs[0].socket == listening && !linked.empty() &&
        linked.size() <= 255 && linked.find('\0') == std::string::npos) {
        const auto& r = regs[0];
        const bool plain =
            dev::EqualsNoCase(r.vendor, "VID_4E7A") && dev::EqualsNoCase(r.product, "PID_5E30") &&
            (!r.pnpId || dev::EqualsNoCase(*r.pnpId, "USB\\VID_4E7A&PID_5E30\\" + r.instance)) &&
            PlainInstance(r.instance) && dev::EqualsNoCase(r.driver, linked);
        if (plain) {
            KVX_FUZZ_CHECK(found.linkActive && !found.linkedGone && found.count130 == 1);
            ++stats->counts[2];
        }
    }

    // The library's own search: match by device id, then open (which fails:
    // the socket stops listening first, so no open waits on it), and the
    // active instance it keeps meanwhile.
    ::close(listener);
    ::unlink(listening.c_str());
    InitPTPMode_Parts();
    char active[KVX_ACTIVE_INSTANCE_SIZE + 8];
    std::memset(active, 0x5A, sizeof active);
    if (ZR4_GetActiveDriverInstance(active, KVX_ACTIVE_INSTANCE_SIZE) == 0) {
        const size_t len = strnlen(active, KVX_ACTIVE_INSTANCE_SIZE);
        KVX_FUZZ_CHECK(len < KVX_ACTIVE_INSTANCE_SIZE);
        KVX_FUZZ_CHECK(active[KVX_ACTIVE_INSTANCE_SIZE] == 0x5A);  // nothing past the buffer
        if (len > 0) {
            bool known = false;
            for (const auto& r : regs) known = known || r.deviceId == std::string(active, len);
            KVX_FUZZ_CHECK(known);
            ++stats->counts[3];
        }
    }
    ReleaseDevInfo_Parts();
}

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d)) ++n;
        ::closedir(d);
    }
    return n;
}

// A command or response container as a camera or host writes it.
std::vector<uint8_t> Container(uint16_t type, uint16_t code, uint32_t transaction,
                               const std::vector<uint32_t>& params) {
    std::vector<uint8_t> out;
    auto put = [&out](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put(static_cast<uint32_t>(12 + 4 * params.size()), 4);
    put(type, 2);
    put(code, 2);
    put(transaction, 4);
    for (uint32_t p : params) put(p, 4);
    return out;
}
constexpr uint16_t kCommand = 1, kResponse = 3;

// Fuzz bytes as a registration value: anything but a line end.
std::string Value(ByteReader& in, size_t most) {
    auto raw = in.Bytes(in.U8() % (most + 1));
    std::string v(raw.begin(), raw.end());
    for (char& c : v)
        if (c == '\n' || c == '\r') c = ' ';
    return v;
}

std::string FlipCase(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}
bool SameNoCase(const std::string& a, const std::string& b) {
    return Upper(a) == Upper(b);
}

// A camera of ours as it registers itself, with the fuzzer's bytes in every
// free field.
kvx::device::VirtualRegistration CameraRegistration(ByteReader& in, const std::string& socket) {
    kvx::device::VirtualRegistration r;
    const uint8_t look = in.U8();
    r.vendor = "VID_4E7A";
    r.product = (look & 1) ? "PID_5E40" : "PID_5E30";
    if (look & 2) {
        r.vendor = FlipCase(r.vendor);
        r.product = FlipCase(r.product);
    }
    r.instance = "K" + Value(in, 40);
    r.driver = Value(in, 200);
    r.deviceId = (look & 4) ? FlipCase(r.driver) : r.driver;
    r.name = Value(in, 40);
    r.description = Value(in, 60);
    r.port = Value(in, 60);
    switch ((look >> 3) & 3) {
        case 0:
            r.pnpId = "USB\\" + r.vendor + "&" + r.product + "\\" + r.instance;
            break;
        case 1:
            break;  // no Plug and Play id at all
        default:
            r.pnpId = Value(in, 200);
            break;
    }
    r.socket = socket;
    return r;
}

constexpr int kFaults = 6;
// One way of making a registration something the library must not open.
void Spoil(kvx::device::VirtualRegistration* r, int fault, ByteReader& in) {
    switch (fault) {
        case 0:
            r->name.reset();
            break;
        case 1: {
            std::string pnp = r->pnpId.value_or("USB\\VID_4E7A&PID_5E30\\" + r->instance);
            std::string word = "STORAGE";
            const uint8_t cases = in.U8();
            for (size_t i = 0; i < word.size(); ++i)
                if (cases & (1u << i)) word[i] = static_cast<char>(word[i] - 'A' + 'a');
            pnp.insert(in.U8() % (pnp.size() + 1), word);
            r->pnpId = pnp;
            break;
        }
        case 2: {
            const uint32_t t = in.Bit() ? 0x00020001 : in.U32();
            r->type = t == 0x00020000 ? 0x00030000 : t;
            break;
        }
        case 3: {
            // One more character (never a line end, which the format would drop).
            const char c = static_cast<char>(in.U8());
            r->deviceId += c == '\n' || c == '\r' ? '~' : c;
            break;
        }
        case 4:
            r->product = in.Bit() ? "PID_5D10" : "PID_5D20";
            break;
        default:
            r->vendor = "VID_4E7B";
            break;
    }
}

// What the library looks for: a named digital camera, no storage device, and
// a device id that is the driver of a registered instance of the accepted
// model group.
bool LibraryTakes(const kvx::device::VirtualRegistration& d,
                  const std::vector<kvx::device::VirtualRegistration>& all) {
    if (!d.name || d.type != 0x00020000) return false;
    if (d.pnpId && Upper(*d.pnpId).find("STORAGE") != std::string::npos) return false;
    for (const auto& r : all) {
        const bool ours = SameNoCase(r.vendor, "VID_4E7A") &&
                          (SameNoCase(r.product, "PID_5E30") || SameNoCase(r.product, "PID_5E40"));
        if (ours && SameNoCase(r.driver, d.deviceId)) return true;
    }
    return false;
}

enum class Answer { Open, AlreadyOpen, Refused, OtherTransaction, Silent, Raw };

// Camera mode: see the top of the file.
void CameraInput(ByteReader& in, const std::string& folder, SocketCamera& camera,
                 SocketCamera& secondCamera, kvx::fuzz::CheckStats* stats) {
    namespace dev = kvx::device;
    std::vector<std::pair<std::string, dev::VirtualRegistration>> files;
    dev::VirtualRegistration cam = CameraRegistration(in, camera.Path());
    const dev::VirtualRegistration whole = cam;
    const uint8_t shape = in.U8();
    // Half the cameras are whole; the rest carry one fault.
    if (shape & 0x08) Spoil(&cam, (shape & 0x07) % kFaults, in);
    files.emplace_back("cam.device", cam);
    std::optional<dev::VirtualRegistration> second;
    if (shape & 0x40) {
        // The second camera: the first as it was before any fault, under
        // its own instance, driver and socket; listed after the first.
        dev::VirtualRegistration b = whole;
        const std::string usual = "USB\\" + whole.vendor + "&" + whole.product + "\\" + whole.instance;
        b.instance += "#B";
        b.driver += "#B";
        b.deviceId = b.driver;
        if (b.pnpId == usual) b.pnpId = "USB\\" + b.vendor + "&" + b.product + "\\" + b.instance;
        b.socket = secondCamera.Path();
        second = b;
        files.emplace_back("cam2.device", b);
    }
    if (shape & 0x10) {
        // A spoilt copy of the camera, listed before or after it.
        dev::VirtualRegistration other = cam;
        other.instance += "#2";
        other.driver += "#2";
        other.deviceId = other.driver;
        Spoil(&other, in.U8() % kFaults, in);
        files.emplace_back((shape & 0x20) ? "a.device" : "z.device", other);
    }
    std::vector<dev::VirtualRegistration> all;
    for (const auto& [name, r] : files) {
        const std::string text = dev::FormatRegistration(r);
        CheckParsed(text);
        KVX_FUZZ_CHECK(WriteText(folder + "/" + name, text));
        all.push_back(r);
    }
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    const dev::VirtualRegistration* wanted = nullptr;
    for (const auto& [name, r] : files)
        if (!wanted && LibraryTakes(r, all)) wanted = &r;
    const bool firstTaken = LibraryTakes(cam, all);
    const bool secondTaken = second && LibraryTakes(*second, all);

    // The camera's answer to the opening (transaction 0), and maybe to the
    // closing (transaction 1).
    std::vector<uint8_t> stream;
    const uint8_t how = in.U8();
    Answer answer = Answer::Open;
    switch (how & 7) {
        case 0:
        case 1:
        case 2: {
            std::vector<uint32_t> params(in.U8() % 6);
            for (auto& p : params) p = in.U32();
            stream = Container(kResponse, 0x2001, 0, params);
            break;
        }
        case 3:
            answer = Answer::AlreadyOpen;
            stream = Container(kResponse, 0x201E, 0, {});
            break;
        case 4: {
            answer = Answer::Refused;
            uint16_t code = in.U16();
            if (code == 0x2001 || code == 0x201E) code = 0x2019;  // device busy
            stream = Container(kResponse, code, 0, {});
            break;
        }
        case 5:
            answer = Answer::OtherTransaction;
            stream = Container(kResponse, 0x2001, 1 + in.U8(), {});
            break;
        case 6:
            answer = Answer::Silent;
            break;
        default: {
            answer = Answer::Raw;
            auto raw = in.Bytes(in.U8());
            stream.assign(raw.begin(), raw.end());
            break;
        }
    }
    if (how & 0x80) {
        auto closed = Container(kResponse, 0x2001, 1, {});
        stream.insert(stream.end(), closed.begin(), closed.end());
    }

    const int descriptors = OpenDescriptors();
    camera.Serve(std::move(stream));
    if (second) {
        auto willing = Container(kResponse, 0x2001, 0, {});
        const auto closed = Container(kResponse, 0x2001, 1, {});
        willing.insert(willing.end(), closed.begin(), closed.end());
        secondCamera.Serve(std::move(willing));
    }
    const KVX_HRESULT opened = InitPTPMode_Parts();
    char active[KVX_ACTIVE_INSTANCE_SIZE + 8];
    std::memset(active, 0x5A, sizeof active);
    const KVX_HRESULT flag = ZR4_GetActiveDriverInstance(active, KVX_ACTIVE_INSTANCE_SIZE);
    ReleaseDevInfo_Parts();
    camera.Finish();
    if (second) secondCamera.Finish();
    // Every socket and file of the search and the link is closed again.
    KVX_FUZZ_CHECK(OpenDescriptors() == descriptors);
    KVX_FUZZ_CHECK(ZR4_GetActiveDriverInstance(active, KVX_ACTIVE_INSTANCE_SIZE) == 1);
    KVX_FUZZ_CHECK(active[KVX_ACTIVE_INSTANCE_SIZE] == 0x5A);

    const auto openSession = Container(kCommand, 0x1002, 0, {1});
    auto openAndClose = openSession;
    const auto closeSession = Container(kCommand, 0x1003, 1, {});
    openAndClose.insert(openAndClose.end(), closeSession.begin(), closeSession.end());
    const std::vector<uint8_t>& heard = camera.Received();
    if (second) {
        // Which camera the search reached and which it linked.
        const bool firstOpened = firstTaken && heard == openAndClose;
        KVX_FUZZ_CHECK(camera.Connections() == (firstTaken ? 1 : 0));
        if (firstTaken && !firstOpened) KVX_FUZZ_CHECK(heard == openSession);
        if (firstOpened) {
            KVX_FUZZ_CHECK(answer != Answer::Refused && answer != Answer::OtherTransaction &&
                           answer != Answer::Silent);
        } else if (firstTaken) {
            KVX_FUZZ_CHECK(answer != Answer::Open && answer != Answer::AlreadyOpen);
        }
        const dev::VirtualRegistration* linked =
            firstOpened ? &cam : secondTaken ? &*second : nullptr;
        KVX_FUZZ_CHECK(secondCamera.Connections() == (!firstOpened && secondTaken ? 1 : 0));
        if (!firstOpened && secondTaken) KVX_FUZZ_CHECK(secondCamera.Received() == openAndClose);
        if (!linked) {
            // Nothing linked: the flag tells whether an open failed on the way.
            KVX_FUZZ_CHECK(opened == 1 && flag == (firstTaken ? 1 : 0));
            for (size_t i = 0; i < KVX_ACTIVE_INSTANCE_SIZE; ++i) KVX_FUZZ_CHECK(active[i] == 0);
            ++stats->counts[5];
            return;
        }
        KVX_FUZZ_CHECK(opened == 0 && flag == 0);
        std::vector<char> expected(KVX_ACTIVE_INSTANCE_SIZE, 0);
        std::copy(linked->deviceId.begin(), linked->deviceId.end(), expected.begin());
        KVX_FUZZ_CHECK(std::memcmp(active, expected.data(), expected.size()) == 0);
        ++stats->counts[firstOpened ? 4 : 6];
        return;
    }
    if (!wanted) {
        // Refused without a knock; the search ran to its end.
        KVX_FUZZ_CHECK(opened == 1 && heard.empty() && camera.Connections() == 0);
        KVX_FUZZ_CHECK(flag == 0);
        for (size_t i = 0; i < KVX_ACTIVE_INSTANCE_SIZE; ++i) KVX_FUZZ_CHECK(active[i] == 0);
        ++stats->counts[5];
        return;
    }
    ++stats->counts[3];
    KVX_FUZZ_CHECK(camera.Connections() == 1);
    if (answer == Answer::Open || answer == Answer::AlreadyOpen) KVX_FUZZ_CHECK(opened == 0);
    if (answer == Answer::Refused || answer == Answer::OtherTransaction || answer == Answer::Silent)
        KVX_FUZZ_CHECK(opened == 1);
    if (opened == 0) {
        // Linked to exactly this device id, and let go of it cleanly.
        KVX_FUZZ_CHECK(heard == openAndClose);
        KVX_FUZZ_CHECK(flag == 0);
        std::vector<char> expected(KVX_ACTIVE_INSTANCE_SIZE, 0);
        std::copy(wanted->deviceId.begin(), wanted->deviceId.end(), expected.begin());
        KVX_FUZZ_CHECK(std::memcmp(active, expected.data(), expected.size()) == 0);
        ++stats->counts[4];
    } else {
        // A camera that did not open is no link, and nothing more is asked of it.
        KVX_FUZZ_CHECK(opened == 1 && heard == openSession && flag == 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScratchFolder scratch;
    static kvx::fuzz::CheckStats stats{
        "device_registry",
        {},
        {"inputs", "listed", "linked_found", "library_matched", "opened_closed", "refused",
         "second_linked"}};
    static const bool once = [] {
        ::setenv("KVX_DEVICE_DIR", (scratch.Root() + "/devices").c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
        return true;
    }();
    (void)once;
    static SocketCamera camera(scratch.Root() + "/cam.sock", SocketCamera::ListenOnly{});
    static SocketCamera secondCamera(scratch.Root() + "/cam2.sock", SocketCamera::ListenOnly{});
    const std::string folder = scratch.Root() + "/devices";
    ::mkdir(folder.c_str(), 0755);
    ScratchFolder::Empty(folder);
    ++stats.counts[0];

    ByteReader in(data, size);
    const uint8_t flags = in.U8();
    PlantNonRegistrations(flags, folder);
    if (flags & 0x80)
        CameraInput(in, folder, camera, secondCamera, &stats);
    else
        FolderInput(in, folder, &stats);
    ScratchFolder::Empty(folder);
    return 0;
}
