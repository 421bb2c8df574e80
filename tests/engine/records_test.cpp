// Checksum rules, the configuration and protocol rules, and status record 2
// unpacking against well-formed and hostile records.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/record_checksums.h"
#include "engine/status_records.h"
#include "tests/engine/log_capture.h"
#include "tests/engine/status2_builder.h"

using namespace kvx::engine;
using kvx::test::LogCapture;
using kvx::test::Status2Builder;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
    std::vector<uint8_t> out;
    for (int b : v) out.push_back(static_cast<uint8_t>(b));
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Checksum rules

struct RuleCase {
    const char* what;
    std::vector<uint8_t> record;
    ChecksumResult expected;
    int level;  // 0: no log line
    const char* logLine;
};

TEST(ChecksumRuleA, StatusRecordTable) {
    const RuleCase cases[] = {
        {"L 8, sum of 0..7 in byte 9", Bytes({8, 1, 0, 0, 0, 0, 0, 0, 0, 9}),
         ChecksumResult::kMatch, 6, "-- GetCamStatus: Checksum OK"},
        {"L 8, wrong byte 9", Bytes({8, 1, 0, 0, 0, 0, 0, 0, 0, 0x20}), ChecksumResult::kMismatch,
         1, "--- GetCamStatus: Check sum error Calc-val=0x9, Cam-val=0x20"},
        {"values print as unsigned bytes", Bytes({8, 0xF0, 0x20, 0, 0, 0, 0, 0, 0, 0xFF}),
         ChecksumResult::kMismatch, 1,
         "--- GetCamStatus: Check sum error Calc-val=0x18, Cam-val=0xff"},
        {"L 2 is not tested", Bytes({2, 1, 0, 0, 0, 0, 0, 0, 0, 0x55}), ChecksumResult::kNotTested,
         0, ""},
        {"L 0 (built from status record 2) is not tested", Bytes({0, 1, 0, 8, 0, 1, 0, 0, 0, 0}),
         ChecksumResult::kNotTested, 0, ""},
        {"negative L is not tested", Bytes({0x80, 1, 0, 0, 0, 0, 0, 0, 0, 0}),
         ChecksumResult::kNotTested, 0, ""},
        // L 9 would put the camera's byte at offset 10, past the record.
        {"L 9 reaches past the record", Bytes({9, 1, 0, 0, 0, 0, 0, 0, 0, 0}),
         ChecksumResult::kNotTested, 0, ""},
        {"L 10 is out of range", Bytes({10, 1, 0, 0, 0, 0, 0, 0, 0, 0}), ChecksumResult::kNotTested,
         0, ""},
    };
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(CheckStatusRecord(c.record.data(), c.record.size()), c.expected) << c.what;
        if (c.level == 0) {
            EXPECT_TRUE(log.Lines().empty()) << c.what;
        } else {
            EXPECT_TRUE(log.Has(c.level, c.logLine)) << c.what;
            EXPECT_EQ(log.Lines().size(), 1u) << c.what;
        }
    }
}

TEST(ChecksumRuleA, ConfigurationRecordLogLines) {
    std::vector<uint8_t> config(53, 0);
    config[0] = 50;
    config[1] = 0x40;
    config[2] = 'K';
    config[51] = ByteSum(config.data(), 50);
    {
        LogCapture log;
        EXPECT_EQ(CheckConfigRecord(config.data()), ChecksumResult::kMatch);
        EXPECT_TRUE(log.Has(5, "-- GetCamConfig: Checksum OK"));
    }
    config[51] ^= 0x01;
    {
        LogCapture log;
        EXPECT_EQ(CheckConfigRecord(config.data()), ChecksumResult::kMismatch);
        EXPECT_TRUE(log.Has(1, "+++ GetCamConfig: Checksum error Calc-val=0xbd, Cam-val=0xbc"));
    }
    config[0] = 52;  // the camera's byte would be byte 53: not received
    {
        LogCapture log;
        EXPECT_EQ(CheckConfigRecord(config.data()), ChecksumResult::kNotTested);
        EXPECT_TRUE(log.Lines().empty());
    }
}

TEST(ChecksumRuleB, CaptureStatusTable) {
    const RuleCase cases[] = {
        {"L 6, sum of 0..6 in byte 7", Bytes({6, 3, 0, 1, 5, 0, 2, 0x11}), ChecksumResult::kMatch,
         0, ""},
        {"L 6, wrong byte 7", Bytes({6, 3, 0, 1, 5, 0, 2, 0x12}), ChecksumResult::kMismatch, 1,
         "--- GetCaptureStatus: Check sum error Calc-val=0x11, Cam-val=0x12"},
        {"L 3 covers bytes 0..3, value in byte 4", Bytes({3, 1, 1, 1, 6, 0, 0, 0}),
         ChecksumResult::kMatch, 0, ""},
        {"L 7 reaches past the record", Bytes({7, 3, 0, 1, 5, 0, 2, 0x11}),
         ChecksumResult::kNotTested, 0, ""},
        {"L 2 is not tested", Bytes({2, 3, 0, 1, 5, 0, 2, 0x11}), ChecksumResult::kNotTested, 0,
         ""},
    };
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(CheckCaptureStatusRecord(c.record.data(), c.record.size()), c.expected) << c.what;
        if (c.level == 0) {
            EXPECT_TRUE(log.Lines().empty()) << c.what;
        } else {
            EXPECT_TRUE(log.Has(c.level, c.logLine)) << c.what;
        }
    }
}

TEST(ChecksumRuleC, DataGroupsAndSettableInfo) {
    // DataGroup1 with Field1 0x03, Field2 0x02: shutter, aperture, two bytes
    // of remaining shots, so L 5 and the checksum at byte 7.
    std::vector<uint8_t> dg1 = Bytes({5, 0x03, 0x02, 0x50, 0x30, 0x10, 0x02, 0});
    dg1.resize(22, 0);
    dg1[7] = ByteSum(dg1.data(), 7);
    {
        LogCapture log;
        EXPECT_TRUE(CalcDataCheckSum(dg1[0], 22, dg1.data(), "DataGroup1"));
        EXPECT_TRUE(log.Has(5, "-- CalcDataCheckSum: DataGroup1 Checksum OK"));
    }
    dg1[7] = 0;
    {
        LogCapture log;
        EXPECT_FALSE(CalcDataCheckSum(dg1[0], 22, dg1.data(), "DataGroup1"));
        EXPECT_TRUE(log.Has(
            1, "+++ CalcDataCheckSum: DataGroup1 Checksum error Calc-val=0x9c, Cam-val=0x0"));
    }
    // A full DataGroup4 (10 bytes): L 7, checksum at byte 9, the last byte.
    std::vector<uint8_t> dg4 = Bytes({7, 0x3F, 0, 1, 2, 3, 4, 5, 6, 0});
    dg4[9] = ByteSum(dg4.data(), 9);
    {
        LogCapture log;
        EXPECT_EQ(CheckDataRecord(dg4[0], 10, dg4.data(), "DataGroup4"), ChecksumResult::kMatch);
    }
    // L 8 or 9 would put the checksum byte past the 10-byte record.
    for (int badLength : {8, 9, 10, 2, 0}) {
        LogCapture log;
        dg4[0] = static_cast<uint8_t>(badLength);
        EXPECT_EQ(CheckDataRecord(badLength, 10, dg4.data(), "DataGroup4"),
                  ChecksumResult::kNotTested)
            << badLength;
        EXPECT_TRUE(log.Lines().empty()) << badLength;
    }
    // CanSetInfo4: 16-bit L = 99, checksum at byte 101 (the last one).
    std::vector<uint8_t> info4(102, 0x11);
    info4[0] = 99;
    info4[1] = 0;
    info4[101] = ByteSum(info4.data(), 101);
    {
        LogCapture log;
        EXPECT_TRUE(CalcDataCheckSum(99, 102, info4.data(), "CanSetInfo4"));
        EXPECT_TRUE(log.Has(5, "-- CalcDataCheckSum: CanSetInfo4 Checksum OK"));
    }
}

TEST(ChecksumRuleD, PictureFileList) {
    std::vector<uint8_t> list = Bytes({1, 2, 3, 4, 10});
    {
        LogCapture log;
        EXPECT_EQ(CheckPictFileList(list.data(), 4, list.size()), ChecksumResult::kMatch);
        EXPECT_TRUE(log.Has(5, "-- GetPictFileInfo: Checksum OK"));
    }
    {
        LogCapture log;
        EXPECT_EQ(CheckPictFileList(list.data(), 3, list.size()), ChecksumResult::kMismatch);
        EXPECT_TRUE(log.Has(1, "+++ GetPictFileInfo: Checksum error Calc-val=0x6, Cam-val=0x4"));
    }
    {
        // The camera's byte would lie past the bytes received.
        LogCapture log;
        EXPECT_EQ(CheckPictFileList(list.data(), 5, list.size()), ChecksumResult::kNotTested);
        EXPECT_TRUE(log.Lines().empty());
    }
}

// ---------------------------------------------------------------------------
// Configuration record and protocol version

TEST(ConfigurationRecord, ProtocolVersionAndSupport) {
    struct Case {
        uint8_t flags;
        uint16_t major, minor;
        uint16_t wantMajor, wantMinor;
        bool supported;
    } cases[] = {
        {0x00, 4, 1, 3, 0, true},  // without flag 0x40 the fields do not count
        {0x40, 4, 0, 4, 0, true},          {0x40, 3, 2, 3, 2, true}, {0x40, 4, 1, 4, 1, false},
        {0x40, 5, 0, 5, 0, false},         {0x40, 2, 9, 2, 9, true}, {0xBF, 9, 9, 3, 0, true},
        {0x41, 0x104, 0, 0x104, 0, false},
    };
    for (const auto& c : cases) {
        uint8_t config[53] = {};
        config[1] = c.flags;
        config[48] = static_cast<uint8_t>(c.major);
        config[49] = static_cast<uint8_t>(c.major >> 8);
        config[50] = static_cast<uint8_t>(c.minor);
        config[51] = static_cast<uint8_t>(c.minor >> 8);
        ProtocolVersion v = ReadProtocolVersion(config);
        EXPECT_EQ(v.major, c.wantMajor) << int(c.flags) << " " << c.major << "." << c.minor;
        EXPECT_EQ(v.minor, c.wantMinor);
        EXPECT_EQ(IsProtocolSupported(v), c.supported) << c.major << "." << c.minor;
    }
}

TEST(ConfigurationRecord, CameraNameStaysInsideItsField) {
    uint8_t config[53] = {};
    std::memcpy(config + 2, "VARNO KV-1", 10);
    EXPECT_EQ(ReadCameraName(config), "VARNO KV-1");
    // No terminator within the 46 bytes: the name ends at the field, never
    // running into the version fields.
    std::memset(config + 2, 'A', 51);
    EXPECT_EQ(ReadCameraName(config), std::string(46, 'A'));
}

// ---------------------------------------------------------------------------
// Status record 2

namespace {

CameraStatus StatusOf(const UnpackedStatus2& u) {
    return ParseCameraStatus(u.status);
}

}  // namespace

TEST(StatusRecord2, StateAndTwoIdsInTheValueField) {
    Status2Builder b;
    b.Item(1, 4, 0x12345678).Item(2, 2, 0xAAAA0001).Item(5, 2, 0x00070003);
    b.Item(0x9023, 3, 0x00060008);  // DataGroup4 QMD mode on, in the value field
    auto rec = b.Build();
    UnpackedStatus2 u = UnpackStatusRecord2(rec.data(), kReplyHeaderSize + 3080);
    CameraStatus s = StatusOf(u);
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.state, 1);
    EXPECT_EQ(s.changeFlags, 0x0008);
    EXPECT_EQ(s.pictureBits, 1u);
    ASSERT_TRUE(u.picturesChanged);
    EXPECT_EQ(u.pictureIds, (std::vector<uint16_t>{3, 7}));
    ASSERT_EQ(u.records.size(), 1u);
    EXPECT_EQ(u.records[0].id, RecordId::kDataGroup4);
    EXPECT_EQ((std::vector<uint8_t>(u.records[0].bytes.begin(), u.records[0].bytes.begin() + 5)),
              (std::vector<uint8_t>{3, 0x08, 0x00, 0x06, 0}));
}

TEST(StatusRecord2, IdsAndDataGroupsAtOffsets) {
    Status2Builder b;
    b.Item(2, 2, 5);
    b.DataItem(5, Bytes({9, 0, 64, 0, 200, 0}), 3);  // three ids: 9, 64, 200
    b.DataItem(0x9013, Bytes({0x01, 0x00, 0x02, 0x55, 0x66}));
    std::vector<uint8_t> info4(100, 0);
    info4[0] = 0x0F;  // drive mode mask low byte at record offset 2
    b.DataItem(0x902E, info4);
    auto rec = b.Build();
    UnpackedStatus2 u = UnpackStatusRecord2(rec.data(), b.ReplySize());
    EXPECT_EQ(StatusOf(u).state, 5);
    // Ids above 63 stay in the list; the capture side ignores them.
    EXPECT_EQ(u.pictureIds, (std::vector<uint16_t>{9, 64, 200}));
    ASSERT_EQ(u.records.size(), 2u);
    EXPECT_EQ(u.records[0].id, RecordId::kDataGroup2);
    EXPECT_EQ(u.records[0].bytes[0], 5);  // length byte = count
    EXPECT_EQ(u.records[0].bytes[1], 0x01);
    EXPECT_EQ(u.records[0].bytes[3], 0x02);
    EXPECT_EQ(u.records[0].bytes[5], 0x66);
    EXPECT_EQ(u.records[1].id, RecordId::kCanSetInfo4);
    EXPECT_EQ(u.records[1].bytes[0], 100);  // 16-bit length = count
    EXPECT_EQ(u.records[1].bytes[1], 0);
    EXPECT_EQ(u.records[1].bytes[2], 0x0F);
}

TEST(StatusRecord2, EveryDataGroupItemTypeFillsItsGroup) {
    const std::pair<uint16_t, RecordId> types[] = {
        {0x9012, RecordId::kDataGroup1}, {0x9013, RecordId::kDataGroup2},
        {0x9014, RecordId::kDataGroup3}, {0x9023, RecordId::kDataGroup4},
        {0x9027, RecordId::kDataGroup5}, {0x9029, RecordId::kDataGroup6},
    };
    Status2Builder b;
    for (const auto& t : types) b.DataItem(t.first, Bytes({0x01, 0x00, 0x42, 0x43, 0x44}));
    b.Item(3, 1, 0).Item(4, 1, 0).Item(0x7777, 1, 0);  // ignored types
    auto rec = b.Build();
    UnpackedStatus2 u = UnpackStatusRecord2(rec.data(), b.ReplySize());
    ASSERT_EQ(u.records.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(u.records[i].id, types[i].second);
        EXPECT_EQ(u.records[i].bytes[0], 5);
        EXPECT_EQ(u.records[i].bytes[3], 0x42);
    }
    EXPECT_FALSE(u.picturesChanged);
    EXPECT_EQ(StatusOf(u).changeFlags, 0);
    EXPECT_EQ(StatusOf(u).pictureBits, 0u);
}

TEST(StatusRecord2, PictureIdCountsOutsideOneTo127AreIgnored) {
    for (uint32_t count : {0u, 128u, 0xFFFFFFFFu}) {
        Status2Builder b;
        b.Item(5, count, 1024);
        auto rec = b.Build();
        UnpackedStatus2 u = UnpackStatusRecord2(rec.data(), kReplyHeaderSize + 3080);
        EXPECT_FALSE(u.picturesChanged) << count;
        EXPECT_TRUE(u.pictureIds.empty()) << count;
        EXPECT_EQ(StatusOf(u).changeFlags, 0) << count;
    }
    // 127 ids is the most one item carries.
    Status2Builder b;
    std::vector<uint8_t> ids;
    for (int i = 0; i < 127; ++i) ids.insert(ids.end(), {static_cast<uint8_t>(i), 0});
    b.DataItem(5, ids, 127);
    auto rec = b.Build();
    UnpackedStatus2 u = UnpackStatusRecord2(rec.data(), kReplyHeaderSize + 3080);
    ASSERT_EQ(u.pictureIds.size(), 127u);
    EXPECT_EQ(u.pictureIds[126], 126);
}

TEST(StatusRecord2, CanSetInfo4BeyondTotalPlusTenIsIgnored) {
    // The data lies at 1024..1123, so offset + count is 1124.
    for (uint32_t total : {1114u, 1113u}) {
        Status2Builder b;
        b.DataItem(0x902E, std::vector<uint8_t>(100, 0x22)).Total(total);
        auto rec = b.Build();
        UnpackedStatus2 u = UnpackStatusRecord2(rec.data(), kReplyHeaderSize + 3080);
        EXPECT_EQ(u.records.size(), total == 1114u ? 1u : 0u) << "T = " << total;
    }
}

// Hostile records: nothing outside the bytes received is read, nothing
// outside a target record is written.
TEST(StatusRecord2, HostileCountsAndOffsets) {
    struct Case {
        const char* what;
        uint16_t type;
        uint32_t count;
        uint32_t offset;
        uint32_t replySize;  // as the link reports it
        size_t wantRecords;
        size_t wantLength;  // length byte of the filled record
    } cases[] = {
        {"count far above the group's size is held to the record", 0x9012, 3000, 16, 30 + 3080, 1,
         21},
        {"DataGroup4 count 200 fills 9 bytes", 0x9023, 200, 16, 30 + 3080, 1, 9},
        {"offset past the record", 0x9012, 10, 5000, 30 + 3080, 0, 0},
        {"offset + count wraps around", 0x9012, 0x20, 0xFFFFFFF0u, 30 + 3080, 0, 0},
        {"data past the bytes received", 0x9014, 20, 2000, 30 + 2010, 0, 0},
        {"data ending exactly at the bytes received", 0x9014, 20, 2000, 30 + 2020, 1, 20},
        {"CanSetInfo4 count above its record is held to 100", 0x902E, 2000, 16, 30 + 3080, 1, 100},
    };
    for (const auto& c : cases) {
        Status2Builder b;
        b.Item(c.type, c.count, c.offset);
        auto rec = b.Build();
        // Make T large so the CanSetInfo4 rule does not decide these cases.
        rec[0] = 0xFF;
        rec[1] = 0xFF;
        UnpackedStatus2 u = UnpackStatusRecord2(rec.data(), c.replySize);
        ASSERT_EQ(u.records.size(), c.wantRecords) << c.what;
        if (c.wantRecords == 1) {
            const auto& r = u.records[0];
            size_t len =
                r.id == RecordId::kCanSetInfo4 ? (r.bytes[0] | (r.bytes[1] << 8)) : r.bytes[0];
            EXPECT_EQ(len, c.wantLength) << c.what;
            // Nothing written past the record's own size.
            for (size_t i = Info(r.id).size; i < r.bytes.size(); ++i)
                ASSERT_EQ(r.bytes[i], 0) << c.what;
        }
    }
}

TEST(StatusRecord2, ItemsBeyondTheBytesReceivedAreNotRead) {
    Status2Builder b;
    b.Item(2, 2, 3);  // item 0: bytes 8..19
    b.Item(2, 2, 4);  // item 1: bytes 20..31
    auto rec = b.Build();
    // Received bytes end inside item 1: only item 0 counts.
    UnpackedStatus2 u = UnpackStatusRecord2(rec.data(), kReplyHeaderSize + 25);
    EXPECT_EQ(StatusOf(u).state, 3);
    // A header too short for the item count reads nothing.
    u = UnpackStatusRecord2(rec.data(), kReplyHeaderSize + 7);
    EXPECT_EQ(StatusOf(u).state, 0);
    u = UnpackStatusRecord2(rec.data(), 0);
    EXPECT_EQ(StatusOf(u).state, 0);
    // An item count of 0xFFFFFFFF reads no further than the 256 items that fit.
    Status2Builder many;
    for (int i = 0; i < 256; ++i) many.Item(2, 2, static_cast<uint32_t>(i));
    auto big = many.Count(0xFFFFFFFFu).Build();
    u = UnpackStatusRecord2(big.data(), kReplyHeaderSize + 3080);
    EXPECT_EQ(StatusOf(u).state, 255);
}

TEST(StatusRecord2, ReplySizeAboveTheRecordIsHeldToIt) {
    Status2Builder b;
    b.Item(0x9012, 21, 3080 - 21);  // data ends exactly at the record's end
    auto rec = b.Build();
    UnpackedStatus2 u = UnpackStatusRecord2(rec.data(), 0xFFFFFFFFu);
    EXPECT_EQ(u.records.size(), 1u);
    rec = Status2Builder().Item(0x9012, 21, 3080 - 20).Build();
    u = UnpackStatusRecord2(rec.data(), 0xFFFFFFFFu);
    EXPECT_TRUE(u.records.empty());
}
