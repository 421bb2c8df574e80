// Steering a running virtual camera: the control commands and their
// effects on the records a host reads, malformed commands that must change
// nothing, the control socket's life, failing status reads, the manifest
// against the bytes served, per-camera pictures and SHA-256 itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "camlink/device/virtual_registration.h"
#include "vcam/control_client.h"
#include "vcam/sha256.h"
#include "vcam/virtual_camera.h"
#include "vcam_fixture.h"
#include "vcam_host.h"

using kvx::vcam::ControlClient;
using kvx::vcam::PictureKind;
using kvx::vcam::Sha256;
using kvx::vcam::VirtualCamera;
using kvx::vcam::VirtualCameraOptions;
using vcamtest::Answer;
using vcamtest::Host;
using vcamtest::ReadWhole;
using vcamtest::U16;
using vcamtest::U32;

namespace fs = std::filesystem;

namespace {

constexpr uint16_t kOk = 0x2001;

std::string Digest(const std::string& text) {
    Sha256 sha;
    sha.Update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return Sha256::Hex(sha.Final());
}

TEST(Sha256, KnownVectors) {
    EXPECT_EQ(Digest(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Digest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(
        Digest("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnop"
               "qklmnopqrlmnopqrsmnopqrstnopqrstu"),
        "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    // A million 'a', fed in uneven pieces so that every buffering path runs.
    Sha256 sha;
    std::string a(1000, 'a');
    size_t fed = 0;
    for (size_t piece = 1; fed < 1'000'000; piece = piece % 131 + 7) {
        size_t n = std::min({piece, a.size(), 1'000'000 - fed});
        sha.Update(reinterpret_cast<const uint8_t*>(a.data()), n);
        fed += n;
    }
    EXPECT_EQ(Sha256::Hex(sha.Final()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // Lengths around the padding boundary (55, 56, 63, 64 bytes).
    EXPECT_EQ(Digest(std::string(55, 'x')).size(), 64u);
    EXPECT_NE(Digest(std::string(55, 'x')), Digest(std::string(56, 'x')));
    EXPECT_EQ(Digest(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

class ControlTest : public vcamtest::VcamFixture {
protected:
    VirtualCameraOptions Options() {
        VirtualCameraOptions o = VcamFixture::Options();
        o.controlSocket = true;
        return o;
    }
    void Open(VirtualCamera& cam, Host& h) {
        VcamFixture::Open(cam, h);
        h.Read(0x902C, {8, 63, 0});  // settle what the link start raised
    }
    // One command through the control socket.
    static std::string Send(const VirtualCamera& cam, const std::string& command) {
        std::string answer, error;
        EXPECT_TRUE(ControlClient::Send(cam.ControlSocketPath(), command, answer, error)) << error;
        return answer;
    }
};

// Change flags and picture bits of one camera status read.
struct Status {
    int16_t state = 0;
    uint16_t flags = 0;
    uint32_t bits = 0;
};
Status ReadStatus(Host& h) {
    Answer a = h.Read(0x9011);
    EXPECT_EQ(a.code, kOk);
    EXPECT_EQ(a.data.size(), 10u);
    return {int16_t(U16(a.data, 1)), U16(a.data, 3), U32(a.data, 5)};
}

std::vector<uint8_t> Group(Host& h, int g) {
    static const uint16_t ops[] = {0x9012, 0x9013, 0x9014, 0x9023, 0x9027, 0x9029};
    Answer a = h.Read(ops[g - 1]);
    EXPECT_EQ(a.code, kOk);
    return a.data;
}

std::vector<uint8_t> At(const std::vector<uint8_t>& r, size_t at, size_t n) {
    if (at + n > r.size()) return {};
    return {r.begin() + long(at), r.begin() + long(at + n)};
}

// Each command in turn on one camera (protocol 3.x, so the camera status
// carries the change flags and picture bits): its answer, and what a host
// then reads.
TEST_F(ControlTest, CommandsAnswerAndShowInTheRecords) {
    VirtualCameraOptions o = Options();
    o.protocolMajor = 3;
    o.destination = 3;  // card and computer
    VirtualCamera cam(o);
    Host h;
    Open(cam, h);
    ReadStatus(h);
    using Effect = std::function<void()>;
    struct Case {
        const char* command;
        const char* answer;
        Effect effect;
    };
    const Case cases[] = {
        {"set drive-mode 2", "ok set drive-mode 2/0 = 2",
         [&] {
             EXPECT_EQ(ReadStatus(h).flags, 0x0002);
             EXPECT_EQ(Group(h, 2).at(3), 2);
         }},
        {"set 2/0x01/0 1", "ok set drive-mode 2/0 = 1", [&] { EXPECT_EQ(Group(h, 2).at(3), 1); }},
        {"set 2/2 2", "ok set exposure-mode 2/2 = 2",
         [&] {
             // Program shift is no longer offered: the settable info changed too.
             EXPECT_EQ(ReadStatus(h).flags, 0x0002 | 0x0200);
             EXPECT_EQ(Group(h, 2).at(5), 2);
         }},
        {"set colour-temperature 6500", "ok set colour-temperature 5/1 = 100 25",
         [&] {
             EXPECT_EQ(ReadStatus(h).flags, 0x0080);
             EXPECT_EQ(At(Group(h, 5), 9, 2), (std::vector<uint8_t>{0x64, 0x19}));
         }},
        {"set cm-frame2-params 1 2 3 4 0x05", "ok set cm-frame2-params 6/7 = 1 2 3 4 5",
         [&] {
             EXPECT_EQ(At(Group(h, 6), 14, 5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
         }},
        {"set program-shift -1", "ok set program-shift 1/2 = 255",
         [&] { EXPECT_EQ(Group(h, 1).at(5), 255); }},
        {"set 1/11 9 8", "ok set 1/11 = 9 8",
         [&] {
             EXPECT_EQ(At(Group(h, 1), 15, 2), (std::vector<uint8_t>{9, 8}));
         }},
        {"get iso", "ok get iso 1/4 = 40", [&] { EXPECT_EQ(ReadStatus(h).flags, 0); }},
        {"battery 5 4 7", "ok battery 5 4 7",
         [&] {
             EXPECT_EQ(ReadStatus(h).flags, 0x0001 | 0x0080);
             EXPECT_EQ(Group(h, 1).at(17), 5);
             EXPECT_EQ(At(Group(h, 5), 26, 2), (std::vector<uint8_t>{4, 7}));
         }},
        {"battery 12", "ok battery 12",
         [&] {
             EXPECT_EQ(ReadStatus(h).flags, 0x0001);
             EXPECT_EQ(Group(h, 1).at(17), 12);
         }},
        {"shots 42", "ok shots 42",
         [&] {
             EXPECT_EQ(At(Group(h, 1), 12, 2), (std::vector<uint8_t>{42, 0}));
         }},
        {"card absent", "ok card absent shots=0",
         [&] {
             auto g = Group(h, 1);
             EXPECT_EQ(g.at(11), 0);
             EXPECT_EQ(g.at(14), 4);
             EXPECT_EQ(At(g, 12, 2), (std::vector<uint8_t>{0, 0}));
         }},
        {"card error", "ok card error shots=0", [&] { EXPECT_EQ(Group(h, 1).at(14), 8); }},
        {"card present", "ok card present shots=500",
         [&] {
             auto g = Group(h, 1);
             EXPECT_EQ(g.at(11), 1);
             EXPECT_EQ(g.at(14), 1);
             EXPECT_EQ(At(g, 12, 2), (std::vector<uint8_t>{0xF4, 0x01}));
         }},
        {"card full", "ok card full shots=0", [&] { EXPECT_EQ(Group(h, 1).at(11), 1); }},
        // The card cannot take the picture: the release reports 0x6002.
        {"press release", "ok press ids=0",
         [&] {
             EXPECT_EQ(ReadStatus(h).bits, 1u);
             EXPECT_EQ(U16(h.Read(0x9015, {0}).data, 4), 0x6002);
             EXPECT_EQ(cam.PicturesTaken(), 0u);
         }},
        {"card present 2", "ok card present shots=2", [] {}},
        {"press release", "ok press ids=1",
         [&] {
             ReadStatus(h);
             Answer cs = h.Read(0x9015, {1});
             EXPECT_EQ(U16(cs.data, 4), 5);  // waiting for the computer
             EXPECT_EQ(cs.data.at(6), 0x02);
             EXPECT_EQ(At(Group(h, 1), 12, 2), (std::vector<uint8_t>{1, 0}));
         }},
        {"set destination 2", "ok set destination 3/15 = 2",
         [&] { EXPECT_EQ(cam.DataGroupField(3, 0, 0x80), std::vector<uint8_t>{2}); }},
        {"press focus", "ok press ids=none", [&] { EXPECT_EQ(ReadStatus(h).bits, 0u); }},
        {"focus fails", "ok focus fails", [&] { EXPECT_TRUE(cam.FocusFails()); }},
        {"press af", "ok press ids=2",
         [&] {
             EXPECT_EQ(ReadStatus(h).bits, 1u << 2);
             EXPECT_EQ(U16(h.Read(0x9015, {2}).data, 4), 0x6001);
             EXPECT_EQ(Group(h, 1).at(20), 3);  // the AF lock cannot be engaged
         }},
        {"press release", "ok press ids=3", [&] { EXPECT_EQ(cam.CaptureStatus(3)->first, 5); }},
        {"focus ok", "ok focus ok",
         [&] {
             EXPECT_EQ(Group(h, 1).at(20), 0);
             EXPECT_FALSE(cam.FocusFails());
         }},
        {"press af continuous", "ok press ids=4,5,6",
         [&] {
             EXPECT_EQ(ReadStatus(h).bits, 0x70u);
             EXPECT_EQ(Group(h, 2).at(3), 2);  // the dial was turned
         }},
        {"set bracket-setting 4", "ok set bracket-setting 1/7 = 4", [] {}},
        {"press release bracketing", "ok press ids=7,8,9,10,11",
         [&] { EXPECT_EQ(cam.ExpectedFiles(9).at(0).name, "VRN_0009.JPG"); }},
        {"press af timer10", "ok press timer=10s",
         [&] {
             EXPECT_EQ(cam.PictureIds().size(), 12u);  // nothing yet
             EXPECT_EQ(Group(h, 2).at(3), 4);
         }},
        {"state 3", "ok state 3", [&] { EXPECT_EQ(ReadStatus(h).state, 3); }},
        {"fail-status 1 error", "ok fail-status 1 error",
         [&] {
             Answer a = h.Read(0x9011);
             EXPECT_TRUE(a.io);
             EXPECT_EQ(a.code, 0x2002);
             EXPECT_TRUE(a.data.empty());
             EXPECT_EQ(h.Read(0x9011).code, kOk);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(Send(cam, c.command), c.answer);
        c.effect();
        ReadStatus(h);  // the next case starts from a quiet status
    }
    std::string info = cam.Command("info");
    EXPECT_EQ(info.rfind("ok info instance=" + cam.Instance() + " plugged=1 taken=10 ", 0), 0u)
        << info;
    EXPECT_EQ(cam.Command("help").rfind("ok commands: press set get", 0), 0u);
}

// Everything a command could change, as one comparable value.
std::string Snapshot(const VirtualCamera& cam) {
    std::ostringstream s;
    for (int g = 1; g <= 6; ++g)
        for (uint8_t b : cam.DataGroupRecord(g)) s << int(b) << ',';
    s << '|' << int(cam.DataGroupField(3, 0, 0x80).at(0)) << '|';
    for (int id : cam.PictureIds()) s << id << ',';
    s << '|' << cam.FocusFails() << cam.FailingStatusReads() << cam.CameraState() << cam.IsPlugged()
      << cam.PicturesTaken();
    return s.str();
}

TEST_F(ControlTest, MalformedCommandsAnswerAnErrorAndChangeNothing) {
    VirtualCameraOptions o = Options();
    o.protocolMajor = 3;
    VirtualCamera cam(o);
    Host h;
    Open(cam, h);
    ReadStatus(h);
    const std::string before = Snapshot(cam);
    const char* bad[] = {
        "",
        "   ",
        "bogus",
        "PRESS af",
        "press",
        "press sideways",
        "press af sometimes",
        "press af single extra",
        "set",
        "set drive-mode",
        "set drive-mode 256",
        "set drive-mode -129",
        "set drive-mode 1 2",
        "set drive-mode one",
        "set drive-mode 0x",
        "set nope 1",
        "set 7/0 1",
        "set 0/0 1",
        "set 2/16 1",
        "set 2/0x03/0 1",
        "set 2/0/0 1",
        "set 4/6 1",
        "set 1/",
        "set remaining-shots 65536",
        "set remaining-shots 1 2 3",
        "set focus-frame 1 2 3",
        "set iso 99999999999999999999999",
        "battery",
        "battery 1 2",
        "battery 300",
        "battery 1 2 x",
        "shots",
        "shots -1",
        "shots 70000",
        "card",
        "card wet",
        "card absent 3",
        "card present x",
        "focus",
        "focus maybe",
        "unplug now",
        "plug in",
        "fail-status",
        "fail-status x",
        "fail-status 1 loud",
        "state 40000",
        "get",
        "get nope",
        "get iso 1",
        "info please",
    };
    for (const char* command : bad) {
        SCOPED_TRACE(command);
        std::string answer = cam.Command(command);
        EXPECT_EQ(answer.rfind("error: ", 0), 0u) << answer;
        EXPECT_EQ(answer.find('\n'), std::string::npos);
        EXPECT_EQ(Snapshot(cam), before);
    }
    EXPECT_EQ(cam.Command(std::string(5000, 'x')).rfind("error: ", 0), 0u);
    // Over the socket too, several commands on one connection, a line too
    // long for the camera closes only that connection.
    EXPECT_EQ(Send(cam, "set drive-mode 300"), "error: bad value '300' (-128..255)");
    EXPECT_EQ(Snapshot(cam), before);
    Status s = ReadStatus(h);
    EXPECT_EQ(s.flags, 0);
    EXPECT_EQ(s.bits, 0u);
    std::string answer, error;
    ASSERT_TRUE(
        ControlClient::Send(cam.ControlSocketPath(), std::string(10000, 'y'), answer, error))
        << error;
    EXPECT_EQ(answer, "error: line longer than 4096 bytes");
    EXPECT_EQ(Snapshot(cam), before);
    EXPECT_EQ(Send(cam, "get drive-mode"), "ok get drive-mode 2/0 = 1");
}

int ConnectControl(const std::string& path) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string ReadLines(int fd, size_t lines) {
    std::string in;
    char buf[256];
    while (size_t(std::count(in.begin(), in.end(), '\n')) < lines) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        in.append(buf, size_t(n));
    }
    return in;
}

TEST_F(ControlTest, ControlSocketLivesFromStartToStopAndSteersThePlug) {
    VirtualCameraOptions o = Options();
    o.instance = "KVXCTL1";
    // A control socket left behind by a camera that died is replaced.
    const std::string control = dir_ + "/KVXCTL1.control";
    std::ofstream(control) << "stale";
    VirtualCamera cam(o);
    EXPECT_EQ(cam.ControlSocketPath(), control);
    ASSERT_TRUE(cam.Start());
    EXPECT_EQ(Send(cam, "info").rfind("ok info instance=KVXCTL1 plugged=1", 0), 0u);

    // A client that keeps its connection open does not hold others up, and
    // one connection carries several commands, skipping blanks and comments.
    int idle = ConnectControl(control);
    ASSERT_GE(idle, 0);
    int busy = ConnectControl(control);
    ASSERT_GE(busy, 0);
    const std::string script = "get drive-mode\n\n# a comment\r\nshots 9\r\n";
    ASSERT_EQ(::send(busy, script.data(), script.size(), MSG_NOSIGNAL), ssize_t(script.size()));
    EXPECT_EQ(ReadLines(busy, 2), "ok get drive-mode 2/0 = 1\nok shots 9\n");
    ::close(busy);

    EXPECT_EQ(Send(cam, "unplug"), "ok unplug");
    EXPECT_FALSE(cam.IsPlugged());
    EXPECT_TRUE(kvx::device::ReadRegistrations(dir_).empty());
    EXPECT_FALSE(fs::exists(cam.SocketPath()));
    EXPECT_TRUE(fs::exists(control));
    Host gone;
    EXPECT_FALSE(gone.Connect(cam.SocketPath()));
    EXPECT_EQ(Send(cam, "unplug"), "ok unplug");  // already out: nothing more to do
    EXPECT_EQ(Send(cam, "plug"), "ok plug");
    ASSERT_EQ(kvx::device::ReadRegistrations(dir_).size(), 1u);
    Host back;
    ASSERT_TRUE(back.Connect(cam.SocketPath()));
    ASSERT_TRUE(back.OpenSession());
    EXPECT_EQ(At(Group(back, 1), 12, 2), (std::vector<uint8_t>{9, 0}));  // kept while out
    back.Close();

    // A second camera of the same instance does not take over a control
    // socket that answers.
    VirtualCamera twin(o);
    EXPECT_FALSE(twin.Start());
    EXPECT_EQ(Send(cam, "shots 8"), "ok shots 8");

    cam.Stop();
    ::close(idle);
    EXPECT_FALSE(fs::exists(control));
    EXPECT_FALSE(fs::exists(cam.SocketPath()));
    std::string answer, error;
    EXPECT_FALSE(ControlClient::Send(control, "info", answer, error));

    // Without the option there is no control socket.
    VirtualCameraOptions plain = Options();
    plain.controlSocket = false;
    VirtualCamera quiet(plain);
    ASSERT_TRUE(quiet.Start());
    EXPECT_FALSE(fs::exists(quiet.ControlSocketPath()));
    EXPECT_EQ(quiet.Command("shots 3"), "ok shots 3");  // in process all the same
}

TEST_F(ControlTest, StatusReadsFailWhileTheCameraStaysListed) {
    VirtualCamera cam(Options());
    Host h;
    Open(cam, h);
    EXPECT_EQ(Send(cam, "fail-status 2 error"), "ok fail-status 2 error");
    EXPECT_EQ(Send(cam, "battery 3"), "ok battery 3");
    for (uint16_t op : {0x902C, 0x9011}) {
        SCOPED_TRACE(op);
        Answer a = h.Read(op, {8, 63, 0});
        EXPECT_TRUE(a.io);
        EXPECT_TRUE(a.hadData);
        EXPECT_TRUE(a.data.empty());
        EXPECT_EQ(a.code, 0x2002);
        EXPECT_EQ(kvx::device::ReadRegistrations(dir_).size(), 1u);
    }
    EXPECT_EQ(h.Read(0x9012).code, kOk);  // other reads still answer
    EXPECT_EQ(cam.FailingStatusReads(), 0u);
    // The change made meanwhile comes with the first read that succeeds.
    Answer ok = h.Read(0x902C, {8, 63, 0});
    ASSERT_EQ(ok.code, kOk);
    bool battery = false;
    for (uint32_t i = 0; i < U32(ok.data, 4); ++i)
        battery = battery || U16(ok.data, 8 + 12 * i) == 0x9012;
    EXPECT_TRUE(battery);

    // Silent: the read is never answered; the camera stays listed and serves
    // the next host.
    EXPECT_EQ(cam.Command("fail-status 1"), "ok fail-status 1 silent");
    EXPECT_FALSE(h.Read(0x9011).io);
    EXPECT_TRUE(cam.IsPlugged());
    EXPECT_EQ(kvx::device::ReadRegistrations(dir_).size(), 1u);
    h.Close();
    Host next;
    ASSERT_TRUE(next.Connect(cam.SocketPath()));
    ASSERT_TRUE(next.OpenSession());
    EXPECT_EQ(next.Read(0x9011).code, kOk);
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

TEST_F(ControlTest, ManifestMatchesTheBytesServed) {
    VirtualCameraOptions o = Options();
    o.picture = PictureKind::RawJpeg;
    o.seed = 0;
    o.manifestFile = dir_ + "/manifest.sha256";
    VirtualCamera cam(o);
    Host h;
    Open(cam, h);
    ASSERT_EQ(cam.Command("press release"), "ok press ids=0");
    ASSERT_EQ(cam.Command("set image-quality 2"), "ok set image-quality 2/15 = 2");
    ASSERT_EQ(cam.Command("press release"), "ok press ids=1");
    const fs::path got = fs::path(dir_) / "got";
    fs::create_directories(got);
    // The RAW+JPEG, then the JPEG: each file read whole lands on disk.
    for (uint32_t number : {1u, 2u}) {
        for (const auto& f : cam.ExpectedFiles(number)) {
            auto bytes = ReadWhole(h, f.objectId, f.size);
            ASSERT_EQ(bytes.size(), f.size);
            std::ofstream(got / f.name, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
        }
    }
    auto lines = Lines(o.manifestFile);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(64), "  VRN_0001.Q7F");
    EXPECT_EQ(lines[1].substr(64), "  VRN_0001.JPG");
    EXPECT_EQ(lines[2].substr(64), "  VRN_0002.JPG");
    // Checked from outside, as a script would.
    std::string check = "cd '" + got.string() + "' && sha256sum --check --quiet '" +
                        o.manifestFile + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0);
    // A changed byte fails the check: the lines are not mere names.
    {
        std::fstream f(got / "VRN_0002.JPG", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(500);
        char c = 0;
        f.seekg(500);
        f.get(c);
        f.seekp(500);
        f.put(char(c ^ 1));
    }
    EXPECT_NE(std::system(check.c_str()), 0);

    // A file read in part, or again, adds nothing.
    ASSERT_EQ(cam.Command("press release"), "ok press ids=2");
    auto third = cam.ExpectedFiles(3).at(0);
    EXPECT_EQ(h.Read(0x9022, {third.objectId, 0, 1000}).code, kOk);
    EXPECT_EQ(h.Read(0x9022, {third.objectId, 2000, 1000}).code, kOk);
    EXPECT_EQ(Lines(o.manifestFile).size(), 3u);

    // A Q7I picture gets one line, when its last part has been read.
    VirtualCameraOptions q = Options();
    q.picture = PictureKind::Q7i;
    q.q7iParts = 3;
    q.pictureBytes = 5000;
    q.manifestFile = dir_ + "/q7i.sha256";
    VirtualCamera qcam(q);
    h.Close();
    Host hq;
    Open(qcam, hq);
    ASSERT_EQ(qcam.Command("press af"), "ok press ids=0");
    auto parts = qcam.ExpectedFiles(1);
    ASSERT_EQ(parts.size(), 3u);
    for (size_t p = 0; p < parts.size(); ++p) {
        EXPECT_EQ(Lines(q.manifestFile).size(), 0u);
        EXPECT_EQ(ReadWhole(hq, parts[p].objectId, parts[p].size).size(), parts[p].size);
    }
    auto qlines = Lines(q.manifestFile);
    ASSERT_EQ(qlines.size(), 1u);
    EXPECT_EQ(qlines[0].substr(64), "  VRN_0001.Q7I");
}

// Bytes given to the camera are what every file holds, repeated to its
// size, at any offset; the manifest states their digest, not the seeded one.
TEST_F(ControlTest, GivenContentIsServedRepeatedAndDigested) {
    auto content = std::make_shared<std::vector<uint8_t>>(1000);
    for (size_t i = 0; i < content->size(); ++i) (*content)[i] = uint8_t(i * 7 + i / 256);
    VirtualCameraOptions o = Options();
    o.pictureBytes = 2500;
    o.fileContent = content;
    o.manifestFile = dir_ + "/given.sha256";
    VirtualCamera cam(o);
    Host h;
    Open(cam, h);
    ASSERT_EQ(cam.Command("press release"), "ok press ids=0");
    ASSERT_EQ(cam.Command("press release"), "ok press ids=1");
    std::vector<uint8_t> want(2500);
    for (size_t i = 0; i < want.size(); ++i) want[i] = (*content)[i % content->size()];
    // Two files, two object ids: the same bytes; a read across the seam of
    // the repetition as well.
    for (uint32_t number : {1u, 2u}) {
        auto f = cam.ExpectedFiles(number).at(0);
        EXPECT_TRUE(ReadWhole(h, f.objectId, f.size) == want);
    }
    auto first = cam.ExpectedFiles(1).at(0);
    Answer seam = h.Read(0x9022, {first.objectId, 990, 30});
    ASSERT_EQ(seam.data.size(), 4u + 30 + 2);
    EXPECT_TRUE(std::equal(seam.data.begin() + 4, seam.data.begin() + 34, want.begin() + 990));
    Sha256 sha;
    sha.Update(want.data(), want.size());
    const std::string digest = Sha256::Hex(sha.Final());
    auto lines = Lines(o.manifestFile);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], digest + "  VRN_0001.JPG");
    EXPECT_EQ(lines[1], digest + "  VRN_0002.JPG");
}

TEST_F(ControlTest, EachCameraMakesItsOwnPictures) {
    auto firstFile = [&](const std::string& instance, uint64_t seed) {
        VirtualCameraOptions o = Options();
        o.instance = instance;
        o.seed = seed;
        VirtualCamera cam(o);
        Host h;
        Open(cam, h);
        EXPECT_EQ(cam.Command("press release"), "ok press ids=0");
        auto f = cam.ExpectedFiles(1).at(0);
        EXPECT_EQ(f.name, "VRN_0001.JPG");
        auto bytes = ReadWhole(h, f.objectId, f.size);
        std::vector<uint8_t> want(f.size);
        VirtualCamera::FillPictureBytes(cam.Options().seed, f.objectId, 0, want.data(), f.size);
        EXPECT_TRUE(bytes == want);
        return std::make_pair(bytes, cam.Options().seed);
    };
    auto [a, seedA] = firstFile("KVXCAMA", 0);
    auto [b, seedB] = firstFile("KVXCAMB", 0);
    auto [a2, seedA2] = firstFile("KVXCAMA", 0);
    EXPECT_NE(seedA, seedB);
    EXPECT_NE(seedA, 0u);
    EXPECT_FALSE(a == b);  // two cameras, two different pictures
    EXPECT_TRUE(a == a2);  // the same camera again makes the same picture
    auto [c, seedC] = firstFile("KVXCAMC", 77);
    EXPECT_EQ(seedC, 77u);  // a seed given is the seed used
    auto [d, seedD] = firstFile("KVXCAMD", 77);
    EXPECT_TRUE(c == d);
}

// kvx-vcam itself: commands on standard input, --send from another process,
// and the control socket gone after SIGTERM.
TEST_F(ControlTest, ExecutableTakesCommandsFromStdinAndSend) {
    int in[2], out[2];
    ASSERT_EQ(::pipe(in), 0);
    ASSERT_EQ(::pipe(out), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::close(in[1]);
        ::close(out[0]);
        std::string d = dir_;
        ::execl(KVX_VCAM_EXE, KVX_VCAM_EXE, "--device-dir", d.c_str(), "--instance", "KVXEXE02",
                "--manifest", (d + "/m.sha256").c_str(), nullptr);
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    // Whatever fails below, the camera process does not outlive the test.
    struct Reaper {
        pid_t pid;
        ~Reaper() {
            if (pid > 0 && ::kill(pid, SIGTERM) == 0) ::waitpid(pid, nullptr, 0);
        }
    } reaper{pid};
    const std::string control = dir_ + "/KVXEXE02.control";
    // Its first two lines say where it is.
    std::string greeting = ReadLines(out[0], 2);
    EXPECT_NE(greeting.find("control socket " + control), std::string::npos) << greeting;
    ASSERT_TRUE(fs::exists(control));
    const std::string typed = "press release\nnonsense\n";
    ASSERT_EQ(::write(in[1], typed.data(), typed.size()), ssize_t(typed.size()));
    EXPECT_EQ(ReadLines(out[0], 2),
              "ok press ids=0\nerror: unknown command 'nonsense' (try 'help')\n");

    auto send = [&](const std::string& command, const std::string& extra) {
        std::string cmd = std::string(KVX_VCAM_EXE) + " --send '" + command + "' --device-dir '" +
                          dir_ + "'" + extra + " > '" + dir_ + "/answer.txt' 2>&1";
        int status = std::system(cmd.c_str());
        auto lines = Lines(dir_ + "/answer.txt");
        return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                              lines.empty() ? std::string() : lines[0]);
    };
    EXPECT_EQ(send("get drive-mode", ""),
              std::make_pair(0, std::string("ok get drive-mode 2/0 = 1")));
    EXPECT_EQ(send("set drive-mode 999", " --instance KVXEXE02").first, 1);
    EXPECT_EQ(send("info", " --instance NOSUCH").first, 2);

    ::close(in[1]);  // end of input: the camera keeps running
    EXPECT_EQ(send("shots 5", "").second, "ok shots 5");
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    reaper.pid = 0;
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ::close(out[0]);
    EXPECT_FALSE(fs::exists(control));
    EXPECT_TRUE(kvx::device::ReadRegistrations(dir_).empty());
}

TEST(VcamCommandLine, HelpDocumentsEveryControlCommand) {
    std::string help = kvx::vcam::HelpText();
    for (const char* word : {"press af|release|focus",
                             "single|continuous|bracketing|timer2|timer10",
                             "set FIELD",
                             "get FIELD",
                             "battery MAIN",
                             "shots N",
                             "card present",
                             "focus ok|fails",
                             "unplug",
                             "plug",
                             "fail-status N",
                             "state N",
                             "clock",
                             "series",
                             "custom-wb",
                             "info",
                             "fields",
                             "--send",
                             "--manifest",
                             "--no-control",
                             ".control"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    VirtualCameraOptions o;
    std::string msg;
    const char* argv[] = {"kvx-vcam", "--manifest", "/tmp/m", "--no-control"};
    o.controlSocket = true;
    ASSERT_TRUE(kvx::vcam::ParseCommandLine(4, const_cast<char**>(argv), o, msg)) << msg;
    EXPECT_EQ(o.manifestFile, "/tmp/m");
    EXPECT_FALSE(o.controlSocket);
}

}  // namespace
