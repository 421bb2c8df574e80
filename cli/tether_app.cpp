#include "cli/tether_app.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "camlink/device/device_list.h"
#include "cli/setting_catalog.h"
#include "cli/tether_session.h"
#include "engine/app_settings.h"
#include "engine/camera_detector.h"
#include "engine/review_app_lookup.h"
#include "log/write_log.h"
#include "model/setting_commands.h"
#include "platform/clock.h"

namespace kvx::cli {

using engine::AppSettings;
using engine::NamingOptions;

namespace {

// Bounds of every wait, in real milliseconds.
constexpr uint32_t kLinkWaitMs = 45'000;
constexpr uint32_t kSetWaitMs = 10'000;
constexpr uint32_t kReadyWaitMs = 30'000;
// A capture or download that shows no progress for this long has failed.
constexpr uint32_t kStallMs = 30'000;
// Drive modes that release several frames per shutter press: after the first
// result the capture waits this long for more.
constexpr uint32_t kBurstQuietMs = 2'500;

volatile std::sig_atomic_t g_stop = 0;
extern "C" void OnStopSignal(int) { g_stop = g_stop + 1; }

const char* kExitText =
    "Exit status:\n"
    "  0  success\n"
    "  1  only cameras of model code 110 are attached: the program ends with exit\n"
    "     code 0x8001, and a shell keeps its low 8 bits, so it sees 1\n"
    "  2  usage error: unknown command, option, setting or value\n"
    "  3  no camera: no still-image camera of model code 130 is attached\n"
    "  4  link failure: the camera could not be opened, did not answer, or went\n"
    "     away before the command was done\n"
    "  5  transfer failure: a picture was not downloaded whole (what arrived is\n"
    "     kept under its name with \".incomplete\")\n"
    "  6  the camera did not take the setting within 10 seconds\n"
    "  7  the camera reported a failed release (for example focusing failed)\n"
    "  8  capture stopped by SIGINT or SIGTERM before every release was made (the\n"
    "     pictures of the release under way are downloaded first; a second signal\n"
    "     stops at once)\n";

struct Args {
    std::string settingsFile;
    std::string command;
    std::vector<std::string> rest;
    bool help = false;
};

void Out(const std::string& s) {
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

struct Context {
    AppSettings settings;
    NamingOptions naming;
};

bool LoadSettings(const Args& a, Context& c) {
    std::string file = a.settingsFile.empty() ? AppSettings::DefaultFilePath() : a.settingsFile;
    c.settings.Read(file);
    c.settings.ApplyLogThreshold();
    WriteLog(2, "===========================================================");
    WriteLog(2, "enter %s, Lang=%s", "kvx-tether", "");
    std::string raw = engine::ReviewAppLookup::Find().value_or("");
    c.naming = NamingOptions::FromSettings(c.settings, raw);
    return true;
}

int LinkFailureStatus(CTetherSession::LinkOutcome o) {
    switch (o) {
        case CTetherSession::LinkOutcome::Linked:
            return kExitOk;
        case CTetherSession::LinkOutcome::NoCamera:
            Err("kvx-tether: no camera of model code 130 is attached\n");
            return kExitNoCamera;
        case CTetherSession::LinkOutcome::OnlyOtherModel:
            Err("kvx-tether: only cameras of model code 110 are attached (exit code 0x8001)\n");
            return kExitOnlyOtherModel;
        case CTetherSession::LinkOutcome::LinkFailed:
            Err("kvx-tether: the camera link could not be made\n");
            return kExitLinkFailed;
    }
    return kExitLinkFailed;
}

std::string StateText(int state) {
    engine::StatusLine s = engine::StatusLineFor(state, true, 0);
    return std::to_string(state) + (s.text.empty() ? "" : " (" + s.text + ")");
}

// ---- list ----

int CmdList() {
    auto devices = kvx::device::ListStillImageDevices();
    int cameras = 0;
    for (const auto& d : devices) {
        std::string path = kvx::device::InterfacePath(d);
        int model = ModelCodeOf(d.vendor, d.product);
        std::string upper = path;
        for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (upper.find("STORAGE") != std::string::npos) continue;
        Out((model ? std::to_string(model) : std::string("-")) + "\t" + path + "\t" +
            d.properties.name.value_or("") + "\n");
        if (model) ++cameras;
    }
    return cameras ? kExitOk : kExitNoCamera;
}

// ---- info ----

void PrintInfo(CTetherSession& s) {
    auto& camera = s.Camera();
    Out(s.CameraLine() + "\n");
    Out("Protocol: " + std::to_string(s.Engine().ProtocolMajor()) + "." +
        std::to_string(s.Engine().ProtocolMinor()) + "\n");
    Out("State: " + StateText(s.CameraState()) + "\n");
    for (const auto& def : CSettingCatalog::Settings()) {
        uint8_t code = CSettingCatalog::CurrentCode(camera, def);
        char line[160];
        std::snprintf(line, sizeof line, "%-11s %-22s %s\n", def.name, def.label,
                      CSettingCatalog::DisplayText(camera, def, code).c_str());
        Out(line);
    }
}

int CmdInfo(Context& c) {
    CTetherSession s({c.naming, true, {}});
    int rc = LinkFailureStatus(s.Connect(kLinkWaitMs));
    if (rc != kExitOk) return rc;
    PrintInfo(s);
    s.Shutdown();
    return kExitOk;
}

// ---- set ----

int CmdSet(Context& c, const std::string& name, const std::string& value) {
    const SettingDef* def = CSettingCatalog::Find(name);
    if (!def) {
        Err("kvx-tether: unknown setting \"" + name + "\"; known:");
        for (const auto& d : CSettingCatalog::Settings()) Err(std::string(" ") + d.name);
        Err("\n");
        return kExitUsage;
    }
    uint8_t field1 = 0, field2 = 0;
    if (!CSettingCatalog::FieldBits(*def, field1, field2)) {
        Err("kvx-tether: setting \"" + name + "\" cannot be changed\n");
        return kExitUsage;
    }
    CTetherSession s({c.naming, true, {}});
    int rc = LinkFailureStatus(s.Connect(kLinkWaitMs));
    if (rc != kExitOk) return rc;
    auto& camera = s.Camera();
    auto code = CSettingCatalog::ParseValue(camera, *def, value);
    if (!code) {
        Err("kvx-tether: the camera does not offer " + std::string(def->name) + " \"" + value +
            "\"; offered:");
        for (const auto& ch : CSettingCatalog::Choices(camera, *def)) Err(" \"" + ch.text + "\"");
        Err("\n");
        return kExitUsage;
    }
    s.Session().QueueCommand(CSettingCatalog::Command(*def, *code));
    bool taken = s.PumpUntil(
        [&] { return CSettingCatalog::CurrentCode(camera, *def) == *code || !s.ThreadRunning(); },
        kSetWaitMs);
    bool running = s.ThreadRunning();
    uint8_t now = CSettingCatalog::CurrentCode(camera, *def);
    s.Shutdown();
    if (!running && now != *code) {
        Err("kvx-tether: the camera link ended before the setting was confirmed\n");
        return kExitLinkFailed;
    }
    if (!taken || now != *code) {
        Err("kvx-tether: the camera kept " + std::string(def->name) + " at \"" +
            CSettingCatalog::DisplayText(camera, *def, now) + "\"\n");
        return kExitSettingRefused;
    }
    Out(std::string(def->name) + ": " + CSettingCatalog::DisplayText(camera, *def, now) + "\n");
    return kExitOk;
}

// ---- capture / watch ----

struct TransferTally {
    int pictures = 0;     // capture results seen
    int files = 0;        // files finished
    bool incomplete = false;
    std::vector<engine::PictureEvent> current;  // files of the picture under way
};

std::string SizeText(uint64_t n) {
    char b[32];
    std::snprintf(b, sizeof b, "%.1f MB", static_cast<double>(n) / 1e6);
    return b;
}

// Prints the final path of every file finished since the last call; true
// when there was one.
bool PrintFiles(CTetherSession& s, TransferTally& t) {
    auto files = s.TakeFinishedFiles();
    for (auto& f : files) {
        // Standard output lists only whole pictures, so a script never takes
        // a partial file for a picture.
        switch (f.kind) {
            case engine::PictureKind::Complete:
                Out(f.path + "\n");
                break;
            case engine::PictureKind::Incomplete:
                t.incomplete = true;
                Err("kvx-tether: incomplete, data kept as " + f.path + "\n");
                break;
            case engine::PictureKind::Failed:
                // Nothing of it is on disk: that is a failed transfer too.
                t.incomplete = true;
                Err("kvx-tether: " + (f.cameraName.empty() ? std::string("a picture") : f.cameraName) +
                    " was not downloaded: " + f.error + "\n");
                break;
        }
        ++t.files;
        t.current.push_back(std::move(f));
    }
    return !files.empty();
}

// A capture result ends a picture: on a terminal its progress line names
// the files it brought.
void PictureDone(TransferTally& t, int total) {
    ++t.pictures;
    if (::isatty(STDERR_FILENO) == 1) {
        std::string line = "picture " + std::to_string(t.pictures);
        if (total > 0) line += "/" + std::to_string(total);
        line += ":";
        if (t.current.empty()) line += " no file";
        for (const auto& f : t.current) {
            if (f.kind == engine::PictureKind::Failed) {
                line += " " + f.cameraName + " -> (not written)";
                continue;
            }
            line += " " + f.cameraName + " -> " + std::filesystem::path(f.path).filename().string() +
                    " (" + SizeText(f.size) +
                    (f.kind == engine::PictureKind::Complete ? "" : ", INCOMPLETE") + ")";
        }
        Err(line + "\n");
    }
    t.current.clear();
}

void ApplyDest(Context& c, const std::string& dest) {
    if (!dest.empty()) c.naming.destinationFolder = dest;
    // kvx-tether exists to bring the pictures here, whatever "InPC" says;
    // "InCamera" keeps its meaning.
    c.naming.inPC = true;
}

bool ReadyForRelease(int state) { return state == 0 || state == 1; }

int CmdCapture(Context& c, int mode, int count, const std::string& dest) {
    ApplyDest(c, dest);
    if (!std::filesystem::is_directory(engine::CPictureNamer::DestinationFolder(c.naming))) {
        Err("kvx-tether: destination folder " + engine::CPictureNamer::DestinationFolder(c.naming) +
            " does not exist\n");
        return kExitUsage;
    }
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    CTetherSession s({c.naming, true, {}});
    int rc = LinkFailureStatus(s.Connect(kLinkWaitMs));
    if (rc != kExitOk) return rc;
    TransferTally tally;
    int status = kExitOk;
    for (int shot = 0; shot < count && status == kExitOk; ++shot) {
        if (g_stop) {
            // A signal makes no further releases; the pictures of the last
            // one have been waited for above.
            Err("kvx-tether: stopped after " + std::to_string(shot) + " of " +
                std::to_string(count) + " releases\n");
            status = kExitInterrupted;
            break;
        }
        if (!s.PumpUntil([&] { return ReadyForRelease(s.CameraState()) || !s.ThreadRunning(); },
                         kReadyWaitMs) ||
            !s.ThreadRunning()) {
            Err("kvx-tether: the camera did not become ready for the release\n");
            status = kExitLinkFailed;
            break;
        }
        s.TakeCaptureResults();
        s.Session().QueueCommand(
            VARNO::MakeCaptureDestinationCommand(c.naming.inCamera, c.naming.inPC));
        s.Session().QueueCommand(VARNO::MakeReleaseCommand(static_cast<uint8_t>(mode)));

        if (mode == 3) {
            // Focusing only: no picture and no capture status follow.
            s.PumpUntil([&] { return s.Engine().QueuedCommandCount() == 0 || !s.ThreadRunning(); },
                        kReadyWaitMs);
            if (!s.ThreadRunning()) status = kExitLinkFailed;
            continue;
        }
        uint8_t drive = s.Camera().DataGroupByte(2, VARNO::dg2::kDriveMode);
        bool burst = drive == 2 || drive == 6 || drive == 7;
        int results = 0;
        bool failedRelease = false;
        uint32_t lastProgress = kvx::NowMs();
        for (;;) {
            s.Pump(20);
            if (PrintFiles(s, tally)) lastProgress = kvx::NowMs();
            for (uint32_t r : s.TakeCaptureResults()) {
                ++results;
                lastProgress = kvx::NowMs();
                if (r != 0x8002) {
                    Err("kvx-tether: the camera reported capture result " + Hex(r) + "\n");
                    failedRelease = true;
                }
                PictureDone(tally, count);
            }
            if (!s.ThreadRunning()) break;
            bool pending = s.PendingPictures() > 0;
            if (results > 0 && !pending && (!burst || kvx::NowMs() - lastProgress >= kBurstQuietMs))
                break;
            if (kvx::NowMs() - lastProgress >= kStallMs) break;
            if (g_stop >= 2) break;  // a second signal does not wait any more
        }
        PrintFiles(s, tally);
        if (!s.ThreadRunning()) {
            Err("kvx-tether: the camera link ended during the capture\n");
            status = results > 0 || tally.files > 0 || s.PendingPictures() > 0 ? kExitTransferFailed
                                                                                  : kExitLinkFailed;
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
        if (tally.incomplete) status = kExitTransferFailed;
    }
    s.Shutdown();
    PrintFiles(s, tally);
    if (tally.incomplete) status = kExitTransferFailed;
    return status;
}

int CmdWatch(Context& c, const std::string& dest, bool wait) {
    ApplyDest(c, dest);
    if (!std::filesystem::is_directory(engine::CPictureNamer::DestinationFolder(c.naming))) {
        Err("kvx-tether: destination folder " + engine::CPictureNamer::DestinationFolder(c.naming) +
            " does not exist\n");
        return kExitUsage;
    }
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    bool tty = ::isatty(STDERR_FILENO) == 1;
    CTetherSession s({c.naming, true, {}});
    auto outcome = s.Connect(kLinkWaitMs);
    if (outcome != CTetherSession::LinkOutcome::Linked &&
        !(wait && outcome == CTetherSession::LinkOutcome::NoCamera))
        return LinkFailureStatus(outcome);
    if (outcome != CTetherSession::LinkOutcome::Linked)
        Err("kvx-tether: no camera yet, waiting for one to be plugged in\n");
    else if (tty)
        Err(s.CameraLine() + ": watching, Ctrl+C to stop\n");
    TransferTally tally;
    bool wasRunning = s.ThreadRunning();
    // With --wait the device watcher's arrivals start the link and its
    // removals stop it, as in the program; without it the watch ends with
    // the link.
    bool closeAsked = false;
    uint32_t lastProgress = kvx::NowMs();
    while (!s.Closed() && !s.QuitPosted() && (wait || s.ThreadRunning() || closeAsked)) {
        if (g_stop >= 2) break;  // a second signal does not wait any more
        if (g_stop && !closeAsked) {
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
        if (PrintFiles(s, tally)) lastProgress = kvx::NowMs();
        for (uint32_t r : s.TakeCaptureResults()) {
            (void)r;
            PictureDone(tally, 0);
        }
        bool running = s.ThreadRunning();
        if (running != wasRunning)
            Err(running ? "kvx-tether: camera linked\n"
                        : "kvx-tether: camera link ended, waiting for a camera\n");
        wasRunning = running;
    }
    bool linkLost = !g_stop;
    bool onlyOther = s.QuitPosted();
    s.Shutdown();
    PrintFiles(s, tally);
    if (tally.incomplete) return kExitTransferFailed;
    if (onlyOther) return kExitOnlyOtherModel;
    if (linkLost) {
        Err("kvx-tether: the camera link ended\n");
        return kExitLinkFailed;
    }
    return kExitOk;
}

bool ParseInt(const std::string& s, int& out) {
    if (s.empty() || s.size() > 6) return false;
    for (char ch : s)
        if (ch < '0' || ch > '9') return false;
    out = std::atoi(s.c_str());
    return true;
}

int Usage(const std::string& why) {
    Err("kvx-tether: " + why + "\nTry 'kvx-tether --help'.\n");
    return kExitUsage;
}

}  // namespace

std::string MainHelp() {
    return std::string(
               "Usage: kvx-tether [--settings FILE] COMMAND [ARGS...]\n"
               "\n"
               "Tethered shooting from the command line, on the program's camera engine:\n"
               "links to the first camera of model code 130, changes its settings, releases\n"
               "the shutter and downloads the pictures under the names of the settings file.\n"
               "\n"
               "Commands:\n"
               "  list                 still-image cameras seen: model code, device path, name\n"
               "  info                 camera line, protocol version, camera state, settings\n"
               "  set NAME VALUE       change one setting by its display text\n"
               "  capture [--af | --mf | --af-only] [--count N] [--dest DIR]\n"
               "                       release the shutter and download every picture\n"
               "  watch [--dest DIR] [--wait]\n"
               "                       download every picture taken on the camera body\n"
               "                       until interrupted (SIGINT or SIGTERM)\n"
               "\n"
               "Options:\n"
               "  --settings FILE      the settings file to read instead of the program's\n"
               "                       ($XDG_DATA_HOME or ~/.local/share, then\n"
               "                       VARNO/Varno_Kolvex/Varno_Kolvex.ini); never written\n"
               "  --help               this text; 'kvx-tether COMMAND --help' for one command\n"
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
               "camera state and every setting with its display text.\n";
    if (command == "set") {
        std::string names;
        for (const auto& d : CSettingCatalog::Settings()) names += std::string(" ") + d.name;
        return "Usage: kvx-tether set NAME VALUE\n\n"
               "Changes one setting by its display text, as 'info' shows it, and waits (at most\n"
               "10 s) until the camera reports the new value. Case and blanks around the text\n"
               "do not matter; an exposure mode may be given by its letter (\"M\").\n"
               "Examples: set shutter 1/125; set quality RAW+JPEG; set mode M\n"
               "Names:" +
               names + "\n";
    }
    if (command == "capture")
        return "Usage: kvx-tether capture [--af | --mf | --af-only] [--count N] [--dest DIR]\n\n"
               "  --af        focus, then release (default)\n"
               "  --mf        release without focusing\n"
               "  --af-only   focus only: no picture\n"
               "  --count N   N releases one after the other (default 1)\n"
               "  --dest DIR  download into DIR instead of the settings file's \"Path\"\n\n"
               "Waits until every picture of each release is downloaded and prints the final\n"
               "path of each file on standard output; on a terminal a progress line per\n"
               "picture goes to standard error. Pictures always come to this computer (the\n"
               "camera is told to store on the card as well when \"InCamera\" is set).\n";
    if (command == "watch")
        return "Usage: kvx-tether watch [--dest DIR] [--wait]\n\n"
               "Stays linked and downloads every picture taken on the camera body, printing\n"
               "each final path, until SIGINT or SIGTERM stops it cleanly (exit status 0), or\n"
               "the camera goes away (exit status 4). Pictures still coming from the camera\n"
               "when the signal arrives are downloaded first; a second signal stops at once.\n"
               "  --dest DIR  download into DIR instead of the settings file's \"Path\"\n"
               "  --wait      no camera yet, or the camera unplugged, is no reason to end:\n"
               "              plugging a camera in starts the link, unplugging stops it, and\n"
               "              only a signal ends the watch\n";
    return {};
}

int RunTether(int argc, char** argv) {
    if (const char* div = std::getenv("KVX_TETHER_TIME_DIVISOR")) {
        // Test aid: shortens the engine's fixed waits (2 s, 1 s, 300 ms, 200 ms).
        int d = std::atoi(div);
        if (d > 1) kvx::SetClock(std::make_shared<kvx::ScaledClock>(static_cast<uint32_t>(d)));
    }
    Args a;
    int i = 1;
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--settings") {
            if (i + 1 >= argc) return Usage("--settings needs a file");
            a.settingsFile = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            a.help = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage("unknown option " + arg);
        } else {
            a.command = arg;
            ++i;
            break;
        }
    }
    for (; i < argc; ++i) a.rest.push_back(argv[i]);
    if (a.command.empty()) {
        if (a.help) {
            Out(MainHelp());
            return kExitOk;
        }
        return Usage("no command given");
    }
    if (CommandHelp(a.command).empty()) return Usage("unknown command " + a.command);
    for (const auto& r : a.rest) {
        if (r == "--help" || r == "-h") a.help = true;
    }
    if (a.help) {
        Out(CommandHelp(a.command) + "\n" + kExitText);
        return kExitOk;
    }

    Context c;
    LoadSettings(a, c);

    if (a.command == "list") {
        if (!a.rest.empty()) return Usage("list takes no arguments");
        return CmdList();
    }
    if (a.command == "info") {
        if (!a.rest.empty()) return Usage("info takes no arguments");
        return CmdInfo(c);
    }
    if (a.command == "set") {
        if (a.rest.size() != 2) return Usage("set needs NAME and VALUE");
        return CmdSet(c, a.rest[0], a.rest[1]);
    }
    if (a.command == "capture") {
        int mode = 1, count = 1;
        std::string dest;
        for (size_t k = 0; k < a.rest.size(); ++k) {
            const std::string& r = a.rest[k];
            if (r == "--af") {
                mode = 1;
            } else if (r == "--mf") {
                mode = 2;
            } else if (r == "--af-only") {
                mode = 3;
            } else if (r == "--count") {
                if (k + 1 >= a.rest.size() || !ParseInt(a.rest[k + 1], count) || count < 1)
                    return Usage("--count needs a number of at least 1");
                ++k;
            } else if (r == "--dest") {
                if (k + 1 >= a.rest.size()) return Usage("--dest needs a folder");
                dest = a.rest[++k];
            } else {
                return Usage("capture: unknown argument " + r);
            }
        }
        return CmdCapture(c, mode, count, dest);
    }
    if (a.command == "watch") {
        std::string dest;
        bool wait = false;
        for (size_t k = 0; k < a.rest.size(); ++k) {
            if (a.rest[k] == "--dest" && k + 1 < a.rest.size()) {
                dest = a.rest[++k];
            } else if (a.rest[k] == "--wait") {
                wait = true;
            } else {
                return Usage("watch: unknown argument " + a.rest[k]);
            }
        }
        return CmdWatch(c, dest, wait);
    }
    return Usage("unknown command " + a.command);
}

}  // namespace kvx::cli
