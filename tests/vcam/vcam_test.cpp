// The virtual camera against a bare host over its real socket: records and
// their checksums, settings round trips, the capture walk, partial reads,
// multi-part lists, faults, and plugging in and out.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "camlink/device/virtual_registration.h"
#include "vcam/virtual_camera.h"
#include "vcam_fixture.h"
#include "vcam_host.h"

using kvx::vcam::PictureKind;
using kvx::vcam::VirtualCamera;
using kvx::vcam::VirtualCameraOptions;
using vcamtest::Answer;
using vcamtest::Host;
using vcamtest::ReadWhole;
using vcamtest::Sum8;
using vcamtest::U16;
using vcamtest::U32;
using vcamtest::WithChecksum;

namespace fs = std::filesystem;

namespace {

constexpr uint16_t kOk = 0x2001;

// Checksum rules as the program applies them, written again here.
bool RuleA(const std::vector<uint8_t>& r, size_t size) {
    int L = int8_t(r.at(0));
    return L > 2 && size_t(L) < size && r.at(L + 1) == Sum8(r, 0, L);
}
bool RuleB(const std::vector<uint8_t>& r) {
    int L = int8_t(r.at(0));
    return L > 2 && L < 8 && r.at(L + 1) == Sum8(r, 0, L + 1);
}
bool RuleC(const std::vector<uint8_t>& r, size_t size, bool wideLength) {
    size_t L = wideLength ? U16(r, 0) : r.at(0);
    return L > 2 && L < size && L + 2 < r.size() && r[L + 2] == Sum8(r, 0, L + 2);
}

struct Item {
    uint32_t count = 0;
    std::vector<uint8_t> bytes;  // inline value or the bytes at the offset
};

// Status record 2 items by type; data lying outside the record fails the test.
std::multimap<uint16_t, Item> Items(const std::vector<uint8_t>& r) {
    std::multimap<uint16_t, Item> out;
    EXPECT_EQ(U32(r, 0), r.size());
    uint32_t n = U32(r, 4);
    EXPECT_LE(8 + 12 * size_t(n), r.size());
    for (uint32_t i = 0; i < n && 8 + 12 * size_t(i + 1) <= r.size(); ++i) {
        size_t at = 8 + 12 * i;
        uint16_t type = U16(r, at);
        Item it;
        it.count = U32(r, at + 4);
        size_t bytes = type == 5 ? 2 * size_t(it.count) : it.count;
        if (bytes <= 4) {
            it.bytes.assign(r.begin() + at + 8, r.begin() + at + 8 + bytes);
        } else {
            uint32_t off = U32(r, at + 8);
            EXPECT_LE(off + bytes, r.size()) << "item " << type;
            if (off + bytes <= r.size()) it.bytes.assign(r.begin() + off, r.begin() + off + bytes);
        }
        out.emplace(type, it);
    }
    return out;
}

std::vector<uint8_t> Expected(const VirtualCamera& cam, const kvx::vcam::PictureFile& f,
                              uint64_t offset, size_t n) {
    std::vector<uint8_t> v(n);
    VirtualCamera::FillPictureBytes(cam.Options().seed, f.objectId, offset, v.data(), n);
    return v;
}

struct ListEntry {
    uint32_t objectId = 0, size = 0;
    std::string format, name;
    std::vector<uint8_t> multi;  // 28 bytes
};

// Second form, with every offset checked against the record.
std::vector<ListEntry> SecondForm(const std::vector<uint8_t>& r) {
    std::vector<ListEntry> out;
    uint32_t n = U32(r, 4);
    auto text = [&](uint32_t off) {
        std::string s;
        for (size_t i = off; i < r.size() && r[i]; ++i) s.push_back(char(r[i]));
        EXPECT_LT(off, r.size());
        return s;
    };
    for (uint32_t i = 0; i < n && 8 + 4 * size_t(i + 1) <= r.size(); ++i) {
        uint32_t E = U32(r, 8 + 4 * i);
        EXPECT_LE(E + 52, r.size());
        if (E + 52 > r.size()) break;
        ListEntry e;
        e.objectId = U32(r, E);
        e.size = U32(r, E + 4);
        e.name = text(U32(r, E + 12));
        e.format = text(E + 16);
        e.multi.assign(r.begin() + E + 24, r.begin() + E + 52);
        out.push_back(e);
    }
    return out;
}

// Rule D of the second form: the check byte is just past the reported size,
// where the host's cleared buffer holds 0.
bool ListSecondFormCheck(const std::vector<uint8_t>& r) {
    return Sum8(r, 0, r.size()) == 0;
}

using VcamTest = vcamtest::VcamFixture;

TEST_F(VcamTest, RegistrationFollowsPlugAndUnplug) {
    VirtualCameraOptions o = Options();
    o.instance = "KVXTEST1";
    o.model = 130;
    auto cam = std::make_unique<VirtualCamera>(o);
    ASSERT_TRUE(cam->Start());
    auto regs = kvx::device::ReadRegistrations(dir_);
    ASSERT_EQ(regs.size(), 1u);
    EXPECT_EQ(regs[0].vendor, "VID_4E7A");
    EXPECT_EQ(regs[0].product, "PID_5E30");
    EXPECT_EQ(regs[0].type, 0x00020000u);
    EXPECT_EQ(regs[0].pnpId.value_or(""), "USB\\VID_4E7A&PID_5E30\\KVXTEST1");
    EXPECT_EQ(regs[0].driver.rfind("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\", 0), 0u);
    EXPECT_EQ(regs[0].socket, cam->SocketPath());
    EXPECT_TRUE(fs::exists(cam->SocketPath()));

    cam->Unplug();
    EXPECT_TRUE(kvx::device::ReadRegistrations(dir_).empty());
    EXPECT_FALSE(fs::exists(cam->SocketPath()));
    ASSERT_TRUE(cam->Plug());
    EXPECT_EQ(kvx::device::ReadRegistrations(dir_).size(), 1u);
    cam.reset();  // the destructor unplugs
    EXPECT_TRUE(kvx::device::ReadRegistrations(dir_).empty());

    // Two cameras side by side get different driver ids; the overrides that
    // tests of device skipping need reach the registration.
    VirtualCameraOptions a = Options(), b = Options();
    b.model = 110;
    b.deviceName.reset();
    b.deviceType = 0x00020001;
    b.pnpId = "USB\\VID_4E7A&PID_5D10\\storage";
    VirtualCamera ca(a), cb(b);
    ASSERT_TRUE(ca.Start());
    ASSERT_TRUE(cb.Start());
    regs = kvx::device::ReadRegistrations(dir_);
    ASSERT_EQ(regs.size(), 2u);
    EXPECT_NE(regs[0].driver, regs[1].driver);
    EXPECT_NE(regs[0].instance, regs[1].instance);
    const auto& r110 = regs[0].product == "PID_5D10" ? regs[0] : regs[1];
    EXPECT_FALSE(r110.name.has_value());
    EXPECT_EQ(r110.type, 0x00020001u);
    EXPECT_EQ(r110.pnpId.value_or(""), "USB\\VID_4E7A&PID_5D10\\storage");
}

TEST_F(VcamTest, StopReturnsWhileAHostHoldsTheConnection) {
    VirtualCamera cam(Options());
    Host h;
    Open(cam, h);
    ASSERT_EQ(h.Read(0x9011).code, kOk);
    cam.Stop();  // the host never hangs up
    EXPECT_FALSE(cam.IsPlugged());
    EXPECT_FALSE(h.Read(0x9011).io);
}

TEST_F(VcamTest, SecondHostIsToldBusyAndTheFirstGoesOn) {
    VirtualCamera cam(Options());
    Host h;
    Open(cam, h);
    Host other;
    ASSERT_TRUE(other.Connect(cam.SocketPath()));
    Answer busy = other.Plain(0x1002, {1});
    EXPECT_TRUE(busy.io);
    EXPECT_EQ(busy.code, 0x2019);
    EXPECT_EQ(h.Read(0x9011).code, kOk);
    EXPECT_EQ(other.Read(0x9010, {0}).code, 0x2019);
    EXPECT_EQ(h.Read(0x9010, {0}).data.size(), 53u);
}

TEST_F(VcamTest, RecordsAreWellFormedWithChecksums) {
    for (int major : {3, 4}) {
        SCOPED_TRACE(major);
        VirtualCameraOptions o = Options();
        o.protocolMajor = uint16_t(major);
        o.protocolMinor = major == 3 ? 2 : 0;
        o.name = "VARNO TEST";
        VirtualCamera cam(o);
        Host h;
        Open(cam, h);

        Answer config = h.Read(0x9010, {0});
        ASSERT_EQ(config.code, kOk);
        ASSERT_TRUE(config.hadData);
        ASSERT_EQ(config.data.size(), 53u);
        EXPECT_TRUE(RuleA(config.data, 53));
        EXPECT_EQ(config.data[1] & 0x40, 0x40);
        EXPECT_STREQ(reinterpret_cast<const char*>(config.data.data() + 2), "VARNO TEST");
        EXPECT_EQ(U16(config.data, 48), major);
        EXPECT_EQ(U16(config.data, 50), o.protocolMinor);

        Answer status = h.Read(0x9011);
        ASSERT_EQ(status.data.size(), 10u);
        EXPECT_TRUE(RuleA(status.data, 10));
        EXPECT_EQ(int16_t(U16(status.data, 1)), 1);  // standby

        const size_t sizes[] = {22, 20, 21, 10, 34, 38};
        const uint16_t ops[] = {0x9012, 0x9013, 0x9014, 0x9023, 0x9027, 0x9029};
        for (int g = 0; g < 6; ++g) {
            Answer a = h.Read(ops[g]);
            ASSERT_EQ(a.code, kOk);
            EXPECT_EQ(a.data.size(), sizes[g]) << "group " << g + 1;
            EXPECT_TRUE(RuleC(a.data, sizes[g], false)) << "group " << g + 1;
            EXPECT_EQ(a.data.back(), Sum8(a.data, 0, a.data.size() - 1));
        }
        const size_t setSizes[] = {39, 57, 112, 102};
        const uint16_t setOps[] = {0x901A, 0x9025, 0x9026, 0x902E};
        for (int v = 0; v < 4; ++v) {
            Answer a = h.Read(setOps[v]);
            ASSERT_TRUE(a.io);
            bool has = v < (major == 4 ? 4 : 3);
            if (has) {
                EXPECT_EQ(a.code, kOk);
                EXPECT_EQ(a.data.size(), setSizes[v]);
                EXPECT_TRUE(RuleC(a.data, setSizes[v], true)) << "version " << v + 1;
            } else {
                EXPECT_EQ(a.code, 0x2005);  // not this camera's generation
            }
        }
        Answer capture = h.Read(0x9015, {4});
        ASSERT_EQ(capture.data.size(), 8u);
        EXPECT_TRUE(RuleB(capture.data));
        EXPECT_EQ(U16(capture.data, 4), 0);  // no such picture

        if (major == 3) {
            // Picture ids 24 and up land in the byte the status check leaves out.
            for (int i = 0; i < 26; ++i) cam.TakePictureOnBody(2);
            Answer busy = h.Read(0x9011);
            EXPECT_NE(busy.data.at(8), 0);
            EXPECT_TRUE(RuleA(busy.data, 10));
        }

        Answer unknown = h.Read(0x9099);
        EXPECT_TRUE(unknown.io);
        EXPECT_EQ(unknown.code, 0x2005);
    }
}

TEST_F(VcamTest, OperationsNeedASessionAndAreRecorded) {
    VirtualCameraOptions o = Options();
    o.traceFile = dir_ + "/trace.txt";
    VirtualCamera cam(o);
    ASSERT_TRUE(cam.Start());
    Host h;
    ASSERT_TRUE(h.Connect(cam.SocketPath()));
    EXPECT_EQ(h.Read(0x9011).code, 0x2003);
    ASSERT_TRUE(h.OpenSession());
    EXPECT_EQ(h.Plain(0x1002, {1}).code, 0x201E);
    auto set =
        WithChecksum({3, 0x00, 0x20, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(h.Write(0x9016, set).code, 0x201D);  // bracketing frame counter is the camera's
    auto ops = cam.ReceivedOperations();
    ASSERT_EQ(ops.size(), 4u);
    EXPECT_EQ(ops[3].code, 0x9016);
    EXPECT_EQ(ops[3].data, set);
    cam.Stop();
    std::ifstream in(o.traceFile);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "op=0x1002 params=0x00000001 data=");
    std::string hex;
    for (uint8_t b : set) {
        char x[3];
        std::snprintf(x, sizeof x, "%02X", b);
        hex += x;
    }
    EXPECT_EQ(lines[3], "op=0x9016 params= data=" + hex);
}

TEST_F(VcamTest, BadChecksumFaultBreaksOnlyTheNamedRecord) {
    struct Case {
        const char* record;
        uint16_t op;
        size_t size;
        char rule;
    };
    const Case cases[] = {{"config", 0x9010, 53, 'A'},       {"status", 0x9011, 10, 'A'},
                          {"capture", 0x9015, 8, 'B'},       {"DataGroup3", 0x9014, 21, 'C'},
                          {"CanSetInfo4", 0x902E, 102, 'W'}, {"list", 0x902D, 0, 'D'}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record);
        for (bool bad : {false, true}) {
            VirtualCameraOptions o = Options();
            if (bad) o.badChecksum = {c.record};
            VirtualCamera cam(o);
            Host h;
            Open(cam, h);
            if (c.rule == 'D') cam.TakePictureOnBody(2);
            Answer a = h.Read(c.op, {0});
            ASSERT_EQ(a.code, kOk);
            bool ok = c.rule == 'A'   ? RuleA(a.data, c.size)
                      : c.rule == 'B' ? RuleB(a.data)
                      : c.rule == 'C' ? RuleC(a.data, c.size, false)
                      : c.rule == 'W' ? RuleC(a.data, c.size, true)
                                      : ListSecondFormCheck(a.data);
            EXPECT_EQ(ok, !bad);
            if (c.rule != 'D') {  // the other records stay right
                EXPECT_TRUE(RuleA(h.Read(c.op == 0x9011 ? 0x9010 : 0x9011, {0}).data,
                                  c.op == 0x9011 ? 53 : 10));
            }
        }
    }
}

TEST_F(VcamTest, HostWriteChangesFieldAndRaisesChangeFlag3x) {
    VirtualCameraOptions o = Options();
    o.protocolMajor = 3;
    VirtualCamera cam(o);
    Host h;
    Open(cam, h);
    h.Read(0x9011);  // settle what the link start raised
    // DataGroup2 exposure mode A, as the program writes a one-byte value.
    auto rec = WithChecksum({3, 0x04, 0x00, 2, 0});
    ASSERT_EQ(h.Write(0x9017, rec).code, kOk);
    EXPECT_EQ(cam.DataGroupField(2, 0x04, 0), std::vector<uint8_t>{2});
    Answer s = h.Read(0x9011);
    uint16_t flags = U16(s.data, 3);
    EXPECT_EQ(flags & 0x0002, 0x0002);
    EXPECT_EQ(flags & 0x0200, 0x0200);  // program shift is no longer offered: settable info changed
    EXPECT_EQ(U16(h.Read(0x9011).data, 3), 0);  // reported once
    Answer g2 = h.Read(0x9013);
    EXPECT_EQ(g2.data[5], 2);  // full record: exposure mode at its full offset

    // Values the camera does not offer, malformed requests and read-only fields are refused.
    EXPECT_EQ(h.Write(0x9017, WithChecksum({3, 0x04, 0x00, 64, 0})).code, 0x201D);  // C3
    EXPECT_EQ(h.Write(0x9017, WithChecksum({3, 0x05, 0x00, 1, 0})).code, 0x201D);   // two fields
    auto badSum = WithChecksum({3, 0x04, 0x00, 1, 0});
    badSum.back() ^= 1;
    EXPECT_EQ(h.Write(0x9017, badSum).code, 0x201D);
    EXPECT_EQ(cam.DataGroupField(2, 0x04, 0), std::vector<uint8_t>{2});

    // Extended form into a multi-byte field: colour temperature 6500 K.
    std::vector<uint8_t> ct(34, 0);
    ct[0] = 4, ct[1] = 0x02, ct[3] = 0x64, ct[4] = 0x19;
    ASSERT_EQ(h.Write(0x9028, WithChecksum(ct)).code, kOk);
    EXPECT_EQ(cam.DataGroupField(5, 0x02, 0), (std::vector<uint8_t>{0x64, 0x19}));
    // Program shift moves relative to its current value.
    std::vector<uint8_t> shift(22, 0);
    shift[0] = 3, shift[1] = 0x04, shift[3] = 0xFF;
    ASSERT_EQ(h.Write(0x9016, WithChecksum(shift)).code, kOk);
    ASSERT_EQ(h.Write(0x9016, WithChecksum(shift)).code, kOk);
    EXPECT_EQ(cam.DataGroupField(1, 0x04, 0), std::vector<uint8_t>{0xFE});
    EXPECT_EQ(U16(h.Read(0x9011).data, 3), 0x0001 | 0x0080);

    // A change on the body raises the flag the same way.
    ASSERT_TRUE(cam.SetDataGroupFieldOnBody(3, 0x10, 0, {4}));
    EXPECT_EQ(U16(h.Read(0x9011).data, 3), 0x0004);
    EXPECT_EQ(h.Read(0x9014).data[7], 4);
}

TEST_F(VcamTest, StatusRecord2CarriesChangedGroupsAndSettableInfo) {
    VirtualCamera cam(Options());
    Host h;
    Open(cam, h);
    Answer first = h.Read(0x902C, {8, 63, 0});
    ASSERT_EQ(first.code, kOk);
    ASSERT_LE(first.data.size(), 3080u);
    auto items = Items(first.data);
    ASSERT_EQ(items.count(2), 1u);
    EXPECT_EQ(U16(items.find(2)->second.bytes, 0), 1);
    ASSERT_EQ(items.count(0x902E), 1u);  // settable info after the link opens
    const Item& csi = items.find(0x902E)->second;
    EXPECT_EQ(csi.count, 99u);
    // Copied after a 16-bit length as the program does, it is the record the
    // single read gives, less its check byte.
    std::vector<uint8_t> rebuilt{uint8_t(csi.count), uint8_t(csi.count >> 8)};
    rebuilt.insert(rebuilt.end(), csi.bytes.begin(), csi.bytes.end());
    std::vector<uint8_t> single = h.Read(0x902E).data;
    EXPECT_EQ(rebuilt, std::vector<uint8_t>(single.begin(), single.end() - 1));

    EXPECT_EQ(Items(h.Read(0x902C, {8, 63, 0}).data).size(), 1u);  // only the state now

    // Two fields of DataGroup5 change (one on the body, one by the host): the
    // item carries just those, packed in bit order.
    ASSERT_TRUE(cam.SetDataGroupFieldOnBody(5, 0x08, 0, {4}));
    std::vector<uint8_t> fp(34, 0);
    fp[0] = 6, fp[2] = 0x08, fp[3] = 1, fp[4] = 100, fp[5] = 60, fp[6] = 3;
    ASSERT_EQ(h.Write(0x9028, WithChecksum(fp)).code, kOk);
    items = Items(h.Read(0x902C, {8, 63, 0}).data);
    ASSERT_EQ(items.count(0x9027), 1u);
    EXPECT_EQ(items.find(0x9027)->second.bytes,
              (std::vector<uint8_t>{0x08, 0x08, 4, 1, 100, 60, 3}));
    EXPECT_EQ(items.count(0x902E), 0u);

    // A one-byte field fits in the value itself.
    ASSERT_TRUE(cam.SetDataGroupFieldOnBody(4, 0x20, 0, {2}));
    items = Items(h.Read(0x902C, {8, 63, 0}).data);
    ASSERT_EQ(items.count(0x9023), 1u);
    EXPECT_EQ(items.find(0x9023)->second.bytes, (std::vector<uint8_t>{0x20, 0x00, 2}));
}

// The whole walk of a picture bound for the computer, for both list forms.
TEST_F(VcamTest, ShutterReleaseWalksCaptureStatus) {
    for (int major : {3, 4}) {
        SCOPED_TRACE(major);
        VirtualCameraOptions o = Options();
        o.protocolMajor = uint16_t(major);
        o.pictureBytes = 2'500'000;  // two pieces
        VirtualCamera cam(o);
        Host h;
        Open(cam, h);
        h.Read(major == 4 ? 0x902C : 0x9011, {8, 63, 0});

        ASSERT_EQ(h.Write(0x901B, WithChecksum({2, 1, 1, 0})).code, kOk);
        int id = -1;
        if (major == 3) {
            Answer s = h.Read(0x9011);
            EXPECT_EQ(U16(s.data, 3) & 0x0008, 0x0008);
            uint32_t bits = U32(s.data, 5);
            ASSERT_NE(bits, 0u);
            id = __builtin_ctz(bits);
            EXPECT_EQ(bits, 1u << id);
        } else {
            auto items = Items(h.Read(0x902C, {8, 63, 0}).data);
            ASSERT_EQ(items.count(5), 1u);
            ASSERT_EQ(items.find(5)->second.count, 1u);
            id = U16(items.find(5)->second.bytes, 0);
        }
        ASSERT_GE(id, 0);
        ASSERT_LT(id, 32);
        Answer cs = h.Read(0x9015, {uint32_t(id)});
        ASSERT_TRUE(RuleB(cs.data));
        EXPECT_EQ(cs.data[1], id);
        EXPECT_EQ(U16(cs.data, 4), 5);
        EXPECT_EQ(cs.data[6] & 0x02, 0x02);

        auto files = cam.ExpectedFiles(1);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].name, "VRN_0001.JPG");
        uint32_t objectId = 0;
        if (major == 3) {
            Answer list = h.Read(0x9020);
            const auto& r = list.data;
            ASSERT_GE(r.size(), 2u);
            ASSERT_EQ(r[0], 1);
            EXPECT_EQ(U16(r, 1), 0x3801);
            std::string name(reinterpret_cast<const char*>(r.data() + 7));
            EXPECT_EQ(name, files[0].name);
            size_t n = 1 + 15 + name.size();  // accumulated entry length
            ASSERT_EQ(r.size(), n + 1);
            EXPECT_EQ(r[n], Sum8(r, 0, n));
            EXPECT_EQ(U32(r, 8 + name.size()), files[0].size);
            objectId = U32(r, 12 + name.size());
        } else {
            Answer list = h.Read(0x902D);
            EXPECT_TRUE(ListSecondFormCheck(list.data));
            auto entries = SecondForm(list.data);
            ASSERT_EQ(entries.size(), 1u);
            EXPECT_EQ(entries[0].format, "JPG");
            EXPECT_EQ(entries[0].name, files[0].name);
            EXPECT_EQ(entries[0].size, files[0].size);
            objectId = entries[0].objectId;
        }
        ASSERT_EQ(objectId, files[0].objectId);

        // Half the file is not enough.
        Answer piece = h.Read(0x9022, {objectId, 0, 0x200000});
        ASSERT_EQ(piece.code, kOk);
        EXPECT_EQ(cam.CaptureStatus(id)->first, 5);
        auto bytes = ReadWhole(h, objectId, files[0].size);
        EXPECT_TRUE(bytes == Expected(cam, files[0], 0, files[0].size));

        uint16_t code = 0;
        if (major == 3) {
            Answer s = h.Read(0x9011);
            EXPECT_EQ(U32(s.data, 5), 1u << id);
        } else {
            auto items = Items(h.Read(0x902C, {8, 63, 0}).data);
            ASSERT_EQ(items.count(5), 1u);
            EXPECT_EQ(U16(items.find(5)->second.bytes, 0), id);
        }
        cs = h.Read(0x9015, {uint32_t(id)});
        EXPECT_TRUE(RuleB(cs.data));
        code = U16(cs.data, 4);
        EXPECT_EQ(code, 0x8002);
        EXPECT_EQ(cs.data[6] & 0x02, 0);

        ASSERT_EQ(h.Write(0x901C, std::vector<uint8_t>(8, 0), {uint32_t(id)}).code, kOk);
        EXPECT_EQ(U16(h.Read(0x9015, {uint32_t(id)}).data, 4), 0);
        EXPECT_TRUE(cam.PictureIds().empty());
        EXPECT_EQ(h.Read(0x9022, {objectId, 0, 100}).code, 0x2009);  // gone with its entry
    }
}

TEST_F(VcamTest, PartialReadsHonourOffsetSizeAndCap) {
    VirtualCameraOptions o = Options();
    o.pictureBytes = 5'000'000;
    VirtualCamera cam(o);
    Host h;
    Open(cam, h);
    ASSERT_EQ(cam.TakePictureOnBody(2).size(), 1u);
    auto f = cam.ExpectedFiles(1).at(0);
    struct Case {
        uint32_t offset, size, expectLen;
        bool more;
    };
    const Case cases[] = {
        {0, 1000, 1000, true},
        {12345, 777, 777, true},
        {1, 0x300000, 0x200000, true},       // capped at 2 MiB
        {4'999'000, 0x200000, 1000, false},  // the tail
        {4'999'999, 1, 1, false},
        {5'000'000, 100, 0, false},  // at the end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        Answer a = h.Read(0x9022, {f.objectId, c.offset, c.size});
        ASSERT_EQ(a.code, kOk);
        ASSERT_EQ(a.data.size(), 4 + size_t(c.expectLen) + 2);
        ASSERT_EQ(U32(a.data, 0), c.expectLen);
        EXPECT_EQ(U16(a.data, 4 + c.expectLen) != 0, c.more);
        std::vector<uint8_t> got(a.data.begin() + 4, a.data.begin() + 4 + c.expectLen);
        EXPECT_TRUE(got == Expected(cam, f, c.offset, c.expectLen));
    }
    EXPECT_EQ(h.Read(0x9022, {f.objectId, 5'000'001, 10}).code, 0x201D);
    EXPECT_EQ(h.Read(0x9022, {f.objectId + 5, 0, 10}).code, 0x2009);
    EXPECT_EQ(h.Read(0x9021, {f.objectId, 0, 10}).code, kOk);
    // Skipping ahead does not count as reading the file.
    EXPECT_EQ(cam.CaptureStatus(0)->first, 5);

    // Random access of the expected bytes agrees with one long fill.
    std::vector<uint8_t> whole(64), part(13);
    VirtualCamera::FillPictureBytes(9, 77, 0, whole.data(), whole.size());
    VirtualCamera::FillPictureBytes(9, 77, 21, part.data(), part.size());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + 21));
    VirtualCamera::FillPictureBytes(10, 77, 21, part.data(), part.size());
    EXPECT_FALSE(std::equal(part.begin(), part.end(), whole.begin() + 21));
}

TEST_F(VcamTest, RawPlusJpegNeedsBothFiles) {
    VirtualCameraOptions o = Options();
    o.picture = PictureKind::RawJpeg;
    VirtualCamera cam(o);
    Host h;
    Open(cam, h);
    ASSERT_EQ(h.Write(0x901B, WithChecksum({2, 2, 1, 0})).code, kOk);
    auto entries = SecondForm(h.Read(0x902D).data);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].format, "Q7F");
    EXPECT_EQ(entries[0].name, "VRN_0001.Q7F");
    EXPECT_EQ(entries[1].format, "JPG");
    EXPECT_EQ(entries[1].name, "VRN_0001.JPG");
    ReadWhole(h, entries[0].objectId, entries[0].size);
    EXPECT_EQ(cam.CaptureStatus(0)->first, 5);
    ReadWhole(h, entries[1].objectId, entries[1].size);
    EXPECT_EQ(cam.CaptureStatus(0)->first, 0x8002);
}

TEST_F(VcamTest, Q7iPartsComeAsSeparateLists) {
    VirtualCameraOptions o = Options();
    o.picture = PictureKind::Q7i;
    o.q7iParts = 3;
    o.pictureBytes = 5000;
    VirtualCamera cam(o);
    Host h;
    Open(cam, h);
    h.Read(0x902C, {8, 63, 0});
    ASSERT_EQ(cam.TakePictureOnBody(1).size(), 1u);
    auto files = cam.ExpectedFiles(1);
    ASSERT_EQ(files.size(), 3u);
    for (uint16_t p = 1; p <= 3; ++p) {
        SCOPED_TRACE(p);
        // Each part is announced through the picture id list.
        auto items = Items(h.Read(0x902C, {8, 63, 0}).data);
        ASSERT_EQ(items.count(5), 1u);
        Answer list = h.Read(0x902D);
        EXPECT_TRUE(ListSecondFormCheck(list.data));
        auto entries = SecondForm(list.data);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].format, "Q7I");
        EXPECT_EQ(entries[0].objectId, files[p - 1].objectId);
        const auto& m = entries[0].multi;
        EXPECT_EQ(U16(m, 0), p);
        EXPECT_EQ(U16(m, 2), 3);
        uint32_t a = U32(m, 8), b = U32(m, 16), tlen = U32(m, 24);
        EXPECT_EQ(a + b, 100u);
        if (p == 3) {
            uint32_t hoff = U32(m, 4), toff = U32(m, 20);
            ASSERT_LE(hoff + a + b, list.data.size());
            ASSERT_LE(toff + tlen, list.data.size());
            std::vector<uint8_t> header(list.data.begin() + hoff, list.data.begin() + hoff + a + b);
            std::vector<uint8_t> want = files[2].headerA;
            want.insert(want.end(), files[2].headerB.begin(), files[2].headerB.end());
            EXPECT_EQ(header, want);
            EXPECT_EQ(
                std::vector<uint8_t>(list.data.begin() + toff, list.data.begin() + toff + tlen),
                files[2].trailer);
        }
        auto bytes = ReadWhole(h, entries[0].objectId, entries[0].size);
        EXPECT_TRUE(bytes == Expected(cam, files[p - 1], 0, files[p - 1].size));
        EXPECT_EQ(cam.CaptureStatus(0)->first, p < 3 ? 5 : 0x8002);
    }
}

TEST_F(VcamTest, DestinationFocusAndDriveModes) {
    VirtualCameraOptions o = Options();
    o.destination = 1;  // card only
    o.remainingShots = 2;
    VirtualCamera cam(o);
    Host h;
    Open(cam, h);
    auto ids = cam.TakePictureOnBody(2);
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(cam.CaptureStatus(ids[0]), std::make_pair(uint16_t(0x8002), uint8_t(0)));
    EXPECT_EQ(cam.DataGroupField(1, 0, 0x02), (std::vector<uint8_t>{1, 0}));
    EXPECT_TRUE(SecondForm(h.Read(0x902D).data).empty());  // nothing for the computer

    // The program sends both: ready for the computer and one less on the card.
    std::vector<uint8_t> dest(21, 0);
    dest[0] = 3, dest[2] = 0x80, dest[3] = 3;
    ASSERT_EQ(h.Write(0x9018, WithChecksum(dest)).code, kOk);
    EXPECT_EQ(cam.DataGroupField(3, 0, 0x80), std::vector<uint8_t>{3});
    ids = cam.TakePictureOnBody(1);
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(cam.CaptureStatus(ids[0]), std::make_pair(uint16_t(5), uint8_t(2)));
    EXPECT_EQ(cam.DataGroupField(1, 0, 0x02), (std::vector<uint8_t>{0, 0}));
    ids = cam.TakePictureOnBody(2);  // card full
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(cam.CaptureStatus(ids[0])->first, 0x6002);
    EXPECT_EQ(cam.PicturesTaken(), 2u);

    // Focus only takes nothing; continuous takes three with distinct ids.
    VirtualCameraOptions c = Options();
    VirtualCamera cont(c);
    ASSERT_TRUE(cont.Start());
    EXPECT_TRUE(cont.TakePictureOnBody(3).empty());
    ASSERT_TRUE(cont.SetDataGroupFieldOnBody(2, 0x01, 0, {2}));
    ids = cont.TakePictureOnBody(2);
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_NE(ids[1], ids[2]);
    ASSERT_TRUE(cont.SetDataGroupFieldOnBody(2, 0x01, 0, {6}));  // bracketing, 5 shots
    ASSERT_TRUE(cont.SetDataGroupFieldOnBody(1, 0x80, 0, {4}));
    EXPECT_EQ(cont.TakePictureOnBody(2).size(), 5u);
    EXPECT_EQ(cont.ExpectedFiles(8).at(0).name, "VRN_0008.JPG");

    VirtualCameraOptions f = Options();
    f.afFails = true;
    VirtualCamera blur(f);
    Host hb;
    Open(blur, hb);
    ASSERT_EQ(hb.Write(0x901B, WithChecksum({2, 1, 1, 0})).code, kOk);
    auto pics = blur.PictureIds();
    ASSERT_EQ(pics.size(), 1u);
    EXPECT_EQ(blur.CaptureStatus(pics[0])->first, 0x6001);
    EXPECT_EQ(blur.PicturesTaken(), 0u);
    EXPECT_TRUE(SecondForm(hb.Read(0x902D).data).empty());
}

TEST_F(VcamTest, SelfTimerReleasesLater) {
    VirtualCamera cam(Options());
    Host h;
    Open(cam, h);
    ASSERT_TRUE(cam.SetDataGroupFieldOnBody(2, 0x01, 0, {3}));  // 2 s
    ASSERT_EQ(h.Write(0x901B, WithChecksum({2, 2, 1, 0})).code, kOk);
    EXPECT_TRUE(cam.PictureIds().empty());
    for (int i = 0; i < 100 && cam.PictureIds().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(cam.PictureIds().size(), 1u);
    EXPECT_EQ(cam.CaptureStatus(cam.PictureIds()[0])->first, 5);
}

TEST_F(VcamTest, FailPieceFailsThenTheSameRequestSucceeds) {
    VirtualCameraOptions o = Options();
    o.failPieces = {{2, 2}};
    VirtualCamera cam(o);
    Host h;
    Open(cam, h);
    cam.TakePictureOnBody(2);
    auto f = cam.ExpectedFiles(1).at(0);
    EXPECT_EQ(h.Read(0x9022, {f.objectId, 0, 1000}).code, kOk);
    for (int attempt = 0; attempt < 2; ++attempt) {
        Answer a = h.Read(0x9022, {f.objectId, 1000, 1000});
        EXPECT_TRUE(a.io);
        EXPECT_EQ(a.code, 0x2019);
        EXPECT_TRUE(a.data.empty());
    }
    Answer ok = h.Read(0x9022, {f.objectId, 1000, 1000});
    ASSERT_EQ(ok.code, kOk);
    EXPECT_TRUE(std::vector<uint8_t>(ok.data.begin() + 4, ok.data.begin() + 1004) ==
                Expected(cam, f, 1000, 1000));
}

TEST_F(VcamTest, VanishesInTheMiddleOfATransfer) {
    VirtualCameraOptions o = Options();
    o.vanishAfterBytes = 1500;
    VirtualCamera cam(o);
    Host h;
    Open(cam, h);
    cam.TakePictureOnBody(2);
    auto f = cam.ExpectedFiles(1).at(0);
    EXPECT_EQ(h.Read(0x9022, {f.objectId, 0, 1000}).code, kOk);
    Answer cut = h.Read(0x9022, {f.objectId, 1000, 1000});
    EXPECT_FALSE(cut.io);
    for (int i = 0; i < 100 && cam.IsPlugged(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(cam.IsPlugged());
    EXPECT_TRUE(kvx::device::ReadRegistrations(dir_).empty());
    Host again;
    EXPECT_FALSE(again.Connect(cam.SocketPath()));
    EXPECT_EQ(cam.CaptureStatus(0)->first, 5);  // the picture was never delivered

    // Plugged in again, the same picture can be read to the end.
    ASSERT_TRUE(cam.Plug());
    EXPECT_EQ(kvx::device::ReadRegistrations(dir_).size(), 1u);
    Host later;
    ASSERT_TRUE(later.Connect(cam.SocketPath()));
    ASSERT_TRUE(later.OpenSession());
    auto items = Items(later.Read(0x902C, {8, 63, 0}).data);
    ASSERT_EQ(items.count(5), 1u);  // the waiting picture is announced again
    EXPECT_EQ(U16(items.find(5)->second.bytes, 0), 0);
    auto bytes = ReadWhole(later, f.objectId, f.size);
    EXPECT_TRUE(bytes == Expected(cam, f, 0, f.size));
    EXPECT_EQ(cam.CaptureStatus(0)->first, 0x8002);
}

TEST_F(VcamTest, LiveViewFramesMove) {
    for (bool small : {false, true}) {
        VirtualCameraOptions o = Options();
        if (small) o.liveWidth = 900, o.liveHeight = 600;
        VirtualCamera cam(o);
        Host h;
        Open(cam, h);
        Answer a = h.Read(0x902B), b = h.Read(0x902B);
        ASSERT_EQ(a.code, kOk);
        const auto& r = a.data;
        EXPECT_EQ(U16(r, 0x08), 1);
        uint32_t w = U16(r, 0x0E), ht = U16(r, 0x10);
        EXPECT_GE(w, 400u);
        EXPECT_LE(w, 1200u);
        EXPECT_GE(ht, 300u);
        EXPECT_LE(ht, 800u);
        EXPECT_EQ(U16(r, 0x12), small ? 900 : 1024);
        EXPECT_EQ(U16(r, 0x14), small ? 600 : 680);
        EXPECT_LE(U32(r, 0x18) + w * ht, r.size());
        EXPECT_LE(U32(r, 0x1C) + (w / 2) * (ht / 2), r.size());
        EXPECT_LE(U32(r, 0x20) + (w / 2) * (ht / 2), r.size());
        EXPECT_NE(a.data, b.data);
    }
    VirtualCameraOptions old = Options();
    old.protocolMajor = 3;
    VirtualCamera cam3(old);
    Host h3;
    Open(cam3, h3);
    EXPECT_EQ(h3.Read(0x902B).code, 0x2005);
}

TEST_F(VcamTest, ExecutableRegistersAndUnplugsOnSigterm) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::string d = dir_;
        ::execl(KVX_VCAM_EXE, KVX_VCAM_EXE, "--device-dir", d.c_str(), "--instance", "KVXEXE01",
                "--protocol", "3.1", "--name", "EXE CAM", "--file-base", "../x\x01", nullptr);
        ::_exit(127);
    }
    std::string file = dir_ + "/KVXEXE01.device";
    for (int i = 0; i < 500 && !fs::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(file));
    auto regs = kvx::device::ReadRegistrations(dir_);
    ASSERT_EQ(regs.size(), 1u);
    Host h;
    ASSERT_TRUE(h.Connect(regs[0].socket));
    ASSERT_TRUE(h.OpenSession());
    Answer config = h.Read(0x9010, {0});
    EXPECT_STREQ(reinterpret_cast<const char*>(config.data.data() + 2), "EXE CAM");
    EXPECT_EQ(U16(config.data, 48), 3);
    EXPECT_EQ(U16(config.data, 50), 1);
    ASSERT_EQ(h.Write(0x901B, WithChecksum({2, 2, 1, 0})).code, kOk);
    Answer list = h.Read(0x9020);
    ASSERT_GE(list.data.size(), 8u);
    EXPECT_STREQ(reinterpret_cast<const char*>(list.data.data() + 7),
                 "../x\x01"
                 "0001.JPG");
    h.Close();

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(kvx::device::ReadRegistrations(dir_).empty());
}

TEST(VcamCommandLine, OptionsAndErrors) {
    VirtualCameraOptions o;
    std::string msg;
    const char* argv[] = {"kvx-vcam", "--model",        "110",     "--picture",
                          "q7i",      "--q7i-parts",    "4",       "--fail-piece",
                          "3:2",      "--bad-checksum", "list",    "--vanish-after-bytes",
                          "4096",     "--live-size",    "900x600", "--generation",
                          "2",        "--af-fails",     "--seed",  "7"};
    ASSERT_TRUE(kvx::vcam::ParseCommandLine(int(std::size(argv)), const_cast<char**>(argv), o, msg))
        << msg;
    EXPECT_EQ(o.model, 110);
    EXPECT_EQ(o.picture, PictureKind::Q7i);
    EXPECT_EQ(o.q7iParts, 4);
    ASSERT_EQ(o.failPieces.size(), 1u);
    EXPECT_EQ(o.failPieces[0].nth, 3u);
    EXPECT_EQ(o.failPieces[0].times, 2u);
    EXPECT_EQ(o.badChecksum, std::vector<std::string>{"list"});
    EXPECT_EQ(o.vanishAfterBytes.value_or(0), 4096u);
    EXPECT_EQ(o.liveWidth, 900);
    EXPECT_EQ(o.generation, 2);
    EXPECT_TRUE(o.afFails);
    EXPECT_EQ(o.seed, 7u);

    // Bytes made once, after every option is known (the seed comes later
    // here): the first picture's own bytes, and never more than 64 MiB.
    for (const char* size : {"5000", "200000000"}) {
        VirtualCameraOptions c;
        const char* once[] = {"x", "--picture-bytes", size, "--content-once", "--seed", "7"};
        ASSERT_TRUE(kvx::vcam::ParseCommandLine(6, const_cast<char**>(once), c, msg)) << msg;
        ASSERT_TRUE(c.fileContent);
        const size_t n = std::min<size_t>(c.pictureBytes, size_t{64} << 20);
        ASSERT_EQ(c.fileContent->size(), n);
        std::vector<uint8_t> expected(n);
        VirtualCamera::FillPictureBytes(7, 0x101, 0, expected.data(), n);
        EXPECT_TRUE(*c.fileContent == expected) << size;
    }

    const std::vector<std::vector<const char*>> bad = {
        {"x", "--model", "120"},    {"x", "--protocol", "four"}, {"x", "--bad-checksum", "nope"},
        {"x", "--fail-piece", "3"}, {"x", "--bogus", "1"},       {"x", "--picture-bytes"}};
    for (const auto& b : bad) {
        VirtualCameraOptions p;
        msg.clear();
        EXPECT_FALSE(
            kvx::vcam::ParseCommandLine(int(b.size()), const_cast<char**>(b.data()), p, msg))
            << b[1];
        EXPECT_FALSE(msg.empty());
    }
    const char* help[] = {"x", "--help"};
    EXPECT_FALSE(kvx::vcam::ParseCommandLine(2, const_cast<char**>(help), o, msg));
    for (const char* opt :
         {"--model", "--protocol", "--name", "--device-dir", "--picture", "--picture-bytes",
          "--q7i-parts", "--file-base", "--trace", "--seed", "--live-size", "--af-fails",
          "--generation", "--fail-piece", "--bad-checksum", "--vanish-after-bytes", "--instance",
          "--content-once"})
        EXPECT_NE(msg.find(opt), std::string::npos) << opt;
}

}  // namespace
