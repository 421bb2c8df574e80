// Builds status records 2 the way a camera lays them out.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/status_records.h"

namespace kvx::test {

// Builds a status record 2 the way a camera lays it out.
class Status2Builder {
public:
    Status2Builder() : bytes_(kvx::engine::kStatusRecord2Size, 0) {}
    Status2Builder& Item(uint16_t type, uint32_t count, uint32_t value) {
        size_t at = 8 + 12 * items_;
        Put16(at, type);
        Put32(at + 4, count);
        Put32(at + 8, value);
        ++items_;
        return *this;
    }
    // Adds an item with its data: in the value field when the data fits into
    // 4 bytes, else at the next free data offset. count defaults to the
    // number of data bytes (picture id items count ids).
    Status2Builder& DataItem(uint16_t type, const std::vector<uint8_t>& data, uint32_t count = 0) {
        uint32_t n = count ? count : static_cast<uint32_t>(data.size());
        if (data.size() <= 4) {
            uint32_t value = 0;
            for (size_t i = 0; i < data.size(); ++i)
                value |= static_cast<uint32_t>(data[i]) << (8 * i);
            return Item(type, n, value);
        }
        uint32_t offset = dataAt_;
        std::memcpy(bytes_.data() + offset, data.data(), data.size());
        dataAt_ += static_cast<uint32_t>(data.size());
        return Item(type, n, offset);
    }
    Status2Builder& Count(uint32_t n) {
        countOverride_ = n;
        return *this;
    }
    Status2Builder& Total(uint32_t t) {
        totalOverride_ = t;
        return *this;
    }
    std::vector<uint8_t> Build() {
        Put32(0, totalOverride_ ? totalOverride_ : dataAt_);
        Put32(4, countOverride_ ? countOverride_ : static_cast<uint32_t>(items_));
        return bytes_;
    }
    // The size the link reports: the whole reply, header included.
    uint32_t ReplySize() const { return kvx::engine::kReplyHeaderSize + dataAt_; }

private:
    void Put16(size_t at, uint16_t v) {
        bytes_[at] = static_cast<uint8_t>(v);
        bytes_[at + 1] = static_cast<uint8_t>(v >> 8);
    }
    void Put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    std::vector<uint8_t> bytes_;
    size_t items_ = 0;
    uint32_t dataAt_ = 1024;  // data blocks start here
    uint32_t countOverride_ = 0;
    uint32_t totalOverride_ = 0;
};

}  // namespace kvx::test
