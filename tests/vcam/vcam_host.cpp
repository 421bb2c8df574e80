#include "vcam_host.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "camlink/device/ptp_container.h"

namespace vcamtest {

namespace {

// Five seconds without a byte means the camera hung: fail the read.
bool RecvExact(int fd, uint8_t* out, size_t n) {
    size_t got = 0;
    while (got < n) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) return false;
        ssize_t r = ::recv(fd, out + got, n - got, 0);
        if (r <= 0) return false;
        got += size_t(r);
    }
    return true;
}

bool SendAll(int fd, const uint8_t* p, size_t n) {
    while (n) {
        ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
        if (r <= 0) return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

}  // namespace

Host::~Host() {
    Close();
}

bool Host::Connect(const std::string& socketPath) {
    Close();
    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath.c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        Close();
        return false;
    }
    return true;
}

void Host::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool Host::OpenSession() {
    Answer a = Plain(kvx::ptp::kOpOpenSession, {1});
    return a.io && a.code == kvx::ptp::kResponseOk;
}

bool Host::SendCommand(uint16_t op, const std::vector<uint32_t>& params) {
    auto c = kvx::ptp::EncodeParams(kvx::ptp::ContainerType::Command, op, ++tid_, params);
    return fd_ >= 0 && SendAll(fd_, c.data(), c.size());
}

bool Host::ReadContainer(uint16_t& type, uint16_t& code, std::vector<uint8_t>& body) {
    uint8_t head[kvx::ptp::kHeaderSize];
    if (!RecvExact(fd_, head, sizeof head)) return false;
    auto h = kvx::ptp::DecodeHeader(head);
    if (!h || h->transactionId != tid_) return false;
    type = uint16_t(h->type);
    code = h->code;
    body.assign(h->length - kvx::ptp::kHeaderSize, 0);
    return body.empty() || RecvExact(fd_, body.data(), body.size());
}

Answer Host::Finish() {
    Answer a;
    uint16_t type = 0, code = 0;
    std::vector<uint8_t> body;
    if (!ReadContainer(type, code, body)) return a;
    if (type == uint16_t(kvx::ptp::ContainerType::Data)) {
        a.hadData = true;
        a.data = std::move(body);
        if (!ReadContainer(type, code, body)) return a;
    }
    if (type != uint16_t(kvx::ptp::ContainerType::Response)) return a;
    auto params = kvx::ptp::DecodeParams(body);
    if (!params) return a;
    a.params = *params;
    a.code = code;
    a.io = true;
    return a;
}

Answer Host::Read(uint16_t op, std::vector<uint32_t> params) {
    if (!SendCommand(op, params)) return {};
    return Finish();
}

Answer Host::Write(uint16_t op, std::vector<uint8_t> data, std::vector<uint32_t> params) {
    if (!SendCommand(op, params)) return {};
    uint8_t head[kvx::ptp::kHeaderSize];
    kvx::ptp::EncodeHeader(kvx::ptp::DataHeader(op, tid_, data.size()), head);
    if (!SendAll(fd_, head, sizeof head) || !SendAll(fd_, data.data(), data.size())) return {};
    return Finish();
}

Answer Host::Plain(uint16_t op, std::vector<uint32_t> params) {
    if (!SendCommand(op, params)) return {};
    return Finish();
}

// Reads a file piece by piece as the program does; checks the more-data flag
// of every piece and returns the bytes.
std::vector<uint8_t> ReadWhole(Host& h, uint32_t objectId, uint64_t size) {
    std::vector<uint8_t> file;
    uint64_t offset = 0;
    for (int guard = 0; guard < 1000; ++guard) {
        uint32_t ask = uint32_t(std::min<uint64_t>(size - offset, 0x200000));
        Answer a = h.Read(0x9022, {objectId, uint32_t(offset), ask});
        EXPECT_TRUE(a.io);
        EXPECT_EQ(a.code, kvx::ptp::kResponseOk);
        if (!a.io || a.code != kvx::ptp::kResponseOk || a.data.size() < 6) break;
        uint32_t len = U32(a.data, 0);
        EXPECT_EQ(a.data.size(), 4 + size_t(len) + 2);
        EXPECT_EQ(len, ask);
        file.insert(file.end(), a.data.begin() + 4, a.data.begin() + 4 + len);
        offset += len;
        bool more = U16(a.data, 4 + len) != 0;
        EXPECT_EQ(more, offset < size) << "at " << offset;
        if (!more) break;
    }
    return file;
}

uint8_t Sum8(const std::vector<uint8_t>& v, size_t from, size_t to) {
    unsigned s = 0;
    for (size_t i = from; i < to && i < v.size(); ++i) s += v[i];
    return uint8_t(s & 0xFF);
}

uint16_t U16(const std::vector<uint8_t>& v, size_t at) {
    return at + 2 <= v.size() ? uint16_t(v[at] | v[at + 1] << 8) : 0;
}

uint32_t U32(const std::vector<uint8_t>& v, size_t at) {
    return at + 4 <= v.size() ? uint32_t(v[at]) | uint32_t(v[at + 1]) << 8 |
                                    uint32_t(v[at + 2]) << 16 | uint32_t(v[at + 3]) << 24
                              : 0;
}

std::vector<uint8_t> WithChecksum(std::vector<uint8_t> record) {
    record.back() = Sum8(record, 0, record.size() - 1);
    return record;
}

}  // namespace vcamtest
