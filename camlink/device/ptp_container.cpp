#include "camlink/device/ptp_container.h"

namespace kvx::ptp {

std::optional<Header> DecodeHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderSize) return std::nullopt;
    Header h;
    h.length = ReadU32(bytes.data());
    uint16_t type = ReadU16(bytes.data() + 4);
    h.code = ReadU16(bytes.data() + 6);
    h.transactionId = ReadU32(bytes.data() + 8);
    if (h.length < kHeaderSize || type < 1 || type > 4) return std::nullopt;
    h.type = static_cast<ContainerType>(type);
    return h;
}

void EncodeHeader(const Header& h, uint8_t out[kHeaderSize]) {
    WriteU32(out, h.length);
    WriteU16(out + 4, static_cast<uint16_t>(h.type));
    WriteU16(out + 6, h.code);
    WriteU32(out + 8, h.transactionId);
}

std::vector<uint8_t> EncodeParams(ContainerType type, uint16_t code, uint32_t transactionId,
                                  std::span<const uint32_t> params) {
    size_t n = params.size() < kMaxParams ? params.size() : kMaxParams;
    std::vector<uint8_t> out(kHeaderSize + 4 * n);
    EncodeHeader({static_cast<uint32_t>(out.size()), type, code, transactionId}, out.data());
    for (size_t i = 0; i < n; ++i) WriteU32(out.data() + kHeaderSize + 4 * i, params[i]);
    return out;
}

std::optional<std::vector<uint32_t>> DecodeParams(std::span<const uint8_t> body) {
    if (body.size() % 4 != 0 || body.size() / 4 > kMaxParams) return std::nullopt;
    std::vector<uint32_t> params(body.size() / 4);
    for (size_t i = 0; i < params.size(); ++i) params[i] = ReadU32(body.data() + 4 * i);
    return params;
}

Header DataHeader(uint16_t code, uint32_t transactionId, size_t payloadSize) {
    return {static_cast<uint32_t>(kHeaderSize + payloadSize), ContainerType::Data, code, transactionId};
}

}  // namespace kvx::ptp
