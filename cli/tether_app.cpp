#include "cli/tether_app.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "camlink/device/device_list.h"
#include "camlink/device/ptp_device.h"
#include "cli/destination_check.h"
#include "cli/json_line.h"
#include "cli/setting_catalog.h"
#include "cli/shot_schedule.h"
#include "cli/tether_session.h"
#include "engine/app_settings.h"
#include "engine/camera_detector.h"
#include "engine/review_app_lookup.h"
#include "log/write_log.h"
#include "model/record_layout.h"
#include "model/setting_commands.h"
#include "platform/clock.h"
#include "platform/spawn.h"

#ifndef KVX_TETHER_VERSION
#define KVX_TETHER_VERSION "0.0"
#endif

namespace kvx::cli {

using engine::AppSettings;
using engine::NamingOptions;
using engine::PictureEvent;
using engine::PictureKind;

namespace {

// Bounds of every wait, in real milliseconds.
constexpr uint32_t kLinkWaitMs = 45'000;
constexpr uint32_t kSetWaitMs = 10'000;
constexpr uint32_t kReadyWaitMs = 30'000;
// A capture or download that shows no progress for this long has failed.
constexpr uint32_t kStallMs = 30'000;
// Focusing alone has no capture result: its outcome is the focus state of
// the next status records.
constexpr uint32_t kFocusResultMs = 1'500;
constexpr uint8_t kFocusFailed = 3;

volatile std::sig_atomic_t g_stop = 0;
extern "C" void OnStopSignal(int) {
    g_stop = g_stop + 1;
}

const char* kExitText =
    "Exit status:\n"
    "  0  success\n"
    "  1  only cameras of model code 110 are attached: the program ends with exit\n"
    "     code 0x8001, and a shell keeps its low 8 bits, so it sees 1\n"
    "  2  usage error: unknown command, option, setting or value, or a destination\n"
    "     that cannot take pictures (missing, a file, not writable, under 10 MiB\n"
    "     free); nothing was released\n"
    "  3  no camera: no still-image camera of model code 130 is attached, or none\n"
    "     at the place --camera names\n"
    "  4  link failure: the camera could not be opened (\"the camera is in use by\n"
    "     another program\" when another program holds it), did not answer, or\n"
    "     went away before the command was done\n"
    "  5  transfer failure: a picture was not downloaded whole (what arrived is\n"
    "     kept under its name with \".incomplete\", and that path is reported; a\n"
    "     picture the camera sent whole but that could not be written stays on\n"
    "     the camera)\n"
    "  6  the camera did not take the setting within 10 seconds\n"
    "  7  the camera reported a failed release or focus (focusing failed, card\n"
    "     full, ...)\n"
    "  8  stopped by SIGINT or SIGTERM (the pictures of the release under way are\n"
    "     downloaded first; a second signal stops at once); watch ends with 0\n";

void Out(const std::string& s) {
    // A reader that went away (output into `head`) must not stop a download:
    // SIGPIPE is ignored and the failed write is dropped.
    std::fwrite(s.data(), 1, s.size(), stdout);
    std::fflush(stdout);
}
void Err(const std::string& s) {
    std::fwrite(s.data(), 1, s.size(), stderr);
    std::fflush(stderr);
}

std::string Hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%X", v);
    return b;
}

int ModelCodeOf(const std::string& vendor, const std::string& product) {
    for (const auto& row : engine::CameraModelTable())
        if (kvx::device::EqualsNoCase(vendor, row.vendor) &&
            kvx::device::EqualsNoCase(product, row.product))
            return row.modelCode;
    return 0;
}

bool ParseInt(const std::string& s, int& out) {
    if (s.empty() || s.size() > 6) return false;
    for (char ch : s)
        if (ch < '0' || ch > '9') return false;
    out = std::atoi(s.c_str());
    return true;
}

// What one run of kvx-tether was asked, before the commands.
struct Globals {
    std::string settingsFile;
    bool json = false;
    int logLevel = -1;
    std::string logFile;
    std::string camera;  // --camera: an index in list's order, or a device path
};

// A still-image device as list shows it.
struct ListedDevice {
    kvx::device::DeviceInfo info;
    std::string path;
    int model = 0;
};

// Every still-image device attached, in list's order; storage interfaces
// are no cameras and are left out.
std::vector<ListedDevice> ListedDevices() {
    std::vector<ListedDevice> out;
    for (auto& d : kvx::device::ListEveryStillImageDevice()) {
        std::string path = kvx::device::InterfacePath(d);
        std::string upper = path;
        for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (upper.find("STORAGE") != std::string::npos) continue;
        int model = ModelCodeOf(d.vendor, d.product);
        out.push_back({std::move(d), std::move(path), model});
    }
    return out;
}

// Narrows the devices the engine and the camera link library see to the
// camera of --camera, or, without it and with several cameras of ours
// attached, to the first of them, saying so. Empty, or why the choice
// cannot be made. A run that waits for its camera may name the path of one
// not plugged in yet; an index names only what is attached now.
std::string ChooseCamera(const Globals& g, bool mayWaitForIt) {
    const auto devices = ListedDevices();
    const ListedDevice* chosen = nullptr;
    if (!g.camera.empty()) {
        int n = 0;
        if (ParseInt(g.camera, n)) {
            if (n < 1 || static_cast<size_t>(n) > devices.size())
                return "there is no camera " + g.camera + ": 'kvx-tether list' shows " +
                       std::to_string(devices.size()) + " device(s)" +
                       (mayWaitForIt ? "; to wait for a camera, name its device path" : "");
            chosen = &devices[static_cast<size_t>(n - 1)];
        } else {
            for (const auto& d : devices)
                if (kvx::device::EqualsNoCase(d.path, g.camera)) chosen = &d;
            if (!chosen && mayWaitForIt) {
                ::setenv("KVX_DEVICE_ONLY", g.camera.c_str(), 1);
                return {};
            }
            if (!chosen) return "no device is attached at " + g.camera + " (see 'kvx-tether list')";
        }
    } else {
        std::vector<const ListedDevice*> ours;
        for (const auto& d : devices)
            if (d.model == 130) ours.push_back(&d);
        if (ours.size() < 2) return {};
        chosen = ours.front();
        Err("kvx-tether: " + std::to_string(ours.size()) +
            " cameras of model code 130 are attached; taking the first, " + chosen->path +
            " (--camera N|PATH picks another, see 'kvx-tether list')\n");
    }
    ::setenv("KVX_DEVICE_ONLY", chosen->path.c_str(), 1);
    return {};
}

// After a failed link: whether another program holds the camera (it
// refuses the session as busy).
bool CameraInUse() {
    bool busy = false;
    for (const auto& d : kvx::device::ListStillImageDevices()) {
        if (ModelCodeOf(d.vendor, d.product) != 130) continue;
        std::unique_ptr<kvx::device::PtpDevice> probe;
        const kvx::device::HResult hr = kvx::device::PtpDevice::Open(d, &probe);
        if (hr == kvx::device::kHrOk) return false;  // free now: it was something else
        busy = busy || hr == kvx::device::kHrBusy;
    }
    return busy;
}

// Options of capture and watch that override the settings file for one run.
struct StoreOptions {
    std::string dest;
    std::optional<bool> keep;  // also on the card ("InCamera")
    std::optional<std::string> prefix, start, digits;
    std::string hook;
};

struct Context {
    Globals g;
    AppSettings settings;
    NamingOptions naming;
};

void LoadSettings(Context& c) {
    std::string file = c.g.settingsFile.empty() ? AppSettings::DefaultFilePath() : c.g.settingsFile;
    c.settings.Read(file);
    c.settings.ApplyLogThreshold();
    if (c.g.logLevel >= 0) DeliverableLog().SetThreshold(c.g.logLevel);
    if (!c.g.logFile.empty()) {
        DeliverableLog().SetFilePath(c.g.logFile);
        // The log is diagnostic: a file that cannot take it is said once,
        // and the run goes on without it.
        if (DeliverableLog().Threshold() <= 0)
            Err("kvx-tether: the log level is 0, nothing goes to " + c.g.logFile +
                " (--log-level N sets one)\n");
        else if (int e = DeliverableLog().CheckOpen(); e != 0)
            Err("kvx-tether: the log file " + c.g.logFile + " cannot be opened (" +
                std::strerror(e) + "); going on without a log\n");
    }
    WriteLog(2, "===========================================================");
    WriteLog(2, "enter %s, Lang=%s", "kvx-tether", "");
    std::string raw = engine::ReviewAppLookup::Find().value_or("");
    c.naming = NamingOptions::FromSettings(c.settings, raw);
    // An empty "Path" means the program's folder to the window program; an
    // installed command line's folder is no place for pictures.
    if (c.naming.destinationFolder.empty())
        c.naming.destinationFolder = CDestinationCheck::PicturesFolder();
    // A destination that goes away during the run loses no picture.
    c.naming.rescueFolder = CDestinationCheck::RescueFolder();
}

std::string StateText(int state) {
    engine::StatusLine s = engine::StatusLineFor(state, true, 0);
    return std::to_string(state) + (s.text.empty() ? "" : " (" + s.text + ")");
}

// A capture result code in the user's words.
std::string ResultText(uint32_t code) {
    switch (code) {
        case 0x8002:
            return "picture taken";
        case 0x6001:
            return "focusing failed (capture result 0x6001)";
        case 0x6002:
            return "card full (capture result 0x6002)";
        default:
            return "the camera reported capture result " + Hex(code);
    }
}

// The storage card as the status records show it.
std::string CardText(const VARNO::CCamera& camera) {
    uint8_t ready = camera.DataGroupByte(1, VARNO::dg1::kCardReady);
    uint8_t state = camera.DataGroupByte(1, VARNO::dg1::kCardState);
    uint16_t shots = camera.DataGroupU16(1, VARNO::dg1::kRemainingShots);
    if (state == 4) return "no card";
    if (state == 8) return "card error";
    if (!ready) return "card not ready";
    if (shots == 0) return "card full";
    return "card ready";
}

// ---- the run: one link shared by every command of the line ----

class CRun {
public:
    explicit CRun(Context& c) : c_(c) {}
    ~CRun() {
        if (s_) s_->Shutdown();
    }

    // Links once; later commands reuse the link. kExitOk when linked.
    // With waitForCamera, a camera named by a path that is not attached yet
    // is waited for (the session then starts without a link).
    int Link(const NamingOptions& naming, bool waitForCamera = false) {
        if (s_ && s_->ThreadRunning()) {
            s_->Session().SetNamingOptions(naming);
            return kExitOk;
        }
        if (s_) {
            Err("kvx-tether: the camera link ended\n");
            return kExitLinkFailed;
        }
        if (std::string why = ChooseCamera(c_.g, waitForCamera); !why.empty()) {
            Err("kvx-tether: " + why + "\n");
            return kExitNoCamera;
        }
        CTetherSession::Options o;
        o.naming = naming;
        o.watchDevices = true;
        o.stop = [] { return g_stop != 0; };
        o.quickWaits = {true, true, true};
        s_ = std::make_unique<CTetherSession>(o);
        return Status(s_->Connect(kLinkWaitMs));
    }
    CTetherSession& S() { return *s_; }
    bool Linked() const { return s_ != nullptr; }
    Context& C() { return c_; }

    static int Status(CTetherSession::LinkOutcome o) {
        switch (o) {
            case CTetherSession::LinkOutcome::Linked:
                return kExitOk;
            case CTetherSession::LinkOutcome::NoCamera:
                Err("kvx-tether: no camera of model code 130 is attached\n");
                return kExitNoCamera;
            case CTetherSession::LinkOutcome::OnlyOtherModel:
                Err("kvx-tether: only cameras of model code 110 are attached (exit code "
                    "0x8001)\n");
                return kExitOnlyOtherModel;
            case CTetherSession::LinkOutcome::LinkFailed:
                if (CameraInUse())
                    Err("kvx-tether: the camera is in use by another program\n");
                else
                    Err("kvx-tether: the camera link could not be made (the camera did not "
                        "answer)\n");
                return kExitLinkFailed;
            case CTetherSession::LinkOutcome::Stopped:
                Err("kvx-tether: stopped by a signal while linking\n");
                return kExitInterrupted;
        }
        return kExitLinkFailed;
    }

private:
    Context& c_;
    std::unique_ptr<CTetherSession> s_;
};

// ---- list ----

int CmdList(const Globals& g) {
    int cameras = 0;
    for (const auto& [d, path, model] : ListedDevices()) {
        if (g.json) {
            Out(CJsonLine()
                    .Add("event", "device")
                    .Add("model", model)
                    .Add("path", path)
                    .Add("name", d.properties.name.value_or(""))
                    .Text());
        } else {
            Out((model ? std::to_string(model) : std::string("-")) + "\t" + path + "\t" +
                d.properties.name.value_or("") + "\n");
        }
        if (model) ++cameras;
    }
    return cameras ? kExitOk : kExitNoCamera;
}

// ---- info, get, choices ----

int CmdInfo(CRun& run) {
    if (int rc = run.Link(run.C().naming); rc != kExitOk) return rc;
    CTetherSession& s = run.S();
    auto& camera = s.Camera();
    const std::string dest = engine::CPictureNamer::DestinationFolder(run.C().naming);
    const uint8_t battery = camera.DataGroupByte(1, VARNO::dg1::kBattery);
    const uint16_t shots = camera.DataGroupU16(1, VARNO::dg1::kRemainingShots);
    if (run.C().g.json) {
        CJsonLine line;
        line.Add("event", "info")
            .Add("camera", s.CameraLine())
            .Add("protocol", std::to_string(s.Engine().ProtocolMajor()) + "." +
                                 std::to_string(s.Engine().ProtocolMinor()))
            .Add("state", s.CameraState())
            .Add("battery", int{battery})
            .Add("remaining_shots", int{shots})
            .Add("card", CardText(camera))
            .Add("destination", dest);
        for (const auto& def : CSettingCatalog::Settings())
            line.Add(def.name, CSettingCatalog::DisplayText(
                                   camera, def, CSettingCatalog::CurrentCode(camera, def)));
        Out(line.Text());
        return kExitOk;
    }
    Out(s.CameraLine() + "\n");
    Out("Protocol: " + std::to_string(s.Engine().ProtocolMajor()) + "." +
        std::to_string(s.Engine().ProtocolMinor()) + "\n");
    Out("State: " + StateText(s.CameraState()) + "\n");
    Out("Battery: code " + std::to_string(battery) + "\n");
    Out("Card: " + CardText(camera) + ", " + std::to_string(shots) + " shots remaining\n");
    Out("Destination: " + dest + "\n");
    for (const auto& def : CSettingCatalog::Settings()) {
        uint8_t code = CSettingCatalog::CurrentCode(camera, def);
        char line[160];
        std::snprintf(line, sizeof line, "%-11s %-22s %s\n", def.name, def.label,
                      CSettingCatalog::DisplayText(camera, def, code).c_str());
        Out(line);
    }
    return kExitOk;
}

const SettingDef* KnownSetting(const std::string& name) {
    const SettingDef* def = CSettingCatalog::Find(name);
    if (!def) {
        Err("kvx-tether: unknown setting \"" + name + "\"; known:");
        for (const auto& d : CSettingCatalog::Settings()) Err(std::string(" ") + d.name);
        Err("\n");
    }
    return def;
}

int CmdGet(CRun& run, const std::string& name) {
    const SettingDef* def = KnownSetting(name);
    if (!def) return kExitUsage;
    if (int rc = run.Link(run.C().naming); rc != kExitOk) return rc;
    auto& camera = run.S().Camera();
    std::string text =
        CSettingCatalog::DisplayText(camera, *def, CSettingCatalog::CurrentCode(camera, *def));
    if (run.C().g.json)
        Out(CJsonLine().Add("event", "setting").Add("name", def->name).Add("value", text).Text());
    else
        Out(text + "\n");
    return kExitOk;
}

int CmdChoices(CRun& run, const std::string& name) {
    const SettingDef* def = KnownSetting(name);
    if (!def) return kExitUsage;
    if (int rc = run.Link(run.C().naming); rc != kExitOk) return rc;
    for (const auto& ch : CSettingCatalog::Choices(run.S().Camera(), *def)) {
        if (run.C().g.json)
            Out(CJsonLine()
                    .Add("event", "choice")
                    .Add("name", def->name)
                    .Add("value", ch.text)
                    .Text());
        else
            Out(ch.text + "\n");
    }
    return kExitOk;
}

// ---- set ----

int CmdSet(CRun& run, const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::vector<const SettingDef*> defs;
    for (const auto& [name, value] : pairs) {
        const SettingDef* def = KnownSetting(name);
        if (!def) return kExitUsage;
        uint8_t field1 = 0, field2 = 0;
        if (!CSettingCatalog::FieldBits(*def, field1, field2)) {
            Err("kvx-tether: setting \"" + name + "\" cannot be changed\n");
            return kExitUsage;
        }
        defs.push_back(def);
    }
    if (int rc = run.Link(run.C().naming); rc != kExitOk) return rc;
    CTetherSession& s = run.S();
    auto& camera = s.Camera();
    for (size_t k = 0; k < pairs.size(); ++k) {
        const SettingDef& def = *defs[k];
        const std::string& value = pairs[k].second;
        auto code = CSettingCatalog::ParseValue(camera, def, value);
        if (!code) {
            Err("kvx-tether: the camera does not offer " + std::string(def.name) + " \"" + value +
                "\"; offered:");
            for (const auto& ch : CSettingCatalog::Choices(camera, def))
                Err(" \"" + ch.text + "\"");
            Err("\n");
            return kExitUsage;
        }
        s.Session().QueueCommand(CSettingCatalog::Command(def, *code));
        bool taken = s.PumpUntil(
            [&] {
                return CSettingCatalog::CurrentCode(camera, def) == *code || !s.ThreadRunning() ||
                       g_stop;
            },
            kSetWaitMs);
        uint8_t now = CSettingCatalog::CurrentCode(camera, def);
        if (now != *code && g_stop) {
            Err("kvx-tether: stopped by a signal before the camera confirmed " +
                std::string(def.name) + "\n");
            return kExitInterrupted;
        }
        if (!s.ThreadRunning() && now != *code) {
            Err("kvx-tether: the camera link ended before the setting was confirmed\n");
            return kExitLinkFailed;
        }
        if (!taken || now != *code) {
            Err("kvx-tether: the camera kept " + std::string(def.name) + " at \"" +
                CSettingCatalog::DisplayText(camera, def, now) + "\"\n");
            return kExitSettingRefused;
        }
        std::string text = CSettingCatalog::DisplayText(camera, def, now);
        if (run.C().g.json)
            Out(CJsonLine()
                    .Add("event", "setting")
                    .Add("name", def.name)
                    .Add("value", text)
                    .Text());
        else
            Out(std::string(def.name) + ": " + text + "\n");
    }
    return kExitOk;
}

// ---- capture / watch ----

const char* KindText(PictureKind k) {
    switch (k) {
        case PictureKind::Complete:
            return "complete";
        case PictureKind::Incomplete:
            return "incomplete";
        case PictureKind::Failed:
            return "failed";
    }
    return "failed";
}

std::string SizeText(uint64_t n) {
    char b[32];
    std::snprintf(b, sizeof b, "%.1f MB", static_cast<double>(n) / 1e6);
    return b;
}

// Reports every finished file as it comes: whole ones on standard output,
// every kept ".incomplete" and every failure at once on standard error with
// its path, and all of them in the machine-readable output.
class CFileReporter {
public:
    CFileReporter(const Globals& g, const StoreOptions& store) : g_(g), hook_(store.hook) {}

    // Files of pictures left on the camera by an earlier run are labelled as
    // such until the first release of this run.
    void SetEarlier(bool earlier) { earlier_ = earlier; }

    // Takes and reports the files finished since the last call; the number
    // of files that are not whole.
    int Report(CTetherSession& s, int release) {
        int bad = 0;
        for (auto& f : s.TakeFinishedFiles()) {
            ++files_;
            if (f.kind != PictureKind::Complete) {
                ++bad;
                ++failures_;
            }
            Print(f, release);
        }
        return bad;
    }
    int Files() const { return files_; }
    int Failures() const { return failures_; }

private:
    void Print(const PictureEvent& f, int release) {
        const std::string name = f.cameraName.empty() ? std::string("a picture") : f.cameraName;
        if (g_.json) {
            CJsonLine line;
            line.Add("event", "file")
                .Add("status", KindText(f.kind))
                .Add("path", f.path)
                .Add("size", f.size)
                .Add("camera_name", f.cameraName)
                .Add("kind", std::filesystem::path(f.cameraName).extension().string())
                .Add("earlier", earlier_);
            if (release > 0) line.Add("release", release);
            if (!f.error.empty()) line.Add("error", f.error);
            Out(line.Text());
        }
        switch (f.kind) {
            case PictureKind::Complete:
                if (earlier_) {
                    Err("kvx-tether: left on the camera by an earlier run, now downloaded: " +
                        f.path + "\n");
                } else {
                    if (!g_.json) Out(f.path + "\n");
                    if (::isatty(STDERR_FILENO) == 1)
                        Err("picture " + std::to_string(files_) + ": " + name + " -> " +
                            std::filesystem::path(f.path).filename().string() + " (" +
                            SizeText(f.size) + ")\n");
                }
                RunHook(f.path);
                break;
            case PictureKind::Incomplete:
                Err("kvx-tether: " + name + " incomplete, data kept as " + f.path + "\n");
                break;
            case PictureKind::Failed:
                Err("kvx-tether: " + name + " was not downloaded: " + f.error + "\n");
                break;
        }
    }

    void RunHook(const std::string& path) {
        if (hook_.empty()) return;
        // An argument vector and no shell: a camera's file name never
        // becomes part of a command.
        if (!kvx::SpawnDetached({hook_, path}))
            Err("kvx-tether: the hook " + hook_ + " could not be started for " + path + "\n");
    }

    const Globals& g_;
    std::string hook_;
    bool earlier_ = false;
    int files_ = 0;
    int failures_ = 0;
};

// The settings file's storage choices with this run's overrides; the
// message of a destination that cannot take a picture, or empty.
std::string ApplyStore(Context& c, const StoreOptions& o, NamingOptions& naming) {
    naming = c.naming;
    if (!o.dest.empty()) naming.destinationFolder = o.dest;
    // kvx-tether exists to bring the pictures here, whatever "InPC" says;
    // "InCamera" (or --keep) keeps its meaning.
    naming.inPC = true;
    if (o.keep) naming.inCamera = *o.keep;
    if (o.prefix) naming.prefix = *o.prefix;
    if (o.start) naming.startNum = *o.start;
    if (o.digits) naming.columns = *o.digits;
    if (o.prefix || o.start || o.digits) naming.rename = true;
    std::string folder = engine::CPictureNamer::DestinationFolder(naming);
    return CDestinationCheck::Problem(folder.size() > 1 ? folder.substr(0, folder.size() - 1)
                                                        : folder);
}

// Why a link ended, in the user's words: a camera still in the device list
// had stopped answering; one that left the list was unplugged.
std::string LinkEndText() {
    return kvx::device::ListStillImageDevices().empty() ? "the camera was unplugged"
                                                        : "the camera stopped answering";
}

// Pictures the camera delivered but this run could not write whole stay in
// the camera; the user hears how many.
void ReportLeftOnCamera(CTetherSession& s, int before) {
    const int left = s.Session().PicturesLeftOnCamera() - before;
    if (left > 0)
        Err("kvx-tether: " + std::to_string(left) +
            " picture(s) not written whole were left on the camera, not cleared from it\n");
}

bool ReadyForRelease(int state) {
    return state == 0 || state == 1;
}

struct CaptureOptions {
    int mode = 1;
    int count = 1;
    uint32_t intervalMs = 0;
    StoreOptions store;
};

int CmdCapture(CRun& run, const CaptureOptions& o) {
    Context& c = run.C();
    NamingOptions naming;
    if (std::string problem = ApplyStore(c, o.store, naming); !problem.empty()) {
        Err("kvx-tether: " + problem + "; no picture taken\n");
        return kExitUsage;
    }
    if (int rc = run.Link(naming); rc != kExitOk) return rc;
    CTetherSession& s = run.S();
    CFileReporter files(c.g, o.store);
    const int leftBefore = s.Session().PicturesLeftOnCamera();

    // Pictures the camera still owes from an earlier run come first, and
    // are labelled as such.
    files.SetEarlier(true);
    const uint32_t quietBefore = s.Engine().QuietStatusReads();
    s.PumpUntil(
        [&] {
            files.Report(s, 0);
            return s.Engine().QuietStatusReads() != quietBefore || !s.ThreadRunning() || g_stop;
        },
        kStallMs);
    files.Report(s, 0);
    files.SetEarlier(false);

    int status = kExitOk;
    bool failedRelease = false;
    int releasesMade = 0;
    bool saidStopping = false;
    const CShotSchedule schedule(kvx::NowMs(), o.intervalMs);
    for (int shot = 0; shot < o.count && status == kExitOk; ++shot) {
        if (o.intervalMs) {
            s.PumpUntil(
                [&] {
                    files.Report(s, shot);
                    return g_stop || !s.ThreadRunning() ||
                           schedule.WaitBefore(shot, kvx::NowMs()) == 0;
                },
                o.intervalMs + kStallMs);
        }
        if (g_stop) break;
        if (!s.PumpUntil(
                [&] { return ReadyForRelease(s.CameraState()) || !s.ThreadRunning() || g_stop; },
                kReadyWaitMs) ||
            !s.ThreadRunning()) {
            if (g_stop) break;
            Err(s.ThreadRunning()
                    ? "kvx-tether: the camera did not become ready for the release\n"
                    : "kvx-tether: the camera stopped answering before the release\n");
            status = kExitLinkFailed;
            break;
        }
        if (g_stop) break;
        s.TakeCaptureResults();
        s.Session().QueueCommand(
            VARNO::MakeCaptureDestinationCommand(naming.inCamera, naming.inPC));
        s.Session().QueueCommand(VARNO::MakeReleaseCommand(static_cast<uint8_t>(o.mode)));
        ++releasesMade;
        const int release = shot + 1;

        if (o.mode == 3) {
            // Focusing only: no picture and no capture status follow; the
            // focus state of the status records tells how it went.
            s.PumpUntil([&] { return s.Engine().QueuedCommandCount() == 0 || !s.ThreadRunning(); },
                        kReadyWaitMs);
            bool failed = false;
            s.PumpUntil(
                [&] {
                    failed = s.Camera().DataGroupByte(1, VARNO::dg1::kFocusState) == kFocusFailed;
                    return failed || !s.ThreadRunning();
                },
                kFocusResultMs);
            if (!s.ThreadRunning()) {
                Err("kvx-tether: the camera link ended while focusing\n");
                status = kExitLinkFailed;
            } else if (failed) {
                Err("kvx-tether: focusing failed\n");
                if (c.g.json)
                    Out(CJsonLine().Add("event", "focus").Add("status", "focusing failed").Text());
                status = kExitReleaseFailed;
            } else if (c.g.json) {
                Out(CJsonLine().Add("event", "focus").Add("status", "ok").Text());
            }
            continue;
        }
        const int dropsBefore = s.LinkDrops();
        auto linkUp = [&] { return s.ThreadRunning() && s.LinkDrops() == dropsBefore; };
        uint8_t drive = s.Camera().DataGroupByte(2, VARNO::dg2::kDriveMode);
        const bool bracketing = drive == 6;
        const bool burst = drive == 2 || drive == 7;
        int results = 0;
        bool transferFailed = false;
        uint32_t lastProgress = kvx::NowMs();
        // A continuous burst is over when every frame the camera announced
        // has its result, nothing is owed, and a status read after the last
        // result had nothing new to tell (no further frame): the camera's
        // word, not a quiet time. Bracketing ends on its frame counter.
        uint32_t quietAtResult = s.Engine().QuietStatusReads();
        for (;;) {
            s.Pump(20);
            if (g_stop == 1 && !saidStopping) {
                saidStopping = true;
                Err("kvx-tether: stopping once the pictures of this release are downloaded; a "
                    "second signal stops at once\n");
            }
            if (int bad = files.Report(s, release)) transferFailed = bad > 0;
            for (uint32_t r : s.TakeCaptureResults()) {
                ++results;
                lastProgress = kvx::NowMs();
                quietAtResult = s.Engine().QuietStatusReads();
                if (r != 0x8002) {
                    Err("kvx-tether: " + ResultText(r) + "\n");
                    if (c.g.json)
                        Out(CJsonLine()
                                .Add("event", "release")
                                .Add("release", release)
                                .Add("status", ResultText(r))
                                .Add("code", static_cast<int>(r))
                                .Text());
                    failedRelease = true;
                }
            }
            if (s.Session().Engine().CommState() == kvx::engine::kCommTransfer)
                lastProgress = kvx::NowMs();
            // A failure the engine already knows ends the wait at once.
            if (transferFailed || !linkUp()) break;
            const bool pending = s.PendingPictures() > 0;
            if (results > 0 && !pending) {
                if (bracketing) {
                    if (s.Camera().DataGroupByte(1, VARNO::dg1::kBracketFrameCounter) == 0) break;
                } else if (!burst || s.Engine().QuietStatusReads() != quietAtResult) {
                    break;
                }
            }
            if (kvx::NowMs() - lastProgress >= kStallMs) break;
            if (g_stop >= 2) break;  // a second signal does not wait any more
        }
        s.Pump(0);  // what the end of a link left behind is reported with this release
        files.Report(s, release);
        if (transferFailed) {
            status = kExitTransferFailed;
        } else if (!linkUp()) {
            Err(std::string("kvx-tether: ") + LinkEndText() + " during the capture\n");
            status = results > 0 || s.PendingPictures() > 0 ? kExitTransferFailed : kExitLinkFailed;
        } else if (g_stop >= 2) {
            break;
        } else if (s.PendingPictures() > 0) {
            Err("kvx-tether: " + std::to_string(s.PendingPictures()) +
                " picture(s) reported ready were not downloaded within " +
                std::to_string(kStallMs / 1000) + " s\n");
            status = kExitTransferFailed;
        } else if (results == 0) {
            Err("kvx-tether: no capture result within " + std::to_string(kStallMs / 1000) + " s\n");
            status = kExitTransferFailed;
        } else if (failedRelease) {
            status = kExitReleaseFailed;
        }
    }
    if (g_stop) {
        // Stopping waits for a transfer under way; what it brings, whole or
        // not, is reported.
        s.Shutdown();
        files.Report(s, releasesMade);
        if (status == kExitOk || status == kExitLinkFailed)
            Err("kvx-tether: stopped by a signal after " + std::to_string(releasesMade) + " of " +
                std::to_string(o.count) + " releases\n");
    }
    ReportLeftOnCamera(s, leftBefore);
    if (files.Failures() > 0) return kExitTransferFailed;
    if (g_stop && (status == kExitOk || status == kExitLinkFailed)) return kExitInterrupted;
    return status;
}

struct WatchOptions {
    bool wait = false;
    int count = 0;           // 0: no limit
    uint32_t timeoutMs = 0;  // 0: no limit
    StoreOptions store;
};

int CmdWatch(CRun& run, const WatchOptions& o) {
    Context& c = run.C();
    NamingOptions naming;
    if (std::string problem = ApplyStore(c, o.store, naming); !problem.empty()) {
        Err("kvx-tether: " + problem + "\n");
        return kExitUsage;
    }
    bool tty = ::isatty(STDERR_FILENO) == 1;
    int rc = run.Link(naming, o.wait);
    // Waiting needs a session; a camera that cannot be chosen gives none.
    if (rc != kExitOk && !(o.wait && rc == kExitNoCamera && run.Linked())) return rc;
    CTetherSession& s = run.S();
    if (rc != kExitOk)
        Err("kvx-tether: no camera yet, waiting for one to be plugged in\n");
    else if (tty)
        Err(s.CameraLine() + ": watching, Ctrl+C to stop\n");
    CFileReporter files(c.g, o.store);
    const int leftBefore = s.Session().PicturesLeftOnCamera();
    bool wasRunning = s.ThreadRunning();
    // With --wait the device watcher's arrivals start the link and its
    // removals stop it, as in the program; without it the watch ends with
    // the link (a camera that stops answering ends the link too).
    bool closeAsked = false;
    bool timedOut = false;
    const uint32_t started = kvx::NowMs();
    uint32_t lastProgress = kvx::NowMs();
    const int dropsBefore = s.LinkDrops();
    while (!s.Closed() && !s.QuitPosted() &&
           (o.wait || (s.ThreadRunning() && s.LinkDrops() == dropsBefore) || closeAsked)) {
        if (g_stop >= 2) break;  // a second signal does not wait any more
        bool enough = (o.count > 0 && files.Files() - files.Failures() >= o.count) ||
                      (o.timeoutMs > 0 && kvx::NowMs() - started >= o.timeoutMs);
        if ((g_stop || enough) && !closeAsked) {
            timedOut = !g_stop && o.timeoutMs > 0 && !(o.count > 0 && files.Files() >= o.count);
            // Closing waits for the pictures still in the camera: the thread
            // closes once the last of them is downloaded.
            closeAsked = true;
            lastProgress = kvx::NowMs();
            if (s.Session().Close() == engine::CCameraDetector::CloseOutcome::Deferred)
                Err("kvx-tether: " + std::to_string(s.PendingPictures()) +
                    " picture(s) still coming from the camera; stopping when they are done\n");
            continue;
        }
        if (closeAsked && (!s.ThreadRunning() || kvx::NowMs() - lastProgress >= kStallMs)) break;
        s.Pump(50);
        if (files.Report(s, 0) || s.Session().Engine().CommState() == kvx::engine::kCommTransfer)
            lastProgress = kvx::NowMs();
        s.TakeCaptureResults();
        bool running = s.ThreadRunning() && s.Session().Linked();
        if (running != wasRunning)
            Err(running ? "kvx-tether: camera linked\n"
                        : "kvx-tether: camera link ended, waiting for a camera\n");
        wasRunning = running;
    }
    bool linkLost = !g_stop && !closeAsked;
    const std::string linkEnd = LinkEndText();
    bool onlyOther = s.QuitPosted();
    s.Shutdown();
    files.Report(s, 0);
    ReportLeftOnCamera(s, leftBefore);
    if (files.Failures() > 0) return kExitTransferFailed;
    if (onlyOther) return kExitOnlyOtherModel;
    if (linkLost) {
        Err("kvx-tether: the camera link ended: " + linkEnd + "\n");
        return kExitLinkFailed;
    }
    if (timedOut && o.count > 0) {
        Err("kvx-tether: " + std::to_string(files.Files()) + " of " + std::to_string(o.count) +
            " pictures within the timeout\n");
        return kExitTransferFailed;
    }
    return kExitOk;
}

int Usage(const std::string& why) {
    Err("kvx-tether: " + why + "\nTry 'kvx-tether --help'.\n");
    return kExitUsage;
}

// ---- parsing ----

bool IsCommand(const std::string& w) {
    return w == "list" || w == "info" || w == "get" || w == "choices" || w == "set" ||
           w == "capture" || w == "watch" || w == "shell";
}

// One command of a line with its arguments, parsed; run() runs it.
struct Action {
    std::string command;
    std::function<int(CRun&)> run;
};

// Parses the store options shared by capture and watch; true when w[k] was one.
bool StoreArg(const std::vector<std::string>& w, size_t& k, StoreOptions& o, std::string& error) {
    const std::string& r = w[k];
    auto value = [&](const char* what) -> std::optional<std::string> {
        if (k + 1 >= w.size()) {
            error = r + " needs " + what;
            return std::nullopt;
        }
        return w[++k];
    };
    if (r == "--dest") {
        if (auto v = value("a folder")) o.dest = *v;
    } else if (r == "--keep") {
        o.keep = true;
    } else if (r == "--no-keep") {
        o.keep = false;
    } else if (r == "--prefix") {
        if (auto v = value("a text")) o.prefix = *v;
    } else if (r == "--start" || r == "--digits") {
        int n = 0;
        auto v = value("a number");
        if (v && !ParseInt(*v, n)) error = r + " needs a number";
        if (v && r == "--start") o.start = *v;
        if (v && r == "--digits") o.digits = *v;
    } else if (r == "--hook") {
        if (auto v = value("a program")) {
            if (v->empty() || (*v)[0] != '/')
                error = "--hook needs the program's full path";
            else
                o.hook = *v;
        }
    } else {
        return false;
    }
    return true;
}

// The number after the option at w[k] (k moves past it), within lo..hi;
// otherwise `message` goes to error and the result is 0.
int NumberArg(const std::vector<std::string>& w, size_t& k, int lo, int hi, const char* message,
              std::string& error) {
    int n = 0;
    if (k + 1 >= w.size() || !ParseInt(w[k + 1], n) || n < lo || n > hi) {
        error = message;
        n = 0;
    }
    ++k;
    return n;
}

// Parses the commands of words (one or several, each starting with its
// name); error says what is wrong.
std::vector<Action> ParseActions(const std::vector<std::string>& w, std::string& error) {
    std::vector<Action> out;
    size_t k = 0;
    while (k < w.size() && error.empty()) {
        const std::string cmd = w[k++];
        if (!IsCommand(cmd)) {
            error = "unknown command " + cmd;
            break;
        }
        if (cmd == "list") {
            out.push_back({cmd, [](CRun& r) { return CmdList(r.C().g); }});
        } else if (cmd == "info") {
            out.push_back({cmd, [](CRun& r) { return CmdInfo(r); }});
        } else if (cmd == "get" || cmd == "choices") {
            if (k >= w.size() || IsCommand(w[k])) {
                error = cmd + " needs NAME";
                break;
            }
            std::string name = w[k++];
            if (cmd == "get")
                out.push_back({cmd, [name](CRun& r) { return CmdGet(r, name); }});
            else
                out.push_back({cmd, [name](CRun& r) { return CmdChoices(r, name); }});
        } else if (cmd == "set") {
            std::vector<std::pair<std::string, std::string>> pairs;
            while (k < w.size() && !IsCommand(w[k])) {
                if (k + 1 >= w.size()) {
                    error = "set needs NAME and VALUE";
                    break;
                }
                pairs.emplace_back(w[k], w[k + 1]);
                k += 2;
            }
            if (pairs.empty() && error.empty()) error = "set needs NAME and VALUE";
            out.push_back({cmd, [pairs](CRun& r) { return CmdSet(r, pairs); }});
        } else if (cmd == "capture") {
            CaptureOptions o;
            for (; k < w.size() && !IsCommand(w[k]) && error.empty(); ++k) {
                const std::string& r = w[k];
                if (r == "--af") {
                    o.mode = 1;
                } else if (r == "--mf") {
                    o.mode = 2;
                } else if (r == "--af-only") {
                    o.mode = 3;
                } else if (r == "--count") {
                    o.count =
                        NumberArg(w, k, 1, 999'999, "--count needs a number of at least 1", error);
                } else if (r == "--interval") {
                    o.intervalMs =
                        1000u * static_cast<uint32_t>(NumberArg(
                                    w, k, 1, 86'400,
                                    "--interval needs a number of seconds (1 to 86400)", error));
                } else if (!StoreArg(w, k, o.store, error)) {
                    error = "capture: unknown argument " + r;
                }
            }
            out.push_back({cmd, [o](CRun& r) { return CmdCapture(r, o); }});
        } else if (cmd == "watch") {
            WatchOptions o;
            for (; k < w.size() && !IsCommand(w[k]) && error.empty(); ++k) {
                const std::string& r = w[k];
                if (r == "--wait") {
                    o.wait = true;
                } else if (r == "--count") {
                    o.count =
                        NumberArg(w, k, 1, 999'999, "--count needs a number of at least 1", error);
                } else if (r == "--timeout") {
                    o.timeoutMs = 1000u * static_cast<uint32_t>(NumberArg(
                                              w, k, 1, 999'999,
                                              "--timeout needs a number of seconds", error));
                } else if (!StoreArg(w, k, o.store, error)) {
                    error = "watch: unknown argument " + r;
                }
            }
            out.push_back({cmd, [o](CRun& r) { return CmdWatch(r, o); }});
        } else if (cmd == "shell") {
            error = "shell is a command of its own";
        }
    }
    return out;
}

// Splits a line of the shell into words: blanks separate, double quotes
// group ("1/125" needs none, "RAW+JPEG" neither, "Continuous Shooting" does).
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false, any = false;
    for (char ch : line) {
        if (ch == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (ch == ' ' || ch == '\t' || ch == '\r')) {
            if (any) out.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += ch;
            any = true;
        }
    }
    if (any) out.push_back(cur);
    return out;
}

// Commands from standard input, one a line, on one link; each line is
// answered by one line "ok COMMAND" or "error STATUS COMMAND: why" on
// standard output after what the command itself prints.
int CmdShell(CRun& run) {
    int last = kExitOk;
    std::string line;
    while (!g_stop && std::getline(std::cin, line)) {
        auto words = Words(line);
        if (words.empty() || words[0][0] == '#') continue;
        if (words[0] == "quit" || words[0] == "exit") break;
        std::string error;
        auto actions = ParseActions(words, error);
        int status = kExitOk;
        if (!error.empty()) {
            Err("kvx-tether: " + error + "\n");
            status = kExitUsage;
        } else {
            for (auto& a : actions) {
                if (a.command == "watch" || a.command == "shell") {
                    Err("kvx-tether: " + a.command + " is not available in the shell\n");
                    status = kExitUsage;
                    break;
                }
                status = a.run(run);
                if (status != kExitOk) break;
            }
        }
        if (run.C().g.json)
            Out(CJsonLine().Add("event", "done").Add("line", line).Add("status", status).Text());
        else
            Out((status == kExitOk ? "ok " : "error " + std::to_string(status) + " ") + line +
                "\n");
        last = status;
        // Without a link nothing further can work.
        if (status == kExitNoCamera || status == kExitOnlyOtherModel ||
            (status == kExitLinkFailed && !(run.Linked() && run.S().ThreadRunning())))
            return status;
    }
    return g_stop ? kExitInterrupted : last;
}

}  // namespace

std::string MainHelp() {
    return std::string(
               "Usage: kvx-tether [OPTIONS] COMMAND [ARGS...] [COMMAND [ARGS...]]...\n"
               "\n"
               "Tethered shooting from the command line, on the program's camera engine:\n"
               "links to a camera of model code 130 (the first, or the one --camera names),\n"
               "changes its settings, releases the shutter and downloads the pictures under\n"
               "the names of the settings file.\n"
               "Several commands on one line share one link, in order; the first that fails\n"
               "ends the run with its status (kvx-tether set shutter 1/125 iso 400 capture).\n"
               "\n"
               "Commands:\n"
               "  list                 still-image cameras seen: model code, device path, name\n"
               "  info                 camera line, protocol, state, battery, card, remaining\n"
               "                       shots, destination folder, settings\n"
               "  get NAME             the current value of one setting\n"
               "  choices NAME         the values the camera offers now, as set accepts them\n"
               "  set NAME VALUE [NAME VALUE]...\n"
               "                       change settings by their display text\n"
               "  capture [--af | --mf | --af-only] [--count N] [--interval SECONDS]\n"
               "          [STORE OPTIONS]\n"
               "                       release the shutter and download every picture\n"
               "  watch [--wait] [--count N] [--timeout SECONDS] [STORE OPTIONS]\n"
               "                       download every picture taken on the camera body\n"
               "                       until interrupted (SIGINT or SIGTERM)\n"
               "  shell                commands from standard input, one a line, on one link;\n"
               "                       each line answered by one line \"ok LINE\" or\n"
               "                       \"error STATUS LINE\"\n"
               "\n"
               "Store options (capture, watch; they override the settings file for this run):\n"
               "  --dest DIR           download into DIR; default: the settings file's \"Path\",\n"
               "                       or the user's pictures folder ($XDG_PICTURES_DIR, else\n"
               "                       ~/Pictures) when it is empty\n"
               "  --keep, --no-keep    keep a copy on the camera's card, or not (\"InCamera\")\n"
               "  --prefix TEXT, --start N, --digits N\n"
               "                       rename pictures: prefix, first number, digits\n"
               "  --hook PROGRAM       run PROGRAM (a full path, no shell) with the path of\n"
               "                       each downloaded file as its argument\n"
               "\n"
               "Options:\n"
               "  --settings FILE      the settings file to read instead of the program's\n"
               "                       ($XDG_DATA_HOME or ~/.local/share, then\n"
               "                       VARNO/Varno_Kolvex/Varno_Kolvex.ini); never written\n"
               "  --json               list, info, get, choices, set, capture, watch and shell\n"
               "                       print one JSON object per line instead of text\n"
               "  --camera N|PATH      the camera to link when several are attached: N is its\n"
               "                       line in 'kvx-tether list', PATH its device path there;\n"
               "                       without it the first camera is taken (and named on\n"
               "                       standard error when there are others); watch --wait\n"
               "                       waits for the camera at PATH when it is not attached\n"
               "  --log-level N        diagnostic log level 0..5 for this run (\"LogLevel\")\n"
               "  --log-file PATH      the diagnostic log of this run goes to PATH instead of\n"
               "                       kvx.log in the log folder (at a level above 0); one\n"
               "                       that cannot be opened is said on standard error and\n"
               "                       the run goes on\n"
               "  --version            the version of kvx-tether\n"
               "  --help               this text; 'kvx-tether COMMAND --help' for one command\n"
               "\n"
               "Before any release the destination is checked: it must exist, be a folder,\n"
               "be writable and have at least 10 MiB free, or nothing is released.\n"
               "\n") +
           kExitText;
}

std::string CommandHelp(const std::string& command) {
    if (command == "list")
        return "Usage: kvx-tether list\n\n"
               "Lists the still-image devices the device layer sees (USB and virtual cameras),\n"
               "one per line: model code (110, 130, or - for another device), the device\n"
               "interface path, and the device name, separated by tabs. Exit status 0 when a\n"
               "camera of the family is listed, 3 when none.\n";
    if (command == "info")
        return "Usage: kvx-tether info\n\n"
               "Links to the camera and prints the camera line, the protocol version, the\n"
               "camera state, the battery code, the card state and remaining shots, the\n"
               "destination folder and every setting with its display text.\n";
    if (command == "get")
        return "Usage: kvx-tether get NAME\n\nPrints the display text of one setting.\n";
    if (command == "choices")
        return "Usage: kvx-tether choices NAME\n\n"
               "Prints the values the camera offers for the setting now, one a line, in the\n"
               "exact text 'set' accepts.\n";
    if (command == "shell")
        return "Usage: kvx-tether shell\n\n"
               "Reads commands from standard input, one a line (words as on the command line;\n"
               "double quotes group words), and runs them on one link. After what a command\n"
               "prints comes one line \"ok LINE\" or \"error STATUS LINE\" (with --json an\n"
               "object with \"event\":\"done\"). Ends at the end of input or on \"quit\".\n";
    if (command == "set") {
        std::string names;
        for (const auto& d : CSettingCatalog::Settings()) names += std::string(" ") + d.name;
        return "Usage: kvx-tether set NAME VALUE [NAME VALUE]...\n\n"
               "Changes settings by their display text, as 'info' and 'choices' show it, and\n"
               "waits (at most 10 s each) until the camera reports the new value. Case and\n"
               "blanks around the text do not matter; an exposure mode may be given by its\n"
               "letter (\"M\"), a number by its value (\"8\" for F8.0, \"+1\" for +1.0).\n"
               "Examples: set shutter 1/125; set quality RAW+JPEG; set mode M iso 400\n"
               "Names:" +
               names + "\n";
    }
    if (command == "capture")
        return "Usage: kvx-tether capture [--af | --mf | --af-only] [--count N]\n"
               "                          [--interval SECONDS] [STORE OPTIONS]\n\n"
               "  --af        focus, then release (default)\n"
               "  --mf        release without focusing\n"
               "  --af-only   focus only: no picture; exit status 7 when focusing failed\n"
               "  --count N   N releases one after the other (default 1)\n"
               "  --interval SECONDS\n"
               "              time-lapse: release k at start + k * SECONDS, whatever the\n"
               "              downloads took (a late release is made at once)\n"
               "Store options: --dest DIR, --keep, --no-keep, --prefix TEXT, --start N,\n"
               "--digits N, --hook PROGRAM (see kvx-tether --help).\n\n"
               "Waits until every picture of each release is downloaded and prints the final\n"
               "path of each file on standard output; a file kept \".incomplete\" or not\n"
               "written is reported at once on standard error with its path. Pictures the\n"
               "camera still held from an earlier run are downloaded first and reported on\n"
               "standard error as such. Pictures always come to this computer.\n";
    if (command == "watch")
        return "Usage: kvx-tether watch [--wait] [--count N] [--timeout SECONDS]\n"
               "                        [STORE OPTIONS]\n\n"
               "Stays linked and downloads every picture taken on the camera body, printing\n"
               "each final path, until SIGINT or SIGTERM stops it cleanly (exit status 0), or\n"
               "the camera goes away or stops answering (exit status 4). Pictures still\n"
               "coming from the camera when the signal arrives are downloaded first; a\n"
               "second signal stops at once.\n"
               "  --wait       no camera yet, or the camera unplugged, is no reason to end:\n"
               "               plugging a camera in starts the link, unplugging stops it,\n"
               "               and only a signal ends the watch\n"
               "  --count N    end after N whole files (exit status 0)\n"
               "  --timeout SECONDS\n"
               "               end after SECONDS (exit status 0, or 5 when --count files\n"
               "               did not come)\n"
               "Store options: --dest DIR, --keep, --no-keep, --prefix TEXT, --start N,\n"
               "--digits N, --hook PROGRAM (see kvx-tether --help).\n";
    return {};
}

int RunTether(int argc, char** argv) {
    if (const char* div = std::getenv("KVX_TETHER_TIME_DIVISOR")) {
        // Test aid: shortens the engine's fixed waits (2 s, 1 s, 300 ms, 200 ms).
        int d = std::atoi(div);
        if (d > 1) kvx::SetClock(std::make_shared<kvx::ScaledClock>(static_cast<uint32_t>(d)));
    }
    // Signals are honoured from the start, linking included; a closed output
    // pipe is an error of a write, never the end of a download.
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGPIPE, SIG_IGN);

    Context c;
    bool help = false;
    int i = 1;
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--settings") {
            if (i + 1 >= argc) return Usage("--settings needs a file");
            c.g.settingsFile = argv[++i];
        } else if (arg == "--json") {
            c.g.json = true;
        } else if (arg == "--camera") {
            if (i + 1 >= argc || !*argv[i + 1])
                return Usage("--camera needs a number from 'kvx-tether list' or a device path");
            c.g.camera = argv[++i];
        } else if (arg == "--log-file") {
            if (i + 1 >= argc || !*argv[i + 1]) return Usage("--log-file needs a file");
            c.g.logFile = argv[++i];
        } else if (arg == "--log-level") {
            if (i + 1 >= argc || !ParseInt(argv[i + 1], c.g.logLevel) || c.g.logLevel > 5)
                return Usage("--log-level needs a level 0..5");
            ++i;
        } else if (arg == "--version") {
            Out(std::string("kvx-tether ") + KVX_TETHER_VERSION + "\n");
            return kExitOk;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage("unknown option " + arg);
        } else {
            break;
        }
    }
    std::vector<std::string> words(argv + i, argv + argc);
    if (words.empty()) {
        if (help) {
            Out(MainHelp());
            return kExitOk;
        }
        return Usage("no command given");
    }
    if (CommandHelp(words[0]).empty()) return Usage("unknown command " + words[0]);
    for (const auto& r : words)
        if (r == "--help" || r == "-h") help = true;
    if (help) {
        Out(CommandHelp(words[0]) + "\n" + kExitText);
        return kExitOk;
    }

    CRun run(c);
    if (words[0] == "shell") {
        if (words.size() != 1) return Usage("shell takes no arguments");
        LoadSettings(c);
        return CmdShell(run);
    }
    std::string error;
    auto actions = ParseActions(words, error);
    if (!error.empty()) return Usage(error);
    LoadSettings(c);
    for (auto& a : actions) {
        if (g_stop) return kExitInterrupted;
        int status = a.run(run);
        if (status != kExitOk) return status;
    }
    return kExitOk;
}

}  // namespace kvx::cli
