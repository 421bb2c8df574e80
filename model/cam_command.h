// The queued camera command: one setting change, a shutter release or a clock
// setting. Windows build one, append it to the main window's queue, and the
// communication thread performs it. Copied by value in and out of the queue.
#pragma once

#include <cstdint>

// Camera operation codes the queue carries.
inline constexpr uint32_t kCmdSetDataGroup1 = 0x9016;
inline constexpr uint32_t kCmdSetDataGroup2 = 0x9017;
inline constexpr uint32_t kCmdSetDataGroup3 = 0x9018;
inline constexpr uint32_t kCmdClockAdjust = 0x9019;
inline constexpr uint32_t kCmdSnap = 0x901B;
inline constexpr uint32_t kCmdSetDataGroup4 = 0x9024;
inline constexpr uint32_t kCmdSetDataGroup5 = 0x9028;
inline constexpr uint32_t kCmdSetDataGroup6 = 0x902A;

// Largest data block of the extended (multi-byte) form.
inline constexpr int kCamCommandDataMax = 32;

struct tag_CAM_COMMAND {
    uint32_t command = 0;  // operation code (kCmd...)
    uint8_t extended = 0;  // groups 5 and 6 only: 1 = data block form
    union Payload {
        struct Setting {
            uint8_t Field1;
            uint8_t Field2;
            // Plain form: the new value (the camera receives its low byte).
            // Extended form: the number of bytes of data that are sent.
            int32_t value;
            uint8_t data[kCamCommandDataMax];
        } setting;
        uint8_t shutter[4];  // 0x901B: 2, mode, frame count, checksum (filled by the library)
        uint8_t clock[8];    // 0x9019: the clock record
    } payload{};
};

// Operation code of a data group's set command (group 1..6), 0 for any other group.
constexpr uint32_t SetCommandOfGroup(int group) {
    switch (group) {
        case 1:
            return kCmdSetDataGroup1;
        case 2:
            return kCmdSetDataGroup2;
        case 3:
            return kCmdSetDataGroup3;
        case 4:
            return kCmdSetDataGroup4;
        case 5:
            return kCmdSetDataGroup5;
        case 6:
            return kCmdSetDataGroup6;
        default:
            return 0;
    }
}

// Data group (1..6) of a set command, 0 for any other operation.
constexpr int GroupOfSetCommand(uint32_t command) {
    switch (command) {
        case kCmdSetDataGroup1:
            return 1;
        case kCmdSetDataGroup2:
            return 2;
        case kCmdSetDataGroup3:
            return 3;
        case kCmdSetDataGroup4:
            return 4;
        case kCmdSetDataGroup5:
            return 5;
        case kCmdSetDataGroup6:
            return 6;
        default:
            return 0;
    }
}
