#include "vcam/virtual_camera.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>

#include "camlink/device/virtual_registration.h"
#include "platform/paths.h"
#include "vcam/camera_settings.h"
#include "vcam/control_commands.h"
#include "vcam/control_server.h"
#include "vcam/manifest.h"
#include "vcam/operation_codes.h"
#include "vcam/picture_store.h"
#include "vcam/record_builder.h"
#include "vcam/record_layout.h"
#include "vcam/socket_server.h"

namespace kvx::vcam {

namespace {

using Clock = std::chrono::steady_clock;

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

bool NamedBad(const VirtualCameraOptions& o, const std::string& record) {
    return std::find(o.badChecksum.begin(), o.badChecksum.end(), record) != o.badChecksum.end();
}

std::atomic<uint32_t> gInstanceCounter{0};

VirtualCameraOptions Resolved(VirtualCameraOptions o) {
    if (o.generation < 1 || o.generation > 4) o.generation = o.protocolMajor >= 4 ? 4 : 3;
    if (o.deviceDir.empty()) o.deviceDir = kvx::VirtualDeviceFolder();
    if (o.instance.empty()) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "KVX%05u%02u", unsigned(::getpid()) % 100000u,
                      gInstanceCounter.fetch_add(1) % 100u);
        o.instance = buf;
    }
    if (o.seed == 0) {
        // FNV-1a of the instance id: the same camera makes the same pictures
        // run after run, two cameras make different ones.
        uint64_t h = 0xCBF29CE484222325ull;
        for (unsigned char c : o.instance) h = (h ^ c) * 0x100000001B3ull;
        o.seed = h ? h : 1;
    }
    return o;
}

}  // namespace

class VirtualCamera::Impl final : public SocketServer::Handler {
public:
    explicit Impl(VirtualCameraOptions options)
        : opt_(Resolved(std::move(options))),
          settings_(opt_),
          store_(opt_),
          afFails_(opt_.afFails),
          server_(*this) {
        if (!opt_.manifestFile.empty()) {
            manifest_ = std::make_unique<Manifest>(opt_.manifestFile);
            store_.SetServedWholeHandler(
                [this](const PictureEntry& e, size_t index) { NoteServedWhole(e, index); });
        }
    }

    ~Impl() override { Unplug(); }

    // ---- lifecycle ------------------------------------------------------

    bool Plug() {
        std::lock_guard life(lifeMu_);
        if (plugged_) return true;
        server_.Stop();
        std::error_code ec;
        std::filesystem::create_directories(opt_.deviceDir, ec);
        socketPath_ = opt_.deviceDir + "/" + opt_.instance + ".sock";
        if (!server_.Listen(socketPath_)) return false;
        if (!opt_.traceFile.empty() && !trace_) trace_ = std::fopen(opt_.traceFile.c_str(), "a");
        if (!kvx::device::WriteRegistration(opt_.deviceDir, Registration())) {
            server_.Stop();
            return false;
        }
        plugged_ = true;
        server_.Run();
        return true;
    }

    void Unplug() {
        std::lock_guard life(lifeMu_);
        if (plugged_) kvx::device::RemoveRegistration(opt_.deviceDir, opt_.instance);
        server_.Stop();
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

    // ---- socket server --------------------------------------------------

    void OnHostChange() override {
        std::lock_guard lock(mu_);
        session_ = false;
    }

    OperationReply OnOperation(uint16_t code, const std::optional<std::vector<uint32_t>>& params,
                               const std::vector<uint8_t>& data) override {
        std::lock_guard lock(mu_);
        Record(code, params ? *params : std::vector<uint32_t>{}, data);
        if (!params) {
            OperationReply r;
            r.code = kInvalidParameter;
            return r;
        }
        return Handle(code, *params, data);
    }

    void OnIdle() override {
        std::lock_guard lock(mu_);
        RunTimersLocked();
    }

    void OnVanished() override {
        // Pulled out mid-transfer: gone from the device folder.
        kvx::device::RemoveRegistration(opt_.deviceDir, opt_.instance);
        plugged_ = false;
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

    OperationReply Handle(uint16_t code, const std::vector<uint32_t>& p,
                          const std::vector<uint8_t>& data) {
        OperationReply r;
        if (code == ptp::kOpOpenSession) {
            if (session_) {
                r.code = kSessionAlreadyOpen;
                return r;
            }
            session_ = true;
            // The host reads the settable info of a 4.0 camera from the first
            // status record 2 after the link opens.
            if (opt_.protocolMajor >= 4 && opt_.generation == 4) settings_.MarkSetInfoChanged();
            // A host that comes (back) learns of every picture still in the
            // database, so that none waits unnoticed for a new release.
            store_.MarkAllChanged();
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
            r.payload = PackGroupRecord(g, GroupPresentMask(g), settings_.Group(g),
                                        NamedBad(opt_, "DataGroup" + std::to_string(g)));
            return r;
        }
        if (int g = GroupOfWriteOp(code)) {
            r.code = settings_.WriteFromHost(g, data);
            return r;
        }
        switch (code) {
            case 0x9010:
                r.payload = RecordBuilder::Config(opt_, NamedBad(opt_, "config"));
                break;
            case 0x9011:
                if (FailStatusRead(r)) break;
                r.payload = RecordBuilder::Status(state_, settings_, store_.ChangedIds(),
                                                  opt_.generation, NamedBad(opt_, "status"));
                ClearChanges();
                break;
            case 0x902C:
                if (FailStatusRead(r)) break;
                r.payload =
                    RecordBuilder::Status2(state_, settings_, store_.ChangedIds(), opt_.generation);
                ClearChanges();
                break;
            case 0x901A:
            case 0x9025:
            case 0x9026:
            case 0x902E: {
                int v = code == 0x901A ? 1 : code == 0x9025 ? 2 : code == 0x9026 ? 3 : 4;
                static const char* names[] = {"", "CanSetInfo", "CanSetInfo2", "CanSetInfo3",
                                              "CanSetInfo4"};
                if (v > opt_.generation)
                    r.code = kNotSupported;
                else
                    r.payload = RecordBuilder::SetInfo(v, settings_, NamedBad(opt_, names[v]));
                break;
            }
            case 0x9015:
                r.payload =
                    RecordBuilder::CaptureStatus(int(param(0)), store_, NamedBad(opt_, "capture"));
                break;
            case 0x9020:
            case 0x902D: {
                const PictureEntry* e = store_.ListedEntry();
                std::vector<PictureFile> files;
                if (e) files = store_.ListedFiles(*e);
                bool bad = NamedBad(opt_, "list");
                r.payload = code == 0x9020 ? RecordBuilder::ListFirstForm(e, files, bad)
                                           : RecordBuilder::ListSecondForm(e, files, bad);
                break;
            }
            case 0x9021:
            case 0x9022:
                r = store_.PartialRead(param(0), param(1), param(2));
                break;
            case 0x902B:
                if (opt_.protocolMajor < 4)
                    r.code = kNotSupported;
                else
                    r.payload =
                        RecordBuilder::LiveViewFrame(liveFrame_++, opt_.liveWidth, opt_.liveHeight);
                break;
            case 0x1087:
                r.payload = {uint8_t(param(0))};
                break;
            case 0x901B:
                r.code = SnapFromHost(data);
                break;
            case 0x9019:
                r.code = settings_.AdjustClock(data);
                break;
            case 0x901C:
                store_.ClearEntry(int(param(0)));
                break;
            case 0x901D:
                store_.ClearAll();
                break;
            case 0x902F:
                break;  // the host application closes: nothing to keep
            default:
                r.code = kNotSupported;
                break;
        }
        return r;
    }

    // mu_ held: the digest of a file the host has just read to its end.
    void NoteServedWhole(const PictureEntry& e, size_t index) {
        auto files = PictureStore::FilesFor(opt_, e.number, e.kind);
        if (index >= files.size()) return;
        if (e.kind != PictureKind::Q7i) {
            manifest_->Append(Manifest::DigestOf(opt_, files[index]), files[index].name);
            return;
        }
        // The parts of a Q7I become one file on the host: its line comes
        // once every part has been read.
        for (size_t i = 0; i < files.size(); ++i)
            if (e.frontier[i] < files[i].size) return;
        manifest_->Append(Manifest::DigestOfAssembled(opt_, files), files[0].name);
    }

    void ClearChanges() {
        settings_.ClearChanges();
        store_.ClearChangedIds();
    }

    // A status read the camera does not answer properly; what changed stays
    // for the next read that succeeds.
    bool FailStatusRead(OperationReply& r) {
        if (failStatus_ == 0) return false;
        --failStatus_;
        r.code = kGeneralError;
        r.silent = failStatusSilent_;
        return true;
    }

    uint16_t SnapFromHost(const std::vector<uint8_t>& d) {
        if (d.size() < 4 || ByteSum(std::span(d.data(), d.size() - 1)) != d.back() || d[0] != 2)
            return kInvalidParameter;
        int mode = d[1];
        if (mode < 1 || mode > 3) return kInvalidParameter;
        if (mode != 3 && !store_.FreeId()) return kDeviceBusy;
        Release(mode, d[2], false);
        return kOk;
    }

    // ---- pictures --------------------------------------------------------

    PictureKind CurrentKind() const {
        if (opt_.picture == PictureKind::Q7i) return PictureKind::Q7i;
        return KindFromQuality(settings_.Field(2, kBitQuality));
    }

    std::vector<int> Release(int mode, int frames, bool skipTimer) {
        std::vector<int> ids;
        uint8_t drive = settings_.Field(2, kBitDriveMode);
        if (!skipTimer && (drive == 3 || drive == 4)) {
            timers_.push_back(
                {Clock::now() + std::chrono::seconds(drive == 3 ? 2 : 10), mode, frames});
            return ids;
        }
        bool manualFocus = (settings_.Field(2, kBitAfMode) & 3) == 3;
        uint8_t wb = settings_.Field(2, kBitWhiteBalance);
        if (mode != 3 && (wb == 9 || wb == 11 || wb == 13)) return MeasureWhiteBalance(wb);
        bool focus = (mode == 1 || mode == 3) && !manualFocus;
        if (focus && afFails_) {
            settings_.SetField(1, kBitFocusState, 3);  // the camera could not focus
            if (mode == 3) return ids;
            if (auto id = store_.FreeId()) {
                store_.AddResult(*id, kResultFocusFailed);
                ids.push_back(*id);
            }
            return ids;
        }
        if (mode == 3) return ids;
        int count = std::clamp(frames, 1, 9);
        if (drive == 2) count = 3;
        if (drive == 6) {
            uint8_t setting = settings_.Field(1, kBitBracketSetting);
            count = setting >= 4 && setting <= 6 ? 5 : 3;
        }
        uint8_t dest = settings_.Destination() ? settings_.Destination() : 1;
        std::vector<int> offsets;
        if (drive == 6) {
            offsets = SeriesOffsets(int8_t(settings_.Field(1, kBitBracketAmount)),
                                    settings_.Field(1, kBitBracketSetting), count);
            lastSeries_.clear();
        }
        for (int i = 0; i < count; ++i) {
            auto id = store_.FreeId();
            if (!id) break;
            uint16_t remaining = settings_.RemainingShots();
            if ((dest & 1) && remaining == 0) {
                store_.AddResult(*id, kResultCardFull);
                ids.push_back(*id);
                break;
            }
            store_.AddPicture(*id, CurrentKind(), dest & 2);
            if (dest & 1) settings_.SetRemainingShots(uint16_t(remaining - 1));
            if (drive == 6) {
                // Each frame is exposed at its offset and counted; the
                // counter drops back to 0 with the series' last frame.
                int8_t comp = int8_t(settings_.Field(1, kBitExposureComp));
                settings_.SetField(1, kBitExposureLevel, uint8_t(comp + offsets[size_t(i)]));
                lastSeries_.push_back(offsets[size_t(i)]);
                settings_.SetField(1, kBitBracketCounter, uint8_t(i + 1 < count ? i + 1 : 0));
                if (i + 1 == count) settings_.SetField(1, kBitExposureLevel, uint8_t(comp));
            }
            ids.push_back(*id);
        }
        return ids;
    }

    // The exposure offsets (eighth stops) of a bracketing series, frame by
    // frame: order 1 "0, -, +", 2 "-, 0, +", 3 "+, 0, -"; five frames add the
    // double steps.
    static std::vector<int> SeriesOffsets(int amount, uint8_t setting, int count) {
        int order = setting >= 1 && setting <= 6 ? (setting - 1) % 3 + 1 : 1;
        int a = amount;
        if (count == 5) {
            if (order == 1) return {0, -a, a, -2 * a, 2 * a};
            if (order == 2) return {-2 * a, -a, 0, a, 2 * a};
            return {2 * a, a, 0, -a, -2 * a};
        }
        if (order == 1) return {0, -a, a};
        if (order == 2) return {-a, 0, a};
        return {a, 0, -a};
    }

    // A release in a custom white-balance capture mode (9, 11, 13 for slots
    // 1, 2, 3): the camera focuses on the neutral surface, measures it and
    // keeps the result in the slot, then shows that slot (8, 10, 12). The
    // picture is only measured: no file for the computer, no shot off the
    // card, but it needs a card the camera can use. A failure leaves the
    // camera in the capture mode, so the photographer can try again.
    std::vector<int> MeasureWhiteBalance(uint8_t captureMode) {
        std::vector<int> ids;
        auto id = store_.FreeId();
        if (!id) return ids;
        ids.push_back(*id);
        bool manualFocus = (settings_.Field(2, kBitAfMode) & 3) == 3;
        if (afFails_ && !manualFocus) {
            settings_.SetField(1, kBitFocusState, 3);
            store_.AddResult(*id, kResultFocusFailed);
            return ids;
        }
        uint8_t card = settings_.Field(1, kBitCardState);
        bool cardUsable = (card == 1 || card == 2) && settings_.Field(1, kBitCardReady) != 0;
        if (!cardUsable || settings_.RemainingShots() == 0) {
            store_.AddResult(*id, kResultCardFull);
            return ids;
        }
        int slot = (captureMode - 7) / 2;  // 9 -> 1, 11 -> 2, 13 -> 3
        // What the surface measured: a daylight-ish value of the camera's own.
        uint16_t kelvin =
            uint16_t(4800 + (opt_.seed + uint64_t(slot) * 7 + ++measured_) % 16 * 100);
        settings_.StoreCustomWhiteBalance(slot, kelvin);
        settings_.SetField(2, kBitWhiteBalance, uint8_t(captureMode - 1));
        store_.AddResult(*id, kResultSuccess);
        return ids;
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

    // ---- state -----------------------------------------------------------

    mutable std::mutex mu_;
    const VirtualCameraOptions opt_;
    CameraSettings settings_;
    PictureStore store_;
    int16_t state_ = 1;
    uint32_t liveFrame_ = 0;
    bool session_ = false;
    std::vector<ReceivedOperation> received_;
    struct Timer {
        Clock::time_point due;
        int mode;
        int frames;
    };
    std::vector<Timer> timers_;
    bool afFails_ = false;
    std::vector<int> lastSeries_;  // exposure offsets of the last bracketing series
    uint32_t measured_ = 0;        // custom white balances measured
    uint32_t failStatus_ = 0;
    bool failStatusSilent_ = false;
    std::unique_ptr<Manifest> manifest_;

    // The control socket: started and stopped by the owner's thread only,
    // never while lifeMu_ is held (its commands plug and unplug).
    std::mutex controlMu_;
    std::unique_ptr<ControlServer> control_;

    std::mutex lifeMu_;
    SocketServer server_;
    std::atomic<bool> plugged_{false};
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
    {
        std::lock_guard lock(impl_->controlMu_);
        if (impl_->opt_.controlSocket && !impl_->control_) {
            auto control = std::make_unique<ControlServer>(
                [this](const std::string& l) { return Command(l); });
            std::error_code ec;
            std::filesystem::create_directories(impl_->opt_.deviceDir, ec);
            if (!control->Listen(ControlSocketPath()) || !control->Run()) return false;
            impl_->control_ = std::move(control);
        }
    }
    if (impl_->Plug()) return true;
    StopControl();
    return false;
}

void VirtualCamera::StopControl() {
    std::unique_ptr<ControlServer> control;
    {
        std::lock_guard lock(impl_->controlMu_);
        control = std::move(impl_->control_);
    }
    control.reset();  // joins its thread and removes the socket
}
void VirtualCamera::Unplug() {
    impl_->Unplug();
}
bool VirtualCamera::Plug() {
    return impl_->Plug();
}
void VirtualCamera::Stop() {
    StopControl();
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
std::string VirtualCamera::ControlSocketPath() const {
    return impl_->opt_.deviceDir + "/" + impl_->opt_.instance + ".control";
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

CameraClockTime VirtualCamera::CameraClock() const {
    std::lock_guard lock(impl_->mu_);
    return impl_->settings_.ClockNow();
}

std::vector<int> VirtualCamera::LastBracketSeries() const {
    std::lock_guard lock(impl_->mu_);
    return impl_->lastSeries_;
}

uint16_t VirtualCamera::CustomWhiteBalance(int slot) const {
    std::lock_guard lock(impl_->mu_);
    return impl_->settings_.CustomWhiteBalance(slot);
}

BodyRelease VirtualCamera::PressShutterOnBody(int mode, std::optional<uint8_t> driveMode) {
    std::lock_guard lock(impl_->mu_);
    BodyRelease out;
    if (mode < 1 || mode > 3) return out;
    if (mode != 3 && !impl_->store_.FreeId()) {
        out.busy = true;
        return out;
    }
    if (driveMode && impl_->settings_.Field(2, kBitDriveMode) != *driveMode)
        impl_->settings_.SetField(2, kBitDriveMode, *driveMode);
    uint8_t drive = impl_->settings_.Field(2, kBitDriveMode);
    out.ids = impl_->Release(mode, 1, false);
    if (drive == 3 || drive == 4) out.timerSeconds = drive == 3 ? 2 : 10;
    return out;
}

bool VirtualCamera::SetFieldsOnBody(const std::vector<BodyField>& fields) {
    std::lock_guard lock(impl_->mu_);
    for (const auto& f : fields) {
        auto now = impl_->settings_.FieldBytes(f.group, f.bit);
        if (now.empty() || now.size() != f.value.size()) return false;
    }
    for (const auto& f : fields) impl_->settings_.SetOnBody(f.group, f.bit, f.value);
    return true;
}

std::vector<uint8_t> VirtualCamera::FieldBytes(int group, int bit) const {
    std::lock_guard lock(impl_->mu_);
    return impl_->settings_.FieldBytes(group, bit);
}

void VirtualCamera::SetFocusFails(bool fails) {
    std::lock_guard lock(impl_->mu_);
    impl_->afFails_ = fails;
    // Focusing works again: the AF lock can be engaged.
    if (!fails && impl_->settings_.Field(1, kBitFocusState) == 3)
        impl_->settings_.SetField(1, kBitFocusState, 0);
}

bool VirtualCamera::FocusFails() const {
    std::lock_guard lock(impl_->mu_);
    return impl_->afFails_;
}

void VirtualCamera::FailStatusReads(uint32_t count, StatusFailure how) {
    std::lock_guard lock(impl_->mu_);
    impl_->failStatus_ = count;
    impl_->failStatusSilent_ = how == StatusFailure::Silent;
}

uint32_t VirtualCamera::FailingStatusReads() const {
    std::lock_guard lock(impl_->mu_);
    return impl_->failStatus_;
}

std::string VirtualCamera::Command(const std::string& line) {
    return ControlCommands::Execute(*this, line);
}

namespace {

// The field bit of a Field1/Field2 pair that selects exactly one field.
std::optional<int> SingleBit(uint8_t field1, uint8_t field2) {
    uint16_t mask = uint16_t(field1 | field2 << 8);
    if (mask == 0 || (mask & (mask - 1))) return std::nullopt;
    return std::countr_zero(mask);
}

}  // namespace

std::vector<uint8_t> VirtualCamera::DataGroupField(int group, uint8_t field1,
                                                   uint8_t field2) const {
    std::lock_guard lock(impl_->mu_);
    auto bit = SingleBit(field1, field2);
    if (!bit) return {};
    return impl_->settings_.FieldBytes(group, *bit);
}

bool VirtualCamera::SetDataGroupFieldOnBody(int group, uint8_t field1, uint8_t field2,
                                            const std::vector<uint8_t>& value) {
    std::lock_guard lock(impl_->mu_);
    auto bit = SingleBit(field1, field2);
    if (!bit) return false;
    return impl_->settings_.SetOnBody(group, *bit, value);
}

std::vector<uint8_t> VirtualCamera::DataGroupRecord(int group) const {
    std::lock_guard lock(impl_->mu_);
    if (group < 1 || group > 6) return {};
    return PackGroupRecord(group, GroupPresentMask(group), impl_->settings_.Group(group), false);
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
    return impl_->store_.Ids();
}

std::optional<std::pair<uint16_t, uint8_t>> VirtualCamera::CaptureStatus(int id) const {
    std::lock_guard lock(impl_->mu_);
    const PictureEntry* e = impl_->store_.Find(id);
    if (!e) return std::nullopt;
    return std::make_pair(e->status, e->flags);
}

std::vector<PictureFile> VirtualCamera::ExpectedFiles(uint32_t pictureNumber) const {
    std::lock_guard lock(impl_->mu_);
    if (pictureNumber == 0) return {};
    PictureKind kind = impl_->store_.KindOf(pictureNumber).value_or(impl_->CurrentKind());
    return PictureStore::FilesFor(impl_->opt_, pictureNumber, kind);
}

std::vector<PictureFile> VirtualCamera::ExpectedFiles(const VirtualCameraOptions& options,
                                                      uint32_t pictureNumber) {
    if (pictureNumber == 0) return {};
    return PictureStore::FilesFor(options, pictureNumber, options.picture);
}

uint32_t VirtualCamera::PicturesTaken() const {
    std::lock_guard lock(impl_->mu_);
    return impl_->store_.Taken();
}

const VirtualCameraOptions& VirtualCamera::Options() const {
    return impl_->opt_;
}

void VirtualCamera::FillPictureBytes(uint64_t seed, uint32_t objectId, uint64_t offset,
                                     uint8_t* out, size_t n) {
    PictureStore::FillBytes(seed, objectId, offset, out, n);
}

}  // namespace kvx::vcam
