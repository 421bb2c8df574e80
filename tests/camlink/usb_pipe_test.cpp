// The USB pipe driven through a fake bulk transport: packet rounding, short
// reads, zero-length packets, and the counts a transport reports.
#include "camlink/device/usb_pipe.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

#include "camlink/device/ptp_device.h"

namespace kvx::device {
namespace {

using Bytes = std::vector<uint8_t>;

class FakeBulk final : public IBulkTransport {
public:
    struct In {
        Bytes bytes;  // what the device sends in this transfer
        BulkResult result = BulkResult::Ok;
        size_t claim = SIZE_MAX;  // reported count, when it lies
    };
    struct State {
        size_t packet = 512;
        std::vector<Bytes> outs;         // every bulk-out transfer
        std::vector<size_t> inRequests;  // lengths asked for
        std::deque<In> ins;
        BulkResult outResult = BulkResult::Ok;
        size_t outShort = 0;  // when non-zero, each bulk-out takes at most this many bytes
    };
    explicit FakeBulk(std::shared_ptr<State> s) : s_(std::move(s)) {}
    size_t PacketSize() const override { return s_->packet; }
    BulkResult BulkOut(const uint8_t* data, size_t length, size_t* transferred, unsigned) override {
        size_t n = s_->outShort && length > s_->outShort ? s_->outShort : length;
        s_->outs.emplace_back(data, data + n);
        *transferred = s_->outResult == BulkResult::Ok ? n : 0;
        return s_->outResult;
    }
    BulkResult BulkIn(uint8_t* data, size_t length, size_t* transferred, unsigned) override {
        s_->inRequests.push_back(length);
        *transferred = 0;
        if (s_->ins.empty()) return BulkResult::Timeout;
        In in = std::move(s_->ins.front());
        s_->ins.pop_front();
        // A real device never sends more than asked; the fake may claim more.
        size_t n = std::min(in.bytes.size(), length);
        std::copy(in.bytes.begin(), in.bytes.begin() + static_cast<long>(n), data);
        *transferred = in.claim != SIZE_MAX ? in.claim : n;
        return in.result;
    }

private:
    std::shared_ptr<State> s_;
};

class UsbPipeTest : public ::testing::Test {
protected:
    UsbPipeTest() : s_(std::make_shared<FakeBulk::State>()) {}
    std::unique_ptr<UsbPipe> Pipe() {
        return std::make_unique<UsbPipe>(std::make_unique<FakeBulk>(s_));
    }
    std::shared_ptr<FakeBulk::State> s_;
};

TEST_F(UsbPipeTest, ShortReadsAskForAWholePacketAndKeepTheRest) {
    auto pipe = Pipe();
    Bytes packet(100);
    for (size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<uint8_t>(i);
    s_->ins.push_back({packet});
    uint8_t header[12];
    size_t got = 0;
    ASSERT_EQ(pipe->Receive(header, &got), PipeStatus::Ok);
    EXPECT_EQ(got, 12u);
    EXPECT_EQ(s_->inRequests, std::vector<size_t>{512});
    EXPECT_EQ(header[11], 11);
    // The rest comes from the staging buffer without another transfer.
    Bytes rest(200);
    ASSERT_EQ(pipe->Receive(rest, &got), PipeStatus::Ok);
    EXPECT_EQ(got, 88u);
    EXPECT_EQ(rest[0], 12);
    EXPECT_EQ(s_->inRequests.size(), 1u);
}

TEST_F(UsbPipeTest, LargeReadsGoStraightIntoTheBufferInWholePackets) {
    auto pipe = Pipe();
    s_->ins.push_back({Bytes(1536, 7)});
    Bytes into(2000);
    size_t got = 0;
    ASSERT_EQ(pipe->Receive(into, &got), PipeStatus::Ok);
    EXPECT_EQ(got, 1536u);
    EXPECT_EQ(s_->inRequests, std::vector<size_t>{1536});  // never more than the buffer holds
    // Huge buffers are read in transfers of at most 1 MiB.
    s_->ins.push_back({Bytes(UsbPipe::kMaxTransfer, 1)});
    Bytes big(3 * UsbPipe::kMaxTransfer);
    ASSERT_EQ(pipe->Receive(big, &got), PipeStatus::Ok);
    EXPECT_EQ(s_->inRequests.back(), UsbPipe::kMaxTransfer);
}

TEST_F(UsbPipeTest, CountsBeyondTheRequestAreErrors) {
    auto pipe = Pipe();
    s_->ins.push_back({Bytes(512, 1), BulkResult::Ok, 513});
    Bytes into(512);
    size_t got = 0;
    EXPECT_EQ(pipe->Receive(into, &got), PipeStatus::Error);
    EXPECT_EQ(got, 0u);
    s_->ins.push_back({Bytes(10, 1), BulkResult::Ok, 600});
    uint8_t small[8];
    EXPECT_EQ(pipe->Receive(small, &got), PipeStatus::Error);
}

TEST_F(UsbPipeTest, ZeroLengthPacketsAreSkippedButNotForever) {
    auto pipe = Pipe();
    s_->ins.push_back({{}});
    s_->ins.push_back({{1, 2, 3}});
    uint8_t into[8];
    size_t got = 0;
    ASSERT_EQ(pipe->Receive(into, &got), PipeStatus::Ok);
    EXPECT_EQ(got, 3u);
    for (int i = 0; i < 10; ++i) s_->ins.push_back({{}});
    EXPECT_EQ(pipe->Receive(into, &got), PipeStatus::Error);
}

TEST_F(UsbPipeTest, TimeoutsAndRemovalMapToPipeStatus) {
    auto pipe = Pipe();
    uint8_t into[8];
    size_t got = 0;
    // A timeout that still moved bytes delivers them.
    s_->ins.push_back({{9, 9}, BulkResult::Timeout});
    ASSERT_EQ(pipe->Receive(into, &got), PipeStatus::Ok);
    EXPECT_EQ(got, 2u);
    s_->ins.push_back({{}, BulkResult::Timeout});
    EXPECT_EQ(pipe->Receive(into, &got), PipeStatus::Timeout);
    s_->ins.push_back({{}, BulkResult::Gone});
    EXPECT_EQ(pipe->Receive(into, &got), PipeStatus::Closed);
    s_->ins.push_back({{}, BulkResult::Error});
    EXPECT_EQ(pipe->Receive(into, &got), PipeStatus::Error);
}

TEST_F(UsbPipeTest, SendsEndWithAZeroLengthPacketOnlyOnAPacketBoundary) {
    auto pipe = Pipe();
    ASSERT_EQ(pipe->SendContainer(Bytes(100, 1)), PipeStatus::Ok);
    ASSERT_EQ(s_->outs.size(), 1u);
    ASSERT_EQ(pipe->SendContainer(Bytes(1024, 2)), PipeStatus::Ok);
    ASSERT_EQ(s_->outs.size(), 3u);
    EXPECT_EQ(s_->outs[1].size(), 1024u);
    EXPECT_TRUE(s_->outs[2].empty());
    // A device that takes part of a transfer gets the rest in the next one.
    s_->outs.clear();
    s_->outShort = 300;
    ASSERT_EQ(pipe->SendContainer(Bytes(700, 3)), PipeStatus::Ok);
    ASSERT_EQ(s_->outs.size(), 3u);
    EXPECT_EQ(s_->outs[2].size(), 100u);
    s_->outResult = BulkResult::Gone;
    EXPECT_EQ(pipe->SendContainer(Bytes(10, 3)), PipeStatus::Closed);
}

TEST_F(UsbPipeTest, WholeTransactionOverTheUsbPipe) {
    // Open session: the response in one short packet.
    s_->ins.push_back({{0x0C, 0, 0, 0, 0x03, 0, 0x01, 0x20, 0, 0, 0, 0}});
    std::unique_ptr<PtpDevice> device;
    ASSERT_EQ(PtpDevice::OpenOver(Pipe(), &device), kHrOk);
    // A 1,500-byte payload: first packet holds the header and 500 bytes,
    // then 512 bytes direct, then the 488-byte tail through the staging buffer.
    Bytes container = {0xE8, 0x05, 0, 0, 0x02, 0, 0x22, 0x90, 1, 0, 0, 0};
    for (int i = 0; i < 1500; ++i) container.push_back(static_cast<uint8_t>(i * 3));
    s_->ins.push_back({Bytes(container.begin(), container.begin() + 512)});
    s_->ins.push_back({Bytes(container.begin() + 512, container.begin() + 1024)});
    s_->ins.push_back({Bytes(container.begin() + 1024, container.end())});
    s_->ins.push_back({{0x0C, 0, 0, 0, 0x03, 0, 0x01, 0x20, 1, 0, 0, 0}});
    Bytes in(38, 0);
    in[0] = 0x22;
    in[1] = 0x90;
    in[34] = 3;
    Bytes out(30 + 4000);
    uint32_t actual = 0;
    ASSERT_EQ(device->Escape(in.data(), in.size(), out.data(), out.size(), &actual), kHrOk);
    EXPECT_EQ(actual, 1530u);
    EXPECT_TRUE(std::equal(container.begin() + 12, container.end(), out.begin() + 30));
    for (size_t r : s_->inRequests) EXPECT_EQ(r % 512, 0u);
}

}  // namespace
}  // namespace kvx::device
