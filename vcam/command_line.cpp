// Command-line options of kvx-vcam.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "vcam/control_commands.h"
#include "vcam/virtual_camera.h"

namespace kvx::vcam {

namespace {

bool ParseU64(const std::string& s, uint64_t& out) {
    if (s.empty() || s[0] == '-') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(s.c_str(), &end, 0);
    if (errno || !end || *end) return false;
    out = v;
    return true;
}

bool ParseInt(const std::string& s, long lo, long hi, long& out) {
    uint64_t v = 0;
    if (!ParseU64(s, v) || v < uint64_t(lo) || v > uint64_t(hi)) return false;
    out = long(v);
    return true;
}

}  // namespace

std::string ControlHelpText() {
    return ControlCommands::Help();
}

std::string HelpText() {
    return "Usage: kvx-vcam [options]\n"
           "       kvx-vcam --send COMMAND [--device-dir DIR] [--instance ID]\n"
           "A virtual camera: registers in the device folder while it runs, unplugs on\n"
           "SIGINT or SIGTERM. It takes control commands (below) from its standard input\n"
           "and from its control socket DIR/ID.control, which it removes when it ends.\n"
           "With --send, sends one command to the running camera ID (or the only camera\n"
           "in DIR with a control socket), prints the answer and exits 0 for \"ok\",\n"
           "1 for an error answer, 2 when the camera could not be reached.\n"
           "  --model 110|130           model code (product PID_5D10 or PID_5E30), default 130\n"
           "  --protocol MAJOR.MINOR    protocol version, default 4.0\n"
           "  --no-protocol             configuration record without the version flag (3.0)\n"
           "  --generation N            settable-info version 1..4 (default: 4 for 4.x, else 3)\n"
           "  --name TEXT               camera name in the configuration record\n"
           "  --device-dir DIR          device folder (default $KVX_DEVICE_DIR or\n"
           "                            $XDG_RUNTIME_DIR/kvx/devices)\n"
           "  --instance ID             device instance id\n"
           "  --device-name TEXT        device name property; --no-device-name leaves it out\n"
           "  --device-type N           device type property, default 0x00020000\n"
           "  --pnp-id TEXT             Plug and Play id property\n"
           "  --picture jpeg|raw|raw+jpeg|q7i   kind of picture taken, default jpeg\n"
           "  --picture-bytes N         size of each picture file, default 3000000\n"
           "  --content-once            make the file bytes once at start (at most 64 MiB,\n"
           "                            repeated) and serve copies, so that a benchmark's\n"
           "                            camera does not spend its time making bytes\n"
           "  --q7i-parts N             parts of a Q7I picture, default 3\n"
           "  --file-base NAME          start of the camera's file names, default VRN_\n"
           "  --destination 1|2|3       initial storage: 1 card, 2 computer, 3 both (default 2)\n"
           "  --remaining N             pictures that fit on the card, default 500\n"
           "  --seed N                  seed of the picture contents; 0 (the default):\n"
           "                            derived from the instance id\n"
           "  --manifest FILE           append \"SHA256  NAME\" (sha256sum form) for every\n"
           "                            file served whole; a Q7I picture gets one line for\n"
           "                            the file assembled from its parts\n"
           "  --no-control              no control socket\n"
           "  --live-size 1024x680|900x600   live view display size, default 1024x680\n"
           "  --af-fails                focusing fails: a release reports 0x6001\n"
           "  --trace FILE              one line per operation received\n"
           "Faults:\n"
           "  --fail-piece N:K          the N-th partial read and the K-1 after it answer\n"
           "                            0x2019 (repeatable)\n"
           "  --bad-checksum RECORD     wrong checksum in config, status, capture, list,\n"
           "                            DataGroup1..6 or CanSetInfo..CanSetInfo4 (repeatable)\n"
           "  --vanish-after-bytes N    unplugged in the middle of the reply that passes N\n"
           "                            picture bytes\n"
           "  --help                    this text\n" +
           ControlHelpText();
}

bool ParseCommandLine(int argc, char** argv, VirtualCameraOptions& o, std::string& message) {
    bool contentOnce = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                message = "missing value for " + arg;
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto bad = [&](const std::string& v) {
            message = "bad value for " + arg + ": " + v;
            return false;
        };
        std::string v;
        long n = 0;
        uint64_t u = 0;
        if (arg == "--help" || arg == "-h") {
            message = HelpText();
            return false;
        } else if (arg == "--af-fails") {
            o.afFails = true;
        } else if (arg == "--no-protocol") {
            o.protocolValid = false;
        } else if (arg == "--no-control") {
            o.controlSocket = false;
        } else if (arg == "--content-once") {
            contentOnce = true;
        } else if (arg == "--no-device-name") {
            o.deviceName.reset();
        } else if (!value(v)) {
            if (message.empty()) message = "unknown option " + arg;
            return false;
        } else if (arg == "--model") {
            if (v != "110" && v != "130") return bad(v);
            o.model = std::stoi(v);
        } else if (arg == "--protocol") {
            auto dot = v.find('.');
            long major = 0, minor = 0;
            if (dot == std::string::npos || !ParseInt(v.substr(0, dot), 0, 255, major) ||
                !ParseInt(v.substr(dot + 1), 0, 255, minor))
                return bad(v);
            o.protocolMajor = uint16_t(major);
            o.protocolMinor = uint16_t(minor);
        } else if (arg == "--generation") {
            if (!ParseInt(v, 1, 4, n)) return bad(v);
            o.generation = int(n);
        } else if (arg == "--name") {
            o.name = v;
        } else if (arg == "--device-dir") {
            o.deviceDir = v;
        } else if (arg == "--instance") {
            if (v.empty() || v.find('/') != std::string::npos) return bad(v);
            o.instance = v;
        } else if (arg == "--device-name") {
            o.deviceName = v;
        } else if (arg == "--device-type") {
            if (!ParseU64(v, u) || u > 0xFFFFFFFFu) return bad(v);
            o.deviceType = uint32_t(u);
        } else if (arg == "--pnp-id") {
            o.pnpId = v;
        } else if (arg == "--picture") {
            if (v == "jpeg")
                o.picture = PictureKind::Jpeg;
            else if (v == "raw")
                o.picture = PictureKind::Raw;
            else if (v == "raw+jpeg")
                o.picture = PictureKind::RawJpeg;
            else if (v == "q7i")
                o.picture = PictureKind::Q7i;
            else
                return bad(v);
        } else if (arg == "--picture-bytes") {
            if (!ParseU64(v, u) || u < 1 || u > 0xFFFFFFFFu) return bad(v);
            o.pictureBytes = u;
        } else if (arg == "--q7i-parts") {
            if (!ParseInt(v, 1, 16, n)) return bad(v);
            o.q7iParts = int(n);
        } else if (arg == "--file-base") {
            o.fileBase = v;
        } else if (arg == "--destination") {
            if (!ParseInt(v, 1, 3, n)) return bad(v);
            o.destination = uint8_t(n);
        } else if (arg == "--remaining") {
            if (!ParseInt(v, 0, 65535, n)) return bad(v);
            o.remainingShots = uint16_t(n);
        } else if (arg == "--seed") {
            if (!ParseU64(v, u)) return bad(v);
            o.seed = u;
        } else if (arg == "--live-size") {
            if (v == "1024x680") {
                o.liveWidth = 1024;
                o.liveHeight = 680;
            } else if (v == "900x600") {
                o.liveWidth = 900;
                o.liveHeight = 600;
            } else {
                return bad(v);
            }
        } else if (arg == "--manifest") {
            if (v.empty()) return bad(v);
            o.manifestFile = v;
        } else if (arg == "--trace") {
            o.traceFile = v;
        } else if (arg == "--fail-piece") {
            auto colon = v.find(':');
            long nth = 0, times = 0;
            if (colon == std::string::npos || !ParseInt(v.substr(0, colon), 1, 1 << 30, nth) ||
                !ParseInt(v.substr(colon + 1), 1, 1000, times))
                return bad(v);
            o.failPieces.push_back({uint32_t(nth), uint32_t(times)});
        } else if (arg == "--bad-checksum") {
            static const char* known[] = {"config",      "status",     "capture",    "list",
                                          "DataGroup1",  "DataGroup2", "DataGroup3", "DataGroup4",
                                          "DataGroup5",  "DataGroup6", "CanSetInfo", "CanSetInfo2",
                                          "CanSetInfo3", "CanSetInfo4"};
            bool ok = false;
            for (const char* k : known) ok = ok || v == k;
            if (!ok) return bad(v);
            o.badChecksum.push_back(v);
        } else if (arg == "--vanish-after-bytes") {
            if (!ParseU64(v, u)) return bad(v);
            o.vanishAfterBytes = u;
        } else {
            message = "unknown option " + arg;
            return false;
        }
    }
    if (contentOnce) {
        constexpr uint64_t kMostContent = uint64_t{64} << 20;
        auto content = std::make_shared<std::vector<uint8_t>>(
            static_cast<size_t>(std::min<uint64_t>(std::max<uint64_t>(o.pictureBytes, 1), kMostContent)));
        VirtualCamera::FillPictureBytes(o.seed, 0x101, 0, content->data(), content->size());
        o.fileContent = std::move(content);
    }
    return true;
}

}  // namespace kvx::vcam
