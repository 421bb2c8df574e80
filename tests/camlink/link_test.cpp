// The camera link library against scripted cameras through real sockets.
// Built once per model group (KVX_TEST_MODEL_CODE 110 or 130).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <vector>

#include "camlink/device/ptp_container.h"
#include "link_fixture.h"

namespace kvx::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr KVX_HRESULT kEFail = KVX_E_FAIL;

PeerReply Data(Bytes payload, uint16_t code = 0x2001) {
    PeerReply r;
    r.data = std::move(payload);
    r.code = code;
    return r;
}

Bytes Pattern(size_t n, uint8_t seed = 1) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

void Put16(Bytes& b, size_t at, uint16_t v) {
    kvx::ptp::WriteU16(b.data() + at, v);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    kvx::ptp::WriteU32(b.data() + at, v);
}
void PutText(Bytes& b, size_t at, const char* s) {
    std::memcpy(b.data() + at, s, std::strlen(s) + 1);
}

// Second-form list: entries of 52 bytes with the name texts after them.
struct List2Entry {
    uint32_t objectId;
    uint32_t fileSize;
    const char* format;
    const char* name;
};
Bytes List2(const std::vector<List2Entry>& entries) {
    const size_t n = entries.size();
    const size_t table = 8 + 4 * n;
    Bytes b(table + 52 * n + 32 * n, 0);
    Put32(b, 4, static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i) {
        const size_t e = table + 52 * i;
        const size_t text = table + 52 * n + 32 * i;
        Put32(b, 8 + 4 * i, static_cast<uint32_t>(e));
        Put32(b, e, entries[i].objectId);
        Put32(b, e + 4, entries[i].fileSize);
        Put32(b, e + 12, static_cast<uint32_t>(text));
        std::memcpy(b.data() + e + 16, entries[i].format, 3);
        Put16(b, e + 20, 0x1111);
        Put16(b, e + 22, 0x2222);
        for (int k = 0; k < 28; ++k) b[e + 24 + k] = static_cast<uint8_t>(0x40 + k + i);
        PutText(b, text, entries[i].name);
    }
    return b;
}

TEST_F(LinkTest, OpensOwnCameraInASessionAndClosesItAtRelease) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    cam.On(0x9011, Data({8, 1, 0, 0, 0, 0, 0, 0, 0, 9}));

    EXPECT_EQ(InitPTPMode_Parts(), 0);
    EXPECT_EQ(ActiveInstance(), cam.Registration().driver);
    uint8_t status[KVX_CAM_STATUS_SIZE] = {};
    EXPECT_EQ(ZR4_GetCamStatus(status), 0);
    EXPECT_EQ(status[9], 9);

    EXPECT_EQ(ReleaseDevInfo_Parts(), 0);
    auto cmds = cam.Commands();
    ASSERT_EQ(cmds.size(), 3u);
    EXPECT_EQ(cmds[0].op, 0x1002);
    EXPECT_EQ(cmds[0].transactionId, 0u);
    EXPECT_EQ(cmds[0].params, std::vector<uint32_t>{1});
    EXPECT_EQ(cmds[1].op, 0x9011);
    EXPECT_EQ(cmds[1].transactionId, 1u);
    EXPECT_TRUE(cmds[1].params.empty());
    EXPECT_EQ(cmds[2].op, 0x1003);
    EXPECT_EQ(cmds[2].transactionId, 2u);
    EXPECT_EQ(ActiveInstance(), "<none>");

    // The threshold came from the ini beside the executable: level 4 lines are there.
    EXPECT_TRUE(Logged("---> InitPTPMode"));
    EXPECT_TRUE(Logged("<--- InitPTPMode, hr=0x0"));
}

TEST_F(LinkTest, ProductIdsOfOwnGroupBothOpen) {
    for (const char* product : {kOwnProduct, kOwnProduct2}) {
        auto& cam = AddCamera(std::string("P") + product, product);
        EXPECT_EQ(InitPTPMode_Parts(), 0) << product;
        EXPECT_EQ(ActiveInstance(), cam.Registration().driver);
        ReleaseDevInfo_Parts();
        peers_.clear();
    }
}

TEST_F(LinkTest, CameraOfOtherGroupIsNotOpened) {
    auto& other = AddCamera("OTHER", kOtherProduct);
    EXPECT_EQ(InitPTPMode_Parts(), 1);
    // The enumeration ran to its end: flag set, no id.
    EXPECT_EQ(ActiveInstance(), "");
    EXPECT_EQ(other.Connections(), 0);
    uint8_t out[64];
    EXPECT_EQ(ZR4_GetCamStatus(out), kEFail);
    EXPECT_TRUE(Logged("+++ error code = 30 at InitPTPMode +++"));
    EXPECT_TRUE(Logged("<--- InitPTPMode, hr=0x1"));
}

TEST_F(LinkTest, DevicesThatAreNotOurCamerasAreSkipped) {
    struct Case {
        const char* what;
        void (*edit)(kvx::device::VirtualRegistration&);
    };
    const Case cases[] = {
        {"storage in the PnP id, lower case",
         [](kvx::device::VirtualRegistration& r) { r.pnpId = "usb\\vid_4e7a&storage\\x"; }},
        {"device type of another subtype",
         [](kvx::device::VirtualRegistration& r) { r.type = 0x00020001; }},
        {"name that is not a string", [](kvx::device::VirtualRegistration& r) { r.name.reset(); }},
        {"device id that matches no driver",
         [](kvx::device::VirtualRegistration& r) { r.deviceId = "{other}\\0009"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto reg = CameraRegistration("ASKIP", kOwnProduct);
        c.edit(reg);
        auto& skipped = AddCamera(reg);
        EXPECT_EQ(InitPTPMode_Parts(), 1);
        EXPECT_EQ(ActiveInstance(), "");
        EXPECT_EQ(skipped.Connections(), 0);

        // A good camera after the skipped one is the one that opens.
        auto& good = AddCamera("ZGOOD", kOwnProduct);
        EXPECT_EQ(InitPTPMode_Parts(), 0);
        EXPECT_EQ(ActiveInstance(), good.Registration().driver);
        EXPECT_EQ(skipped.Connections(), 0);
        ReleaseDevInfo_Parts();
        peers_.clear();
    }
}

TEST_F(LinkTest, FirstOfTwoCamerasWins) {
    auto& first = AddCamera("CAMA", kOwnProduct);
    auto& second = AddCamera("CAMB", kOwnProduct2);
    EXPECT_EQ(InitPTPMode_Parts(), 0);
    EXPECT_EQ(ActiveInstance(), first.Registration().driver);
    EXPECT_EQ(first.Connections(), 1);
    EXPECT_EQ(second.Connections(), 0);
}

TEST_F(LinkTest, CameraThatCannotBeOpenedLeavesNoLink) {
    auto reg = CameraRegistration("DEAD", kOwnProduct);
    auto& cam = AddCamera(reg);
    PeerReply refuse;
    refuse.code = 0x2002;
    cam.On(0x1002, refuse);
    EXPECT_EQ(InitPTPMode_Parts(), 1);
    EXPECT_TRUE(Logged("+++ error code = 0x8007001f at CreateWiaDevice +++"));
    uint8_t out[64];
    EXPECT_EQ(ZR4_GetDataGroup1(out), kEFail);
}

TEST_F(LinkTest, CameraThatCannotBeOpenedDoesNotHideTheNextOne) {
    // Refuses the session, or hangs up before answering: either way the
    // next matching camera is opened.
    for (auto action : {PeerReply::Action::Normal, PeerReply::Action::VanishBeforeReply}) {
        auto& bad = AddCamera("ABAD", kOwnProduct);
        PeerReply refuse;
        refuse.code = 0x2002;
        refuse.action = action;
        bad.On(0x1002, refuse);
        auto& good = AddCamera("ZGOOD", kOwnProduct2);
        EXPECT_EQ(InitPTPMode_Parts(), 0);
        EXPECT_EQ(ActiveInstance(), good.Registration().driver);
        EXPECT_EQ(bad.CommandsFor(0x1002).size(), 1u);
        uint8_t status[KVX_CAM_STATUS_SIZE] = {};
        good.On(0x9011, Data({8, 1, 0, 0, 0, 0, 0, 0, 0, 9}));
        EXPECT_EQ(ZR4_GetCamStatus(status), 0);
        EXPECT_EQ(status[9], 9);
        EXPECT_TRUE(bad.CommandsFor(0x9011).empty()) << "commands go to the opened camera only";
        ReleaseDevInfo_Parts();
        peers_.clear();
    }
}

TEST_F(LinkTest, NoCameraThatCanBeOpenedLeavesTheFlagAsItWas) {
    auto& a = AddCamera("DEADA", kOwnProduct);
    auto& b = AddCamera("DEADB", kOwnProduct2);
    PeerReply refuse;
    refuse.code = 0x2002;
    a.On(0x1002, refuse);
    b.On(0x1002, refuse);
    EXPECT_EQ(InitPTPMode_Parts(), 1);
    EXPECT_EQ(ActiveInstance(), "<none>") << "a camera that failed to open is not the linked one";
    EXPECT_EQ(a.CommandsFor(0x1002).size(), 1u);
    EXPECT_EQ(b.CommandsFor(0x1002).size(), 1u);
}

TEST_F(LinkTest, CommandsWithoutOpenCameraFailWithoutTouchingIt) {
    uint8_t out[4096] = {};
    uint32_t size = 77;
    uint8_t* data = nullptr;
    uint8_t snap[4] = {2, 1, 1, 0};
    auto expectAllFail = [&] {
        EXPECT_EQ(ZR4_GetCamConfigEx(out), kEFail);
        EXPECT_EQ(ZR4_GetCamStatus2(out, &size), kEFail);
        EXPECT_EQ(size, 77u);
        EXPECT_EQ(ZR4_GetDataGroup4(out), kEFail);
        EXPECT_EQ(ZR4_GetBigPartialPictFile(1, 0, 16, &data, &size), kEFail);
        EXPECT_EQ(ZR4_GetCamViewFrame(&data, &size), kEFail);
        EXPECT_EQ(ZR4_ClearImageDBSignle(3), kEFail);
        EXPECT_EQ(ZR4_CloseApplication(), kEFail);
        EXPECT_EQ(ZR4_Snap(snap), kEFail);
        EXPECT_EQ(ZR4_SetDataGroup2(snap), kEFail);
        EXPECT_EQ(data, nullptr);
    };
    expectAllFail();  // never opened
    EXPECT_EQ(CheckSumError_Parts(1), nullptr);

    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    ReleaseDevInfo_Parts();
    expectAllFail();                       // after release
    EXPECT_EQ(cam.Commands().size(), 2u);  // open and close only
}

TEST_F(LinkTest, SecondInitReopensTheCamera) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    cam.On(0x9012, Data(Pattern(22)));
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    uint8_t group[KVX_DATA_GROUP1_SIZE];
    EXPECT_EQ(ZR4_GetDataGroup1(group), 0);
    EXPECT_EQ(Bytes(group, group + 22), Pattern(22));
    EXPECT_EQ(cam.Connections(), 2);
    auto cmds = cam.Commands();
    ASSERT_GE(cmds.size(), 4u);
    EXPECT_EQ(cmds[0].op, 0x1002);
    EXPECT_EQ(cmds[1].op, 0x1003);  // the first session ends before the second begins
    EXPECT_EQ(cmds[2].op, 0x1002);
}

TEST_F(LinkTest, WritesSendTheirRecordWithChecksum) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);

    uint8_t snap[4] = {2, 1, 1, 0};
    EXPECT_EQ(ZR4_Snap(snap), 0);
    uint8_t clock[8] = {6, 5, 4, 3, 14, 3, 26, 0};
    EXPECT_EQ(ZR4_ClockAdjust(clock), 0);
    uint8_t group2[KVX_DATA_GROUP2_SIZE] = {3, 0x10, 0x20, 0x30};
    EXPECT_EQ(ZR4_SetDataGroup2(group2), 0);
    uint8_t group1[KVX_DATA_GROUP1_SIZE] = {3, 1, 2, 200};
    EXPECT_EQ(ZR4_SetDataGroup1(group1), 0);
    uint8_t group4[7] = {3, 1, 2, 3};
    EXPECT_EQ(ZR4_SetDataGroup4(group4), 0);

    auto one = [&](uint16_t op) {
        auto c = cam.CommandsFor(op);
        EXPECT_EQ(c.size(), 1u) << std::hex << op;
        return c.empty() ? PeerCommand{} : c[0];
    };
    EXPECT_EQ(one(0x901B).data, (Bytes{2, 1, 1, 4}));
    EXPECT_TRUE(one(0x901B).params.empty());
    EXPECT_EQ(one(0x9019).data, (Bytes{6, 5, 4, 3, 14, 3, 26, 61}));
    EXPECT_EQ(one(0x9017).data, (Bytes{3, 0x10, 0x20, 0x30, 0x63}));
    Bytes g1(22, 0);
    g1[0] = 3, g1[1] = 1, g1[2] = 2, g1[3] = 200, g1[21] = 206;
    EXPECT_EQ(one(0x9016).data, g1);
    EXPECT_EQ(one(0x9024).data, (Bytes{3, 1, 2, 3, 0, 0, 9}));
    // The caller's record is left as it was.
    EXPECT_EQ(snap[3], 0);
}

TEST_F(LinkTest, SizesOfTheOtherWrites) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    uint8_t record[64] = {3, 1, 2, 3};
    EXPECT_EQ(ZR4_SetDataGroup3(record), 0);
    EXPECT_EQ(ZR4_SetDataGroup5(record), 0);
    EXPECT_EQ(ZR4_SetDataGroup6(record), 0);
    EXPECT_EQ(cam.CommandsFor(0x9018).at(0).data.size(), 21u);
    EXPECT_EQ(cam.CommandsFor(0x9028).at(0).data.size(), 34u);
    EXPECT_EQ(cam.CommandsFor(0x902A).at(0).data.size(), 38u);
    // A length byte of 254 would make a record of no bytes: refused, nothing sent.
    uint8_t bad[4] = {254, 0, 0, 0};
    EXPECT_EQ(ZR4_SetDataGroup2(bad), KVX_E_INVALIDARG);
    EXPECT_TRUE(cam.CommandsFor(0x9017).empty());
}

TEST_F(LinkTest, ParameterCommandsSendEightZeroBytes) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    EXPECT_EQ(ZR4_ClearImageDBSignle(5), 0);
    EXPECT_EQ(ZR4_ClearImageDBAll(), 0);
    EXPECT_EQ(ZR4_CloseApplication(), 0);
    const struct {
        uint16_t op;
        std::vector<uint32_t> params;
    } expected[] = {{0x901C, {5}}, {0x901D, {}}, {0x902F, {}}};
    for (auto& e : expected) {
        auto c = cam.CommandsFor(e.op);
        ASSERT_EQ(c.size(), 1u);
        EXPECT_EQ(c[0].params, e.params);
        EXPECT_TRUE(c[0].hadData);
        EXPECT_EQ(c[0].data, Bytes(8, 0));
    }
}

TEST_F(LinkTest, ReadsCopyTheirFixedSizeWhateverWasSent) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    const size_t group4 = KVX_TEST_MODEL_CODE == 130 ? 10 : 7;
    const struct {
        const char* name;
        uint16_t op;
        size_t size;
        KVX_HRESULT (*call)(uint8_t*);
    } reads[] = {
        {"GetCamConfig", 0x9010, 49, ZR4_GetCamConfig},
        {"GetCamConfigEx", 0x9010, 53, ZR4_GetCamConfigEx},
        {"GetCamStatus", 0x9011, 10, ZR4_GetCamStatus},
        {"GetDataGroup1", 0x9012, 22, ZR4_GetDataGroup1},
        {"GetDataGroup2", 0x9013, 20, ZR4_GetDataGroup2},
        {"GetDataGroup3", 0x9014, 21, ZR4_GetDataGroup3},
        {"GetDataGroup4", 0x9023, group4, ZR4_GetDataGroup4},
        {"GetDataGroup5", 0x9027, 34, ZR4_GetDataGroup5},
        {"GetDataGroup6", 0x9029, 38, ZR4_GetDataGroup6},
        {"GetCanSetInfo", 0x901A, 39, ZR4_GetCanSetInfo},
        {"GetCanSetInfo2", 0x9025, 57, ZR4_GetCanSetInfo2},
        {"GetCanSetInfo3", 0x9026, 112, ZR4_GetCanSetInfo3},
        {"GetCanSetInfo4", 0x902E, 102, ZR4_GetCanSetInfo4},
    };
    for (auto& r : reads) {
        SCOPED_TRACE(r.name);
        // Longer than the record: exactly size bytes are copied.
        cam.On(r.op, Data(Pattern(200, 3)));
        uint8_t out[256];
        std::memset(out, 0xEE, sizeof out);
        ASSERT_EQ(r.call(out), 0);
        const Bytes sent = Pattern(200, 3);
        EXPECT_EQ(Bytes(out, out + r.size),
                  Bytes(sent.begin(), sent.begin() + static_cast<long>(r.size)));
        EXPECT_EQ(out[r.size], 0xEE);
        // Shorter: the tail is the zeros of the cleared reply buffer.
        cam.On(r.op, Data({0x55, 0x66}));
        std::memset(out, 0xEE, sizeof out);
        ASSERT_EQ(r.call(out), 0);
        EXPECT_EQ(out[0], 0x55);
        EXPECT_EQ(out[1], 0x66);
        EXPECT_EQ(Bytes(out + 2, out + r.size), Bytes(r.size - 2, 0));
        EXPECT_EQ(out[r.size], 0xEE);
    }
    EXPECT_EQ(cam.CommandsFor(0x9010).at(0).params, std::vector<uint32_t>{0});

    cam.On(0x9015, Data({6, 3, 0, 1, 5, 0, 2, 0x11}));
    uint8_t capture[8];
    EXPECT_EQ(ZR4_GetCaptureStatus(7, capture), 0);
    EXPECT_EQ(cam.CommandsFor(0x9015).at(0).params, std::vector<uint32_t>{7});
    EXPECT_EQ(capture[7], 0x11);
}

TEST_F(LinkTest, StatusRecord2IsALargeReadWithItsSize) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    cam.On(0x902C, Data(Pattern(5000)));
    std::vector<uint8_t> out(KVX_CAM_STATUS2_SIZE + 1, 0xEE);
    uint32_t size = 0;
    EXPECT_EQ(ZR4_GetCamStatus2(out.data(), &size), 0);
    EXPECT_EQ(size, 5030u);
    const Bytes sent = Pattern(5000);
    EXPECT_EQ(Bytes(out.begin(), out.end() - 1), Bytes(sent.begin(), sent.begin() + 3080));
    EXPECT_EQ(out.back(), 0xEE);
    EXPECT_EQ(cam.CommandsFor(0x902C).at(0).params, (std::vector<uint32_t>{8, 63, 0}));
}

TEST_F(LinkTest, SettableInfoWithPtpErrorIsLoggedAndStillCopied) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    cam.On(0x9025, Data(Pattern(57), 0x2019));
    uint8_t out[57] = {};
    EXPECT_EQ(ZR4_GetCanSetInfo2(out), 0);
    EXPECT_EQ(Bytes(out, out + 57), Pattern(57));
    EXPECT_TRUE(Logged("*** ZR4_GetCanSetInfo2 detect PTP error, ResponseCode=0x2019 ***"));
    // Without a response check a PTP error is success too.
    cam.On(0x9012, Data(Pattern(22), 0x2019));
    uint8_t group[22];
    EXPECT_EQ(ZR4_GetDataGroup1(group), 0);
}

TEST_F(LinkTest, BigPartialReadHandsBackThePieceByPointer) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    // Length, 0x200000 bytes of picture, more-data flag: the largest piece.
    Bytes piece(4 + 0x200000 + 2);
    Put32(piece, 0, 0x200000);
    for (size_t i = 4; i < piece.size() - 2; ++i) piece[i] = static_cast<uint8_t>(i * 13);
    Put16(piece, piece.size() - 2, 1);
    cam.On(0x9022, Data(piece));
    uint8_t* data = nullptr;
    uint32_t actual = 0;
    EXPECT_EQ(ZR4_GetBigPartialPictFile(42, 0x400000, 0x200000, &data, &actual), 0);
    EXPECT_EQ(actual, 30u + piece.size());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::memcmp(data, piece.data(), piece.size()), 0);
    EXPECT_EQ(cam.CommandsFor(0x9022).at(0).params,
              (std::vector<uint32_t>{42, 0x400000, 0x200000}));

    cam.On(0x9021, Data({1, 2, 3}));
    EXPECT_EQ(ZR4_GetPartialPictFile(1, 2, 3, &data, &actual), 0);
    EXPECT_EQ(actual, 33u);
    EXPECT_EQ(cam.CommandsFor(0x9021).at(0).params, (std::vector<uint32_t>{1, 2, 3}));

    cam.On(0x902B, Data(Pattern(100000)));
    EXPECT_EQ(ZR4_GetCamViewFrame(&data, &actual), 0);
    EXPECT_EQ(actual, 100030u);
    EXPECT_EQ(std::memcmp(data, Pattern(100000).data(), 100000), 0);
}

TEST_F(LinkTest, BigPartialReadWithPtpErrorLeavesCallersValues) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    cam.On(0x9022, Data(Pattern(64), 0x2019));
    uint8_t marker = 0;
    uint8_t* data = &marker;
    uint32_t actual = 0;
    EXPECT_EQ(ZR4_GetBigPartialPictFile(7, 0x10, 0x200000, &data, &actual), 0);
    EXPECT_EQ(data, &marker);
    EXPECT_EQ(actual, 0u);
    auto lines = LogLines();
    const std::vector<std::string> expected = {
        "***** ZR4_GetBigPartialPictFile detect PTP error at 3 *****",
        "---> Params[0] = 0x7",
        "---> Params[1] = 0x10",
        "---> Params[2] = 0x200000",
        "---> hr=0x0, actualSize = 0x5e",
        "---> ResponseCode = 0x2019",
    };
    auto at = std::search(lines.begin(), lines.end(), expected.begin(), expected.end());
    EXPECT_NE(at, lines.end());
}

TEST_F(LinkTest, PictureListSecondFormFillsAtMostMaxEntries) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    const Bytes list = List2({{0x101, 5000, "JPG", "P0000001.JPG"},
                              {0x102, 9000, "Q7I", "P0000001.Q7I"},
                              {0x103, 7000, "Q7F", "P0000002.Q7F"}});
    cam.On(0x902D, Data(list));
    KVX_PICT_FILE_ENTRY entries[3] = {};
    entries[2].objectId = 0xDEAD;
    uint32_t count = 0, actual = 0;
    uint8_t multi = 9, info[28] = {};
    uint8_t* raw = nullptr;
    EXPECT_EQ(ZR4_GetPictFileInfo2(entries, 2, &count, &multi, info, &raw, &actual), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(actual, 30u + list.size());
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(std::memcmp(raw, list.data(), list.size()), 0);
    EXPECT_EQ(+entries[0].formatCode, 0x3801);
    EXPECT_STREQ(entries[0].fileName, "P0000001.JPG");
    EXPECT_EQ(+entries[0].objectId, 0x101u);
    EXPECT_EQ(+entries[0].fileSize, 5000u);
    EXPECT_EQ(+entries[1].formatCode, 0x380A);
    EXPECT_EQ(std::string(entries[1].formatText, 3), "Q7I");
    EXPECT_EQ(+entries[1].valueA, 0x1111);
    EXPECT_EQ(+entries[1].valueB, 0x2222);
    EXPECT_EQ(+entries[2].objectId, 0xDEADu);  // not filled
    // The last filled entry (Q7I) decides the multi-part output.
    EXPECT_EQ(multi, 1);
    EXPECT_EQ(info[0], 0x41);
    EXPECT_EQ(info[27], 0x41 + 27);
}

TEST_F(LinkTest, PictureListWhoseOffsetsReachBeyondTheReplyDropsThoseEntries) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    Bytes list = List2({{1, 10, "JPG", "A.JPG"}, {2, 20, "JPG", "B.JPG"}, {3, 30, "JPG", "C.JPG"}});
    Put32(list, 8 + 4, 0x7FFFFFF0);  // entry 1 far outside
    Put32(list, 8 + 4 * 3 + 52 * 2 + 12,
          static_cast<uint32_t>(list.size()));  // entry 2's name at the end
    cam.On(0x902D, Data(list));
    KVX_PICT_FILE_ENTRY entries[3] = {};
    uint32_t count = 0, actual = 0;
    uint8_t multi = 0, info[28];
    uint8_t* raw = nullptr;
    EXPECT_EQ(ZR4_GetPictFileInfo2(entries, 3, &count, &multi, info, &raw, &actual), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(+entries[0].objectId, 1u);
    EXPECT_EQ(+entries[1].objectId, 0u);
}

TEST_F(LinkTest, PictureListFirstForm) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    // Two entries: u16 format, u16 5, u16 6, name, u32 file size, u32 object id.
    Bytes list = {2};
    auto add = [&](uint16_t a, const char* name, uint32_t size, uint32_t id) {
        Bytes e(6);
        Put16(e, 0, a);
        Put16(e, 2, 5);
        Put16(e, 4, 6);
        e.insert(e.end(), name, name + std::strlen(name) + 1);
        Bytes tail(8);
        Put32(tail, 0, size);
        Put32(tail, 4, id);
        e.insert(e.end(), tail.begin(), tail.end());
        list.insert(list.end(), e.begin(), e.end());
    };
    add(0x3801, "IMG1.JPG", 1000, 0x11);
    add(0xB801, "IMG1.Q7F", 2000, 0x12);
    list.push_back(0xAB);  // checksum byte after the entries
    cam.On(0x9020, Data(list));
    uint32_t count = 0, rawLength = 0;
    uint8_t* raw = nullptr;
#if KVX_TEST_MODEL_CODE == 130
    KVX_PICT_FILE_ENTRY entries[2] = {};
    EXPECT_EQ(ZR4_GetPictFileInfo(entries, 2, &count, &raw, &rawLength), 0);
    EXPECT_EQ(+entries[1].formatCode, 0xB801);
    EXPECT_EQ(std::string(entries[1].formatText), "Q7F");
    EXPECT_EQ(+entries[1].objectId, 0x12u);
    EXPECT_EQ(+entries[1].fileSize, 2000u);
    EXPECT_STREQ(entries[1].fileName, "IMG1.Q7F");
#else
    KVX_PICT_FILE_ENTRY1 entries[2] = {};
    static_assert(sizeof(KVX_PICT_FILE_ENTRY1) == 142);
    EXPECT_EQ(ZR4_GetPictFileInfo(entries, 2, &count, &raw, &rawLength), 0);
    EXPECT_EQ(+entries[1].value1, 0xB801);
    EXPECT_EQ(+entries[1].value2, 5);
    EXPECT_EQ(+entries[1].value4, 2000u);
    EXPECT_EQ(+entries[1].value5, 0x12u);
    EXPECT_STREQ(entries[1].fileName, "IMG1.Q7F");
#endif
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(rawLength, 1u + (15 + 8) * 2);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw[rawLength], 0xAB);
}

TEST_F(LinkTest, ReplyLargerThanTheBufferIsAnErrorAndTheLinkGoesOn) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    cam.On(0x9012, Data(Pattern(KVX_REPLY_BUFFER_SIZE - 30 + 1)));
    uint8_t group[22] = {};
    EXPECT_EQ(ZR4_GetDataGroup1(group), static_cast<KVX_HRESULT>(0x8007007Au));
    EXPECT_EQ(group[0], 0);
    // The largest reply that fits is accepted.
    cam.On(0x9012, Data(Pattern(KVX_REPLY_BUFFER_SIZE - 30)));
    EXPECT_EQ(ZR4_GetDataGroup1(group), 0);
    EXPECT_EQ(group[0], Pattern(1)[0]);

    cam.On(0x9022, Data(Pattern(KVX_LARGE_REPLY_BUFFER_SIZE - 30 + 1)));
    uint8_t* data = nullptr;
    uint32_t actual = 0;
    EXPECT_EQ(ZR4_GetBigPartialPictFile(1, 0, 0x200000, &data, &actual),
              static_cast<KVX_HRESULT>(0x8007007Au));
    EXPECT_EQ(data, nullptr);
    EXPECT_TRUE(Logged("***** ZR4_GetBigPartialPictFile detect PTP error at 2 *****"));
}

TEST_F(LinkTest, CameraVanishingMidReplyGivesAnErrorFromThenOn) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    PeerReply vanish = Data(Pattern(4000));
    vanish.action = PeerReply::Action::VanishMidData;
    cam.On(0x9022, vanish);
    uint8_t* data = nullptr;
    uint32_t actual = 0;
    const auto gone = static_cast<KVX_HRESULT>(0x8007048Fu);
    EXPECT_EQ(ZR4_GetBigPartialPictFile(1, 0, 4000, &data, &actual), gone);
    EXPECT_EQ(data, nullptr);
    uint8_t status[10];
    EXPECT_EQ(ZR4_GetCamStatus(status), gone);
    EXPECT_EQ(ReleaseDevInfo_Parts(), 0);

    PeerReply before;
    before.action = PeerReply::Action::VanishBeforeReply;
    cam.On(0x9011, before);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    EXPECT_EQ(ZR4_GetCamStatus(status), gone);
}

TEST_F(LinkTest, SilentCameraTimesOut) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    PeerReply silent;
    silent.action = PeerReply::Action::Silent;
    cam.On(0x9011, silent);
    uint8_t status[10];
    EXPECT_EQ(ZR4_GetCamStatus(status), static_cast<KVX_HRESULT>(0x80070079u));
}

// Nothing an earlier answer left shows through a later one: past the bytes
// of each reply the record reads as zeros to the end of its buffer, after a
// longer reply, an error answer or a reply that did not fit.
TEST_F(LinkTest, RecordsAreClearPastEachReply) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    auto zerosFrom = [](const uint8_t* record, size_t from, size_t to) {
        return std::all_of(record + from, record + to, [](uint8_t b) { return b == 0; });
    };
    const size_t large = KVX_LARGE_REPLY_BUFFER_SIZE - 30;
    struct Step {
        const char* what;
        Bytes payload;
        uint16_t code;
        bool fits;
    };
    const Step steps[] = {
        {"the longest reply", Pattern(large, 3), 0x2001, true},
        {"a short one", Pattern(100, 9), 0x2001, true},
        {"the longest again", Pattern(large, 5), 0x2001, true},
        {"an error answer without data", {}, 0x2019, true},
        {"long, then one that does not fit", Pattern(large - 1, 7), 0x2001, true},
        {"too long", Pattern(large + 1, 11), 0x2001, false},
        {"a short one after it", Pattern(10, 13), 0x2001, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        cam.On(0x902B, Data(step.payload, step.code));
        uint8_t* data = nullptr;
        uint32_t actual = 0;
        const KVX_HRESULT hr = ZR4_GetCamViewFrame(&data, &actual);
        if (!step.fits) {
            EXPECT_NE(hr, 0);
            continue;
        }
        ASSERT_EQ(hr, 0);
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(actual, 30 + step.payload.size());
        EXPECT_EQ(std::memcmp(data, step.payload.data(), step.payload.size()), 0);
        EXPECT_TRUE(zerosFrom(data, step.payload.size(), large));
    }

    // The same for the reply buffer of the normal commands.
    const size_t normal = KVX_REPLY_BUFFER_SIZE - 30;
    for (const Bytes& payload : {Pattern(normal, 3), Pattern(2, 9), Bytes{}}) {
        cam.On(0x1087, Data(payload, 0x2002));
        uint8_t* record = CheckSumError_Parts(0x12);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(std::memcmp(record, payload.data(), payload.size()), 0);
        EXPECT_TRUE(zerosFrom(record, payload.size(), normal));
    }
}

TEST_F(LinkTest, ChecksumErrorReportReturnsTheReplyRecord) {
    auto& cam = AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    cam.On(0x1087, Data({0x21, 0x22}, 0x2002));
    uint8_t* record = CheckSumError_Parts(0x12);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record[0], 0x21);
    EXPECT_EQ(cam.CommandsFor(0x1087).at(0).params, std::vector<uint32_t>{0x12});
}

TEST_F(LinkTest, ActiveInstanceNeedsAWholeBuffer) {
    AddCamera("CAM1", kOwnProduct);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    char small[16];
    EXPECT_EQ(ZR4_GetActiveDriverInstance(small, sizeof small), KVX_E_INVALIDARG);
    EXPECT_EQ(ZR4_GetActiveDriverInstance(nullptr, 256), KVX_E_INVALIDARG);
}

}  // namespace
}  // namespace kvx::test
