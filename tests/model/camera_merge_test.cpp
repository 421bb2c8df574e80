// Merging received records into CCamera: partial Field1/Field2 masks, fields
// that carry no byte, records shorter than their masks promise, and the
// settable-info versions.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include "model/camera.h"

namespace {

using namespace VARNO;

class Reports : public IMergeReport {
public:
    void OnDataGroupField(int group, int index) override { fields.push_back(group * 100 + index); }
    std::vector<int> fields;
};

struct MergeCase {
    const char* name;
    int group;
    std::vector<uint8_t> received;                 // as the library copied it
    std::map<size_t, std::vector<uint8_t>> after;  // current record bytes at full offsets
    std::vector<int> reported;                     // group * 100 + field index
};
// Test names and failure messages show the case, not its bytes.
void PrintTo(const MergeCase& c, std::ostream* os) {
    *os << c.name;
}

class Merge : public ::testing::TestWithParam<MergeCase> {};

// Every current byte is 0xEE before the merge, so untouched fields stay visible.
TEST_P(Merge, StoresFieldsAtFullOffsets) {
    const MergeCase& c = GetParam();
    CCamera camera;
    std::vector<uint8_t> fill(kDataGroupSize[c.group], 0xEE);
    camera.SetDataGroupBytes(c.group, 0, fill.data(), fill.size());
    camera.StoreReceivedDataGroup(c.group, c.received.data(), c.received.size());
    Reports reports;
    camera.MergeDataGroup(c.group, &reports);
    EXPECT_EQ(reports.fields, c.reported);

    std::vector<uint8_t> want = fill;
    for (const auto& [offset, bytes] : c.after) {
        std::memcpy(want.data() + offset, bytes.data(), bytes.size());
    }
    const uint8_t* got = camera.DataGroup(c.group);
    EXPECT_EQ(std::vector<uint8_t>(got, got + want.size()), want);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Merge,
    ::testing::Values(
        MergeCase{"Group1RemainingShotsOnly",
                  1,
                  {5, 0x00, 0x02, 0x34, 0x12, 0x4D},
                  {{12, {0x34, 0x12}}},
                  {109}},
        MergeCase{"Group1ShutterApertureShots",
                  1,
                  {6, 0x03, 0x02, 116, 40, 0x10, 0x00, 0x00},
                  {{3, {116}}, {4, {40}}, {12, {0x10, 0x00}}},
                  {100, 101, 109}},
        MergeCase{
            "Group1Full",
            1,
            {19, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0},
            {{3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}}},
            {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115}},
        MergeCase{
            "Group2Field2Only", 2, {4, 0x00, 0x60, 10, 5, 0}, {{16, {10}}, {17, {5}}}, {213, 214}},
        // The capture destination bit takes no byte but is still reported.
        MergeCase{
            "Group3DestinationTakesNoByte", 3, {4, 0x00, 0xA0, 4, 0}, {{18, {4}}}, {313, 315}},
        MergeCase{"Group3FocalLengths",
                  3,
                  {6, 0xC0, 0x00, 0x18, 0x01, 0x70, 0x03, 0},
                  {{9, {0x18, 0x01, 0x70, 0x03}}},
                  {306, 307}},
        // Bits that are never present consume nothing and are not reported.
        MergeCase{"Group4NeverPresentBits", 4, {4, 0xC8, 0xFF, 1, 0}, {{6, {1}}}, {403}},
        // An interval below 7 s is skipped whole; the next field still lines up.
        MergeCase{"Group5ShortIntervalSkipped",
                  5,
                  {10, 0x03, 0x00, 6, 0, 10, 0, 0, 0, 0x8C, 0x0A, 0},
                  {{9, {0x8C, 0x0A}}},
                  {501}},
        MergeCase{"Group5IntervalStored",
                  5,
                  {8, 0x01, 0x00, 30, 0, 5, 12, 0, 2, 0},
                  {{3, {30, 0, 5, 12, 0, 2}}},
                  {500}},
        MergeCase{"Group5FocusFrameAndIndicator",
                  5,
                  {9, 0x00, 0x48, 1, 32, 21, 2, 2, 0, 1, 0},
                  {{22, {1, 32, 21, 2}}, {29, {2, 0, 1}}},
                  {511, 514}},
        MergeCase{"Group6FrameParameters",
                  6,
                  {8, 0x20, 0x00, 2, 0xFE, 4, 1, 3, 0},
                  {{8, {2, 0xFE, 4, 1, 3}}},
                  {605}},
        // The masks promise more than arrived: whole fields are kept, nothing is
        // read past the received bytes.
        MergeCase{"TruncatedRecordStopsAtLastWholeField",
                  1,
                  {10, 0xFF, 0xFF, 7, 8, 9},
                  {{3, {7, 8, 9}}},
                  {100, 101, 102}},
        MergeCase{"Group5WideFieldCutOff", 5, {6, 0x02, 0x00, 0x10}, {}, {}},
        MergeCase{"NoMasksReceived", 2, {1, 0xFF}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Merge, ReceivedRecordLongerThanTheGroupIsCut) {
    CCamera camera;
    std::vector<uint8_t> big(200, 0x11);
    camera.StoreReceivedDataGroup(4, big.data(), big.size());
    uint8_t out[64] = {};
    EXPECT_EQ(camera.ReceivedDataGroup(4, out, sizeof out), kDataGroupSize[4]);
    EXPECT_EQ(out[kDataGroupSize[4]], 0);
}

// The whole record fetched when a link opens, then, before the window has
// merged it, a record of only the changed field: the merge must see both, or
// the drive mode and everything else of the group would stay 0.
TEST(Merge, ARecordOfChangedFieldsLaidOverAnUnmergedWholeOneKeepsBoth) {
    CCamera camera;
    // DataGroup2: drive mode (Field1 0x01) 1, live view (0x02) 0, exposure
    // mode (0x04) 3, then the rest of Field1 and all of Field2, one byte each.
    std::vector<uint8_t> whole(kDataGroupSize[2], 0);
    whole[0] = static_cast<uint8_t>(kDataGroupSize[2]);
    whole[1] = 0xFF;
    whole[2] = 0xFF;
    for (size_t i = 3; i < 19; ++i) whole[i] = static_cast<uint8_t>(i);
    whole[3] = 1;  // drive mode
    whole[4] = 0;  // live view
    camera.StoreReceivedDataGroup(2, whole.data(), whole.size());
    const std::vector<uint8_t> liveViewOn = {5, 0x02, 0x00, 2, 0};
    camera.StoreReceivedDataGroup(2, liveViewOn.data(), liveViewOn.size());
    EXPECT_TRUE(camera.ReceivedDataGroupPending(2));

    Reports reports;
    camera.MergeDataGroup(2, &reports);
    EXPECT_FALSE(camera.ReceivedDataGroupPending(2));
    EXPECT_EQ(reports.fields.size(), 16u);
    EXPECT_EQ(camera.DataGroupByte(2, 3), 1);  // drive mode kept from the whole record
    EXPECT_EQ(camera.DataGroupByte(2, 4), 2);  // the newer live view wins
    EXPECT_EQ(camera.DataGroupByte(2, 5), 5);
    EXPECT_EQ(camera.DataGroupByte(2, 18), 18);

    // Once merged, the next record replaces the stored one as it came.
    camera.StoreReceivedDataGroup(2, liveViewOn.data(), liveViewOn.size());
    uint8_t out[64] = {};
    ASSERT_EQ(camera.ReceivedDataGroup(2, out, sizeof out), liveViewOn.size());
    EXPECT_EQ(std::vector<uint8_t>(out, out + liveViewOn.size()), liveViewOn);
}

std::vector<uint8_t> CanSetRecord(int version, std::vector<std::pair<size_t, uint8_t>> bytes) {
    std::vector<uint8_t> r(kCanSetInfoSize[version], 0);
    for (auto [offset, value] : bytes) r[offset] = value;
    return r;
}

void Receive(CCamera& camera, int version, const std::vector<uint8_t>& record) {
    camera.StoreReceivedCanSetInfo(version, record.data(), record.size());
}

TEST(SettableInfo, DefaultsBeforeAnyRecord) {
    CCamera camera;
    EXPECT_EQ(camera.VersionInForce(), 0);
    EXPECT_FALSE(camera.Settable(SettableField::MeteringMask).has_value());
    EXPECT_TRUE(camera.AeLockAvailable());
    EXPECT_TRUE(camera.AfLockAvailable());
    EXPECT_EQ(camera.SettableOf(1, SettableField::ExposureFlags), 0x05u);
    EXPECT_EQ(camera.SettableOf(1, SettableField::IsoWholeStepMask), 0x80FEu);
    EXPECT_EQ(camera.SettableOf(1, SettableField::IsoAutoAvailable), 0x8000u);
    EXPECT_EQ(camera.SettableOf(1, SettableField::ExposureCompUpper), 0x28u);
    EXPECT_EQ(camera.SettableOf(1, SettableField::ExposureCompLower), 0xD8u);
    EXPECT_EQ(camera.FlashMaskInUse(), 0);
}

TEST(SettableInfo, SecondGenerationAlwaysOffersAllExposureModes) {
    CCamera camera;
    Receive(camera, 2, CanSetRecord(2, {{5, 0x03}, {7, 0x8F}}));
    const auto changes = camera.MergeCanSetInfo(2);
    EXPECT_EQ(camera.Settable(SettableField::ExposureModeMask), 0x007Fu);
    bool sawMode = false;
    for (const auto& c : changes) {
        if (c.field == SettableField::ExposureModeMask) {
            sawMode = true;
            EXPECT_EQ(c.newValue, 0x7Fu);
        }
    }
    EXPECT_TRUE(sawMode);
    EXPECT_TRUE(camera.AeLockAvailable());
}

TEST(SettableInfo, NewestVersionStaysInForce) {
    CCamera camera;
    Receive(camera, 3, CanSetRecord(3, {{9, 0x80}}));
    camera.MergeCanSetInfo(3);
    Receive(camera, 1, CanSetRecord(1, {{6, 0x00}}));
    camera.MergeCanSetInfo(1);
    EXPECT_EQ(camera.VersionInForce(), 3);
    EXPECT_TRUE(camera.AfLockAvailable());
    EXPECT_FALSE(camera.AeLockAvailable());  // metering mask of CanSetInfo3 has no 0x80

    Receive(camera, 4, CanSetRecord(4, {{9, 0x00}, {31, 0x02}}));
    camera.MergeCanSetInfo(4);
    EXPECT_FALSE(camera.AfLockAvailable());
    EXPECT_EQ(camera.FlashMaskInUse(), 0x0002);
}

TEST(SettableInfo, ChangesAreReportedOncePerEndAndOnlyWhenTheyDiffer) {
    CCamera camera;
    Receive(camera, 4, CanSetRecord(4, {{13, 160}, {14, 16}, {100, 0x07}}));
    auto first = camera.MergeCanSetInfo(4);
    std::map<SettableField, uint32_t> changed;
    for (const auto& c : first) changed[c.field] = c.newValue;
    EXPECT_EQ(changed.size(), 3u);
    EXPECT_EQ(changed[SettableField::ShutterUpper], 160u);
    EXPECT_EQ(changed[SettableField::ShutterLower], 16u);
    EXPECT_EQ(changed[SettableField::MagnificationMask], 7u);

    Receive(camera, 4, CanSetRecord(4, {{13, 160}, {14, 19}, {100, 0x07}}));
    auto second = camera.MergeCanSetInfo(4);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].field, SettableField::ShutterLower);
    EXPECT_EQ(second[0].oldValue, 16u);
    EXPECT_EQ(second[0].newValue, 19u);
}

TEST(SettableInfo, ShortRecordOnlyTouchesWhatArrived) {
    CCamera camera;
    Receive(camera, 4, CanSetRecord(4, {{31, 0x01}, {99, 0x03}}));
    camera.MergeCanSetInfo(4);
    // A shorter copy (as status record 2 may carry) with a new flash mask.
    auto shortRecord = CanSetRecord(4, {{31, 0x05}});
    shortRecord.resize(40);
    Receive(camera, 4, shortRecord);
    const auto changes = camera.MergeCanSetInfo(4);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].field, SettableField::FlashMask);
    EXPECT_EQ(camera.SettableOf(4, SettableField::DcCropMask), 0x03u);
}

TEST(SettableInfo, AnEmptyReceivedRecordIsNotAVersion) {
    CCamera camera;
    camera.StoreReceivedCanSetInfo(4, nullptr, 0);
    uint8_t none = 0;
    camera.StoreReceivedCanSetInfo(3, &none, 0);
    EXPECT_TRUE(camera.MergeCanSetInfo(3).empty());
    EXPECT_TRUE(camera.MergeCanSetInfo(4).empty());
    EXPECT_EQ(camera.VersionInForce(), 0);
    EXPECT_TRUE(camera.AfLockAvailable());
}

TEST(Camera, ClearForANewLink) {
    CCamera camera;
    const uint8_t dg[] = {4, 0x01, 0x00, 7, 0};
    camera.StoreReceivedDataGroup(2, dg, sizeof dg);
    camera.MergeDataGroup(2, nullptr);
    Receive(camera, 1, CanSetRecord(1, {{13, 0x00}}));
    camera.MergeCanSetInfo(1);
    camera.SetDataGroup4Seen(true);
    camera.FetchRequest() = 0x3F7;

    camera.Clear();
    EXPECT_EQ(camera.DataGroupByte(2, dg2::kDriveMode), 0);
    EXPECT_EQ(camera.ReceivedDataGroup(2, nullptr, 0), 0u);
    EXPECT_FALSE(camera.CanSetInfoReceived(1));
    EXPECT_EQ(camera.SettableOf(1, SettableField::ExposureFlags), 0x05u);
    EXPECT_FALSE(camera.DataGroup4Seen());
    EXPECT_EQ(camera.FetchRequest().load(), 0u);
    EXPECT_EQ(camera.ShutterList().size(), 58u);
}

TEST(Camera, ReadersStayInsideTheRecords) {
    CCamera camera;
    EXPECT_EQ(camera.DataGroup(0), nullptr);
    EXPECT_EQ(camera.DataGroup(7), nullptr);
    EXPECT_EQ(camera.DataGroupByte(4, 10), 0);
    EXPECT_EQ(camera.DataGroupU16(4, 9), 0);
    EXPECT_EQ(camera.CanSetInfo(5), nullptr);
    EXPECT_FALSE(camera.SettableOf(1, SettableField::DcCropMask).has_value());
    camera.StoreReceivedDataGroup(9, nullptr, 10);
    camera.MergeDataGroup(9, nullptr);
}

}  // namespace

namespace {

// The communication thread overwrites a received record while the window
// merges it: every merge must see one whole record, never a mix of two. (The
// thread-sanitizer build reports the race outright if the lock goes missing.)
TEST(Camera, MergeNeverSeesATornRecord) {
    VARNO::CCamera camera;
    auto record = [](uint8_t v) {
        std::vector<uint8_t> r(VARNO::kDataGroupSize[6], v);
        r[0] = 35;
        r[1] = 0xFF;
        r[2] = 0x3F;
        return r;
    };
    const auto a = record(0x11), b = record(0x22);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop.load(); ++i) {
            const auto& r = (i & 1) ? a : b;
            camera.StoreReceivedDataGroup(6, r.data(), r.size());
        }
    });
    camera.StoreReceivedDataGroup(6, a.data(), a.size());
    for (int i = 0; i < 2000; ++i) {
        camera.MergeDataGroup(6, nullptr);
        const uint8_t* g = camera.DataGroup(6);
        const uint8_t first = g[3];
        for (size_t off = 3; off < 37; ++off) ASSERT_EQ(g[off], first) << "offset " << off;
    }
    stop.store(true);
    writer.join();
}

}  // namespace
