// The DataGroup writes the communication thread performs for queued setting
// commands: build the set request (the settings model's builders, sized for
// the largest record an export sends), call the group's export, log the result.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/camera_link.h"

namespace kvx::engine {

class CSettingSender {
public:
    explicit CSettingSender(ICameraLink& link) : link_(link) {}

    // Plain form: count 3, Field1, Field2, the value's low byte.
    bool SetDataGroup1(uint8_t field1, uint8_t field2, int32_t value);
    bool SetDataGroup2(uint8_t field1, uint8_t field2, int32_t value);
    bool SetDataGroup3(uint8_t field1, uint8_t field2, int32_t value);
    bool SetDataGroup4(uint8_t field1, uint8_t field2, int32_t value);
    bool SetDataGroup5(uint8_t field1, uint8_t field2, int32_t value);
    bool SetDataGroup6(uint8_t field1, uint8_t field2, int32_t value);
    // Extended form: count length + 2, Field1, Field2, then length data
    // bytes. length is held to 0 .. 32, the size of the command's data block.
    bool SetDataGroup5ex(uint8_t field1, uint8_t field2, int32_t length, const uint8_t* data);
    bool SetDataGroup6ex(uint8_t field1, uint8_t field2, int32_t length, const uint8_t* data);

    // Group 1..6 plain form; false for any other group.
    bool SetDataGroup(int group, uint8_t field1, uint8_t field2, int32_t value);

private:
    HResult Send(int group, uint8_t* request);
    bool SendExtended(int group, uint8_t field1, uint8_t field2, int32_t length,
                      const uint8_t* data);
    ICameraLink& link_;
};

}  // namespace kvx::engine
