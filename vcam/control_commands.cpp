#include "vcam/control_commands.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "vcam/camera_settings.h"
#include "vcam/record_layout.h"
#include "vcam/virtual_camera.h"

namespace kvx::vcam {

namespace {

// Names of the fields; the fields kept but unused have none (reach them by
// group and bit).
constexpr NamedField kFields[] = {
    {"shutter-speed", 1, 0},
    {"aperture", 1, 1},
    {"program-shift", 1, 2},
    {"iso-auto", 1, 3},
    {"iso", 1, 4},
    {"exposure-comp", 1, 5},
    {"bracket-amount", 1, 6},
    {"bracket-setting", 1, 7},
    {"card-ready", 1, 8},
    {"remaining-shots", 1, 9},
    {"card-state", 1, 10},
    {"battery", 1, 12},
    {"bracket-counter", 1, 13},
    {"exposure-level", 1, 14},
    {"focus-state", 1, 15},
    {"drive-mode", 2, 0},
    {"live-view", 2, 1},
    {"exposure-mode", 2, 2},
    {"metering-mode", 2, 3},
    {"ae-lock", 2, 4},
    {"af-mode", 2, 5},
    {"af-lock", 2, 7},
    {"flash-state", 2, 8},
    {"flash-sync", 2, 9},
    {"flash-options", 2, 10},
    {"flash-status", 2, 11},
    {"flash-comp", 2, 12},
    {"white-balance", 2, 13},
    {"image-size", 2, 14},
    {"image-quality", 2, 15},
    {"contrast", 3, 0},
    {"sharpness", 3, 1},
    {"saturation", 3, 2},
    {"colour-space", 3, 3},
    {"colour-mode", 3, 4},
    {"lens-shortest", 3, 6},
    {"lens-longest", 3, 7},
    {"af-assist", 3, 8},
    {"af-beep", 3, 9},
    {"mirror-up-release", 3, 10},
    {"extended-mode", 3, 11},
    {"auto-rotate", 3, 12},
    {"timer-sound", 3, 13},
    {"destination", 3, 15},
    {"iso-step", 4, 0},
    {"iso-auto-upper", 4, 1},
    {"iso-auto-lower", 4, 2},
    {"qmd-mode", 4, 3},
    {"dc-crop", 4, 4},
    {"live-view-zoom", 4, 5},
    {"interval-timer", 5, 0},
    {"colour-temperature", 5, 1},
    {"wb-adjust", 5, 2},
    {"aspect-ratio", 5, 3},
    {"filter-effect", 5, 4},
    {"toning-effect", 5, 5},
    {"tone-control", 5, 6},
    {"peaking-level", 5, 8},
    {"face-detection", 5, 9},
    {"focus-frame", 5, 11},
    {"extra-batteries", 5, 12},
    {"face-state", 5, 13},
    {"indicators", 5, 14},
    {"flash-af-assist", 5, 15},
    {"special-bracketing", 6, 0},
    {"wb-bracket-shots", 6, 1},
    {"wb-bracket-amount", 6, 2},
    {"wb-bracket-axis", 6, 3},
    {"cm-frame1", 6, 4},
    {"cm-frame1-params", 6, 5},
    {"cm-frame2", 6, 6},
    {"cm-frame2-params", 6, 7},
    {"cm-frame3", 6, 8},
    {"cm-frame3-params", 6, 9},
    {"cm-frame4", 6, 10},
    {"cm-frame4-params", 6, 11},
    {"cm-frame5", 6, 12},
    {"cm-frame5-params", 6, 13},
};

std::vector<std::string> Split(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// A whole number in decimal or 0x hex, within lo..hi.
std::optional<long> Number(const std::string& s, long lo, long hi) {
    if (s.empty() || s.size() > 20) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 0);
    if (errno || !end || *end || end == s.c_str() || v < lo || v > hi) return std::nullopt;
    return v;
}

int Width(const NamedField& f) {
    if (f.group == 3 && f.bit == kBitDestination) return 1;
    return GroupField(f.group, f.bit).width;
}

std::string Where(const NamedField& f) {
    return std::to_string(f.group) + "/" + std::to_string(f.bit);
}

std::string Label(const NamedField& f) {
    return (f.name ? std::string(f.name) + " " : std::string()) + Where(f);
}

std::string Bytes(const std::vector<uint8_t>& v) {
    std::string s;
    for (uint8_t b : v) s += (s.empty() ? "" : " ") + std::to_string(b);
    return s;
}

std::string Error(const std::string& why) {
    return "error: " + why;
}

// Values for a field of width w: one number per byte (-128..255), or for a
// two-byte field also one number 0..65535 (stored little-endian).
std::optional<std::vector<uint8_t>> Values(const std::vector<std::string>& words, size_t from,
                                           int width, std::string& why) {
    size_t n = words.size() - from;
    std::vector<uint8_t> out;
    if (width == 2 && n == 1) {
        auto v = Number(words[from], 0, 65535);
        if (!v) {
            why = "bad value '" + words[from] + "' (0..65535)";
            return std::nullopt;
        }
        return std::vector<uint8_t>{uint8_t(*v), uint8_t(*v >> 8)};
    }
    if (n != size_t(width)) {
        why = "the field takes " + std::to_string(width) + " byte value" + (width > 1 ? "s" : "");
        return std::nullopt;
    }
    for (size_t i = from; i < words.size(); ++i) {
        auto v = Number(words[i], -128, 255);
        if (!v) {
            why = "bad value '" + words[i] + "' (-128..255)";
            return std::nullopt;
        }
        out.push_back(uint8_t(*v));
    }
    return out;
}

std::string Usage(const char* text) {
    return Error(std::string("usage: ") + text);
}

constexpr const char* kPressUsage =
    "press af|release|focus [single|continuous|bracketing|timer2|timer10]";
constexpr const char* kCardUsage = "card present [SHOTS]|absent|full|error";

std::string Press(VirtualCamera& cam, const std::vector<std::string>& w) {
    if (w.size() < 2 || w.size() > 3) return Usage(kPressUsage);
    int mode = w[1] == "af" ? 1 : w[1] == "release" ? 2 : w[1] == "focus" ? 3 : 0;
    if (!mode) return Usage(kPressUsage);
    std::optional<uint8_t> drive;
    if (w.size() == 3) {
        static const std::pair<const char*, uint8_t> drives[] = {
            {"single", 1}, {"continuous", 2}, {"timer2", 3}, {"timer10", 4}, {"bracketing", 6}};
        for (auto [name, code] : drives)
            if (w[2] == name) drive = code;
        if (!drive) return Usage(kPressUsage);
    }
    BodyRelease r = cam.PressShutterOnBody(mode, drive);
    if (r.busy) return Error("every picture id is in use");
    if (r.timerSeconds) return "ok press timer=" + std::to_string(r.timerSeconds) + "s";
    std::string ids;
    for (int id : r.ids) ids += (ids.empty() ? "" : ",") + std::to_string(id);
    return "ok press ids=" + (ids.empty() ? std::string("none") : ids);
}

std::string SetOrGet(VirtualCamera& cam, const std::vector<std::string>& w) {
    bool set = w[0] == "set";
    if (w.size() < (set ? 3u : 2u) || (!set && w.size() != 2))
        return Usage(set ? "set FIELD VALUE..." : "get FIELD");
    auto field = ControlCommands::FindField(w[1]);
    if (!field) return Error("unknown field '" + w[1] + "' (see 'fields')");
    if (set) {
        std::string why;
        auto value = Values(w, 2, Width(*field), why);
        if (!value) return Error(why);
        if (!cam.SetFieldsOnBody({{field->group, field->bit, *value}}))
            return Error("field " + Where(*field) + " refused the value");
    }
    return "ok " + w[0] + " " + Label(*field) + " = " +
           Bytes(cam.FieldBytes(field->group, field->bit));
}

std::string Battery(VirtualCamera& cam, const std::vector<std::string>& w) {
    if (w.size() != 2 && w.size() != 4) return Usage("battery MAIN [EXTRA1 EXTRA2]");
    std::vector<uint8_t> codes;
    for (size_t i = 1; i < w.size(); ++i) {
        auto v = Number(w[i], -128, 255);
        if (!v) return Error("bad battery code '" + w[i] + "' (-128..255)");
        codes.push_back(uint8_t(*v));
    }
    std::vector<BodyField> fields{{1, 12, {codes[0]}}};
    if (codes.size() == 3) fields.push_back({5, 12, {codes[1], codes[2]}});
    if (!cam.SetFieldsOnBody(fields)) return Error("battery fields refused");
    std::string out = "ok battery";
    for (size_t i = 1; i < w.size(); ++i) out += " " + std::to_string(codes[i - 1]);
    return out;
}

std::vector<uint8_t> Shots(uint16_t n) {
    return {uint8_t(n), uint8_t(n >> 8)};
}

std::string Card(VirtualCamera& cam, const std::vector<std::string>& w) {
    if (w.size() < 2 || w.size() > 3 || (w.size() == 3 && w[1] != "present"))
        return Usage(kCardUsage);
    // (card ready, card state, remaining shots)
    std::vector<BodyField> fields;
    auto put = [&](uint8_t ready, uint8_t state, uint16_t shots) {
        fields = {{1, 8, {ready}}, {1, 10, {state}}, {1, 9, Shots(shots)}};
    };
    if (w[1] == "present") {
        auto now = cam.FieldBytes(1, 9);
        uint16_t shots = uint16_t(now.size() == 2 ? now[0] | now[1] << 8 : 0);
        if (w.size() == 3) {
            auto v = Number(w[2], 0, 65535);
            if (!v) return Error("bad shot count '" + w[2] + "' (0..65535)");
            shots = uint16_t(*v);
        } else if (shots == 0) {
            shots = cam.Options().remainingShots;  // a fresh card of the first one's size
        }
        put(1, 1, shots);
    } else if (w[1] == "absent") {
        put(0, 4, 0);
    } else if (w[1] == "full") {
        put(1, 1, 0);
    } else if (w[1] == "error") {
        put(0, 8, 0);
    } else {
        return Usage(kCardUsage);
    }
    if (!cam.SetFieldsOnBody(fields)) return Error("card fields refused");
    auto shots = cam.FieldBytes(1, 9);
    return "ok card " + w[1] + " shots=" + std::to_string(shots[0] | shots[1] << 8);
}

std::string Info(VirtualCamera& cam) {
    std::string ids;
    for (int id : cam.PictureIds()) ids += (ids.empty() ? "" : ",") + std::to_string(id);
    return "ok info instance=" + cam.Instance() + " plugged=" + (cam.IsPlugged() ? "1" : "0") +
           " taken=" + std::to_string(cam.PicturesTaken()) +
           " ids=" + (ids.empty() ? std::string("none") : ids) +
           " seed=" + std::to_string(cam.Options().seed) +
           " focus=" + (cam.FocusFails() ? "fails" : "ok") +
           " fail-status=" + std::to_string(cam.FailingStatusReads());
}

}  // namespace

std::optional<NamedField> ControlCommands::FindField(const std::string& text) {
    for (const auto& f : kFields)
        if (text == f.name) return f;
    std::vector<std::string> parts;
    std::string part;
    for (char c : text + "/") {
        if (c == '/') {
            parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (parts.size() != 2 && parts.size() != 3) return std::nullopt;
    auto group = Number(parts[0], 1, 6);
    if (!group) return std::nullopt;
    NamedField f{nullptr, int(*group), 0};
    if (parts.size() == 2) {
        auto bit = Number(parts[1], 0, 15);
        if (!bit) return std::nullopt;
        f.bit = int(*bit);
    } else {
        auto f1 = Number(parts[1], 0, 255), f2 = Number(parts[2], 0, 255);
        if (!f1 || !f2) return std::nullopt;
        unsigned mask = unsigned(*f1 | *f2 << 8);
        if (mask == 0 || (mask & (mask - 1))) return std::nullopt;
        while (!(mask & 1)) {
            mask >>= 1;
            ++f.bit;
        }
    }
    for (const auto& named : kFields)
        if (named.group == f.group && named.bit == f.bit) f.name = named.name;
    if (Width(f) == 0) return std::nullopt;
    return f;
}

std::string ControlCommands::Execute(VirtualCamera& cam, const std::string& line) {
    if (line.size() > 4096) return Error("command longer than 4096 bytes");
    auto w = Split(line);
    if (w.empty()) return Error("empty command (try 'help')");
    const std::string& c = w[0];
    if (c == "press") return Press(cam, w);
    if (c == "set" || c == "get") return SetOrGet(cam, w);
    if (c == "battery") return Battery(cam, w);
    if (c == "card") return Card(cam, w);
    if (c == "shots") {
        auto v = w.size() == 2 ? Number(w[1], 0, 65535) : std::nullopt;
        if (!v) return Usage("shots N (0..65535)");
        if (!cam.SetFieldsOnBody({{1, 9, Shots(uint16_t(*v))}})) return Error("field refused");
        return "ok shots " + std::to_string(*v);
    }
    if (c == "focus") {
        if (w.size() != 2 || (w[1] != "ok" && w[1] != "fails")) return Usage("focus ok|fails");
        cam.SetFocusFails(w[1] == "fails");
        return "ok focus " + w[1];
    }
    if (c == "unplug" || c == "plug") {
        if (w.size() != 1) return Usage(c == "plug" ? "plug" : "unplug");
        if (c == "unplug") {
            cam.Unplug();
            return "ok unplug";
        }
        if (!cam.Plug()) return Error("could not plug in at " + cam.SocketPath());
        return "ok plug";
    }
    if (c == "fail-status") {
        if (w.size() < 2 || w.size() > 3) return Usage("fail-status N [silent|error]");
        auto v = Number(w[1], 0, 1000000);
        std::string how = w.size() == 3 ? w[2] : "silent";
        if (!v || (how != "silent" && how != "error")) return Usage("fail-status N [silent|error]");
        long count = *v;
        cam.FailStatusReads(uint32_t(count),
                            how == "silent" ? StatusFailure::Silent : StatusFailure::Error);
        return "ok fail-status " + std::to_string(count) + " " + how;
    }
    if (c == "state") {
        auto v = w.size() == 2 ? Number(w[1], -32768, 32767) : std::nullopt;
        if (!v) return Usage("state N (-32768..32767)");
        cam.SetCameraState(int16_t(*v));
        return "ok state " + std::to_string(*v);
    }
    if (c == "info" && w.size() == 1) return Info(cam);
    if (c == "fields" && w.size() == 1) {
        std::string out = "ok fields";
        for (const auto& f : kFields) out += " " + std::string(f.name) + "=" + Where(f);
        return out;
    }
    if (c == "help" && w.size() == 1)
        return "ok commands: press set get battery shots card focus unplug plug fail-status "
               "state info fields help";
    return Error("unknown command '" + c + "' (try 'help')");
}

std::string ControlCommands::Help() {
    return "Control commands (one per line on standard input, on the control socket\n"
           "<device-dir>/<instance>.control, or with --send; each answers one line,\n"
           "\"ok ...\" or \"error: ...\"; a malformed command changes nothing):\n"
           "  press af|release|focus [single|continuous|bracketing|timer2|timer10]\n"
           "                            shutter on the body: af focuses and releases,\n"
           "                            release does not focus, focus only focuses; a drive\n"
           "                            mode turns the dial first. Answers \"ok press\n"
           "                            ids=0,1,2\", \"ok press ids=none\" or \"ok press\n"
           "                            timer=2s\" (the picture follows later)\n"
           "  set FIELD VALUE...        turn a data-group field on the body: one value per\n"
           "                            byte (-128..255, 0x.. hex), or one 0..65535 for a\n"
           "                            two-byte field. Answers \"ok set NAME G/BIT = bytes\"\n"
           "  get FIELD                 \"ok get NAME G/BIT = bytes\"\n"
           "                            FIELD: a name (see 'fields'), G/BIT (group 1..6, bit\n"
           "                            0..7 Field1, 8..15 Field2) or G/FIELD1/FIELD2 masks\n"
           "                            (e.g. 2/0x01/0); 3/15 is the capture destination\n"
           "  battery MAIN [EXTRA1 EXTRA2]  battery codes (main; the two additional ones)\n"
           "  shots N                   remaining shots on the card\n"
           "  card present [SHOTS]|absent|full|error\n"
           "                            card state; a release bound for the card reports\n"
           "                            0x6002 while no shot fits. Answers \"ok card STATE\n"
           "                            shots=N\"\n"
           "  focus ok|fails            focusing works, or fails (a focusing release then\n"
           "                            reports 0x6001 and takes no picture)\n"
           "  unplug                    unregister and close the camera's socket (the\n"
           "                            control socket stays)\n"
           "  plug                      register again, settings and pictures kept\n"
           "  fail-status N [silent|error]\n"
           "                            the next N status reads (0x9011, 0x902C) fail while\n"
           "                            the camera stays listed: silent (the default) answers\n"
           "                            nothing, so the host's read times out; error answers\n"
           "                            0x2002 with an empty record (the library passes that\n"
           "                            on as success). 0 ends it. Answers \"ok fail-status N\n"
           "                            silent|error\"\n"
           "  state N                   camera state of the status records\n"
           "  info                      \"ok info instance=ID plugged=0|1 taken=N ids=...\n"
           "                            seed=N focus=ok|fails fail-status=N\"\n"
           "  fields                    \"ok fields NAME=G/BIT ...\"\n"
           "  help                      the list of commands\n"
           "Blank lines and lines starting with # get no answer.\n";
}

}  // namespace kvx::vcam
