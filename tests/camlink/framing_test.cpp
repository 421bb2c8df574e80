// Container framing and the vendor escape against hand-written byte vectors.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

#include "camlink/device/ptp_container.h"
#include "camlink/device/ptp_device.h"
#include "camlink/device/ptp_session.h"

namespace kvx::device {
namespace {

using Bytes = std::vector<uint8_t>;

// A pipe that records every container sent and plays back the device's
// bytes in the chunks a test gives (a chunk per Receive at most).
class ScriptPipe final : public IBytePipe {
public:
    struct State {
        std::vector<Bytes> sent;
        std::deque<Bytes> replies;
        PipeStatus atEnd = PipeStatus::Closed;
    };
    explicit ScriptPipe(std::shared_ptr<State> s) : s_(std::move(s)) {}
    PipeStatus SendContainer(std::span<const uint8_t> bytes) override {
        s_->sent.emplace_back(bytes.begin(), bytes.end());
        return PipeStatus::Ok;
    }
    PipeStatus Receive(std::span<uint8_t> into, size_t* received) override {
        *received = 0;
        if (s_->replies.empty()) return s_->atEnd;
        Bytes& front = s_->replies.front();
        size_t n = std::min(front.size(), into.size());
        std::copy(front.begin(), front.begin() + static_cast<long>(n), into.begin());
        front.erase(front.begin(), front.begin() + static_cast<long>(n));
        if (front.empty()) s_->replies.pop_front();
        *received = n;
        return PipeStatus::Ok;
    }

private:
    std::shared_ptr<State> s_;
};

const Bytes kOpenSessionOk = {0x0C, 0, 0, 0, 0x03, 0, 0x01, 0x20, 0, 0, 0, 0};

TEST(ContainerFraming, CommandAndResponseEncodeAsFixedBytes) {
    const uint32_t params[] = {8, 63, 0};
    EXPECT_EQ(ptp::EncodeParams(ptp::ContainerType::Command, 0x902C, 5, params),
              (Bytes{0x18, 0, 0, 0, 0x01, 0, 0x2C, 0x90, 5, 0, 0, 0,
                     8,    0, 0, 0, 63,   0, 0,    0,    0, 0, 0, 0}));
    EXPECT_EQ(ptp::EncodeParams(ptp::ContainerType::Response, 0x2001, 0x01020304, {}),
              (Bytes{0x0C, 0, 0, 0, 0x03, 0, 0x01, 0x20, 0x04, 0x03, 0x02, 0x01}));
    uint8_t header[12];
    ptp::EncodeHeader(ptp::DataHeader(0x901B, 7, 4), header);
    EXPECT_EQ(Bytes(header, header + 12), (Bytes{0x10, 0, 0, 0, 0x02, 0, 0x1B, 0x90, 7, 0, 0, 0}));

    const Bytes data = {0x0E, 0, 0, 0, 0x02, 0, 0x11, 0x90, 1, 0, 0, 0};
    auto h = ptp::DecodeHeader(data);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->length, 14u);
    EXPECT_EQ(h->type, ptp::ContainerType::Data);
    EXPECT_EQ(h->code, 0x9011);
    EXPECT_EQ(h->transactionId, 1u);
    // Too short, a length below the header, an unknown type.
    EXPECT_FALSE(ptp::DecodeHeader(Bytes{0x0C, 0, 0, 0, 3, 0, 1, 0x20, 0, 0, 0}));
    EXPECT_FALSE(ptp::DecodeHeader(Bytes{0x0B, 0, 0, 0, 3, 0, 1, 0x20, 0, 0, 0, 0}));
    EXPECT_FALSE(ptp::DecodeHeader(Bytes{0x0C, 0, 0, 0, 5, 0, 1, 0x20, 0, 0, 0, 0}));
}

class EscapeTest : public ::testing::Test {
protected:
    void Open() {
        state_ = std::make_shared<ScriptPipe::State>();
        state_->replies.push_back(kOpenSessionOk);
        ASSERT_EQ(PtpDevice::OpenOver(std::make_unique<ScriptPipe>(state_), &device_), kHrOk);
        ASSERT_EQ(state_->sent.size(), 1u);
        EXPECT_EQ(state_->sent[0],
                  (Bytes{0x10, 0, 0, 0, 0x01, 0, 0x02, 0x10, 0, 0, 0, 0, 1, 0, 0, 0}));
        state_->sent.clear();
    }
    // PTP_VENDOR_DATA_IN with the given fields.
    static Bytes Request(uint16_t op, std::vector<uint32_t> params, uint32_t phase,
                         Bytes write = {}) {
        Bytes in(38, 0);
        ptp::WriteU16(in.data(), op);
        ptp::WriteU32(in.data() + 2, 0xAAAAAAAA);  // ignored
        for (size_t i = 0; i < params.size() && i < 5; ++i)
            ptp::WriteU32(in.data() + 10 + 4 * i, params[i]);
        ptp::WriteU32(in.data() + 30, static_cast<uint32_t>(params.size()));
        ptp::WriteU32(in.data() + 34, phase);
        in.insert(in.end(), write.begin(), write.end());
        return in;
    }
    std::shared_ptr<ScriptPipe::State> state_;
    std::unique_ptr<PtpDevice> device_;
};

TEST_F(EscapeTest, ReadTransactionFillsTheVendorReply) {
    Open();
    // Data container of two bytes, then a response with two parameters; the
    // device's bytes arrive in odd pieces.
    state_->replies = {
        {0x0E, 0, 0, 0, 0x02},
        {0, 0x11, 0x90, 1, 0, 0, 0, 0xAA},
        {0xBB, 0x14, 0, 0, 0, 0x03, 0, 0x01, 0x20, 1, 0, 0, 0, 0x78, 0x56, 0x34, 0x12},
        {0x09, 0, 0, 0}};
    Bytes in = Request(0x9011, {}, 3);
    Bytes out(40, 0xEE);
    uint32_t actual = 0;
    ASSERT_EQ(device_->Escape(in.data(), 38, out.data(), out.size(), &actual), kHrOk);
    ASSERT_EQ(state_->sent.size(), 1u);
    EXPECT_EQ(state_->sent[0], (Bytes{0x0C, 0, 0, 0, 0x01, 0, 0x11, 0x90, 1, 0, 0, 0}));
    EXPECT_EQ(actual, 32u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 32),
              (Bytes{0x01, 0x20,                                      // response code
                     1,    0,    0,    0,                             // session id
                     1,    0,    0,    0,                             // transaction id
                     0x78, 0x56, 0x34, 0x12, 9, 0, 0, 0,              // params
                     0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0,  //
                     0xAA, 0xBB}));
}

TEST_F(EscapeTest, WriteTransactionSendsOneDataContainer) {
    Open();
    state_->replies = {{0x0C, 0, 0, 0, 0x03, 0, 0x01, 0x20, 1, 0, 0, 0}};
    Bytes in = Request(0x901B, {}, 4, {2, 1, 1, 4});
    Bytes out(30);
    uint32_t actual = 0;
    ASSERT_EQ(device_->Escape(in.data(), in.size(), out.data(), out.size(), &actual), kHrOk);
    ASSERT_EQ(state_->sent.size(), 2u);
    EXPECT_EQ(state_->sent[0], (Bytes{0x0C, 0, 0, 0, 0x01, 0, 0x1B, 0x90, 1, 0, 0, 0}));
    EXPECT_EQ(state_->sent[1], (Bytes{0x10, 0, 0, 0, 0x02, 0, 0x1B, 0x90, 1, 0, 0, 0, 2, 1, 1, 4}));
    EXPECT_EQ(actual, 30u);
    // The next transaction carries the next id.
    state_->replies = {{0x10, 0, 0, 0, 0x03, 0, 0x19, 0x20, 2, 0, 0, 0, 5, 0, 0, 0}};
    in = Request(0x901C, {5}, 4, Bytes(8, 0));
    ASSERT_EQ(device_->Escape(in.data(), in.size(), out.data(), out.size(), &actual), kHrOk);
    EXPECT_EQ(state_->sent[2], (Bytes{0x10, 0, 0, 0, 0x01, 0, 0x1C, 0x90, 2, 0, 0, 0, 5, 0, 0, 0}));
    EXPECT_EQ(state_->sent[3],
              (Bytes{0x14, 0, 0, 0, 0x02, 0, 0x1C, 0x90, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(out[0], 0x19);  // a PTP error response is still a successful escape
    EXPECT_EQ(out[1], 0x20);
}

TEST_F(EscapeTest, MalformedRequestsAreRefusedWithoutTalking) {
    Open();
    Bytes out(64);
    uint32_t actual = 99;
    Bytes in = Request(0x9011, {1, 2, 3, 4, 5}, 3);
    ptp::WriteU32(in.data() + 30, 6);
    EXPECT_EQ(device_->Escape(in.data(), in.size(), out.data(), out.size(), &actual),
              kHrInvalidArg);
    EXPECT_EQ(actual, 0u);
    in = Request(0x9011, {}, 7);
    EXPECT_EQ(device_->Escape(in.data(), in.size(), out.data(), out.size(), &actual),
              kHrInvalidArg);
    EXPECT_EQ(device_->Escape(in.data(), 37, out.data(), out.size(), &actual), kHrInvalidArg);
    in = Request(0x9011, {}, 3);
    EXPECT_EQ(device_->Escape(in.data(), 38, out.data(), 29, &actual), kHrInvalidArg);
    EXPECT_TRUE(state_->sent.empty());
}

TEST_F(EscapeTest, HostileDeviceBytesBreakTheSession) {
    const struct {
        const char* what;
        std::vector<Bytes> replies;
        HResult expected;
    } cases[] = {
        {"response of another transaction",
         {{0x0C, 0, 0, 0, 0x03, 0, 0x01, 0x20, 9, 0, 0, 0}},
         kHrInvalidData},
        {"response body not whole parameters",
         {{0x0E, 0, 0, 0, 0x03, 0, 0x01, 0x20, 1, 0, 0, 0, 1, 2}},
         kHrInvalidData},
        {"response with six parameters",
         {{0x24, 0, 0, 0, 0x03, 0, 0x01, 0x20, 1, 0, 0, 0}},
         kHrInvalidData},
        {"data of another operation",
         {{0x0E, 0, 0, 0, 0x02, 0, 0x12, 0x90, 1, 0, 0, 0, 1, 2}},
         kHrInvalidData},
        {"event container in the data phase",
         {{0x0C, 0, 0, 0, 0x04, 0, 0x01, 0x40, 1, 0, 0, 0}},
         kHrInvalidData},
        {"length below a header",
         {{0x04, 0, 0, 0, 0x03, 0, 0x01, 0x20, 1, 0, 0, 0}},
         kHrInvalidData},
        {"end of stream in the middle of data",
         {{0x20, 0, 0, 0, 0x02, 0, 0x11, 0x90, 1, 0, 0, 0, 1}},
         kHrDeviceNotConnected},
        {"data claims 4 GiB",
         {{0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0, 0x11, 0x90, 1, 0, 0, 0}},
         kHrInsufficientBuffer},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        Open();
        state_->replies.assign(c.replies.begin(), c.replies.end());
        Bytes in = Request(0x9011, {}, 3);
        Bytes out(64);
        uint32_t actual = 0;
        EXPECT_EQ(device_->Escape(in.data(), 38, out.data(), out.size(), &actual), c.expected);
        EXPECT_EQ(actual, 0u);
        // Broken: the next transaction fails at once without sending anything.
        size_t sent = state_->sent.size();
        state_->replies = {kOpenSessionOk};
        EXPECT_EQ(device_->Escape(in.data(), 38, out.data(), out.size(), &actual), c.expected);
        EXPECT_EQ(state_->sent.size(), sent);
        device_.reset();
    }
}

TEST_F(EscapeTest, OversizedDataIsDrainedAndTheSessionGoesOn) {
    Open();
    Bytes data = {0x20, 0, 0, 0, 0x02, 0, 0x11, 0x90, 1, 0, 0, 0};
    data.resize(0x20, 0x5A);
    state_->replies = {data, {0x0C, 0, 0, 0, 0x03, 0, 0x01, 0x20, 1, 0, 0, 0}};
    Bytes in = Request(0x9011, {}, 3);
    Bytes out(30 + 19, 0);
    uint32_t actual = 0;
    EXPECT_EQ(device_->Escape(in.data(), 38, out.data(), out.size(), &actual),
              kHrInsufficientBuffer);
    EXPECT_EQ(actual, 0u);
    EXPECT_EQ(out[30], 0);  // nothing written past the header room
    state_->replies = {{0x0D, 0, 0, 0, 0x02, 0, 0x11, 0x90, 2, 0, 0, 0, 7},
                       {0x0C, 0, 0, 0, 0x03, 0, 0x01, 0x20, 2, 0, 0, 0}};
    EXPECT_EQ(device_->Escape(in.data(), 38, out.data(), out.size(), &actual), kHrOk);
    EXPECT_EQ(actual, 31u);
    EXPECT_EQ(out[30], 7);
}

TEST_F(EscapeTest, ClosingSendsCloseSession) {
    Open();
    state_->replies = {{0x0C, 0, 0, 0, 0x03, 0, 0x01, 0x20, 1, 0, 0, 0}};
    device_.reset();
    ASSERT_EQ(state_->sent.size(), 1u);
    EXPECT_EQ(state_->sent[0], (Bytes{0x0C, 0, 0, 0, 0x01, 0, 0x03, 0x10, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace kvx::device
