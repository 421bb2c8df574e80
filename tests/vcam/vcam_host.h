// A bare host for the virtual camera tests: PTP containers over the socket,
// nothing of the camera link library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vcamtest {

struct Answer {
    bool io = false;       // the transaction completed on the wire
    bool hadData = false;  // a data container came before the response
    uint16_t code = 0;     // response code
    std::vector<uint8_t> data;
    std::vector<uint32_t> params;
};

class Host {
public:
    Host() = default;
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    bool Connect(const std::string& socketPath);
    void Close();
    bool OpenSession();
    // Command; the camera answers with data and a response.
    Answer Read(uint16_t op, std::vector<uint32_t> params = {});
    // Command and a data container; the camera answers with a response.
    Answer Write(uint16_t op, std::vector<uint8_t> data, std::vector<uint32_t> params = {});
    // Command, response only.
    Answer Plain(uint16_t op, std::vector<uint32_t> params = {});

private:
    bool SendCommand(uint16_t op, const std::vector<uint32_t>& params);
    bool ReadContainer(uint16_t& type, uint16_t& code, std::vector<uint8_t>& body);
    Answer Finish();
    int fd_ = -1;
    uint32_t tid_ = 0;
};

// Independent 8-bit byte sum.
uint8_t Sum8(const std::vector<uint8_t>& v, size_t from, size_t to);  // bytes [from, to)
uint16_t U16(const std::vector<uint8_t>& v, size_t at);
uint32_t U32(const std::vector<uint8_t>& v, size_t at);
// Reads a file piece by piece as the program does (0x9022, at most 2 MiB a
// piece); checks every piece and its more-data flag and returns the bytes.
std::vector<uint8_t> ReadWhole(Host& h, uint32_t objectId, uint64_t size);
// A write record with its checksum in the last byte.
std::vector<uint8_t> WithChecksum(std::vector<uint8_t> record);

}  // namespace vcamtest
