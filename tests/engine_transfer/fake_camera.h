// A scripted camera link and engine host for the transfer tests: the camera
// serves picture bytes from memory and picture lists from a queue, and lets
// a test replace any piece reply; the host records what the transfer asked
// of the engine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/null_camera_link.h"
#include "engine/transfer_host.h"

namespace kvx::engine::test {

struct PieceRequest {
    uint32_t objectId;
    uint32_t offset;
    uint32_t size;
};

// One picture file list reply.
struct ListReply {
    HResult hr = 0;
    std::vector<KVX_PICT_FILE_ENTRY> entries;
    uint32_t count = 0;  // reported; 0: entries.size()
    uint8_t multiPartInfo[28] = {};
    std::vector<uint8_t> record;  // the reply record; actual size = 30 + its size
    uint32_t reportedLength = 0;  // first form's list length; 0: record.size()
};

KVX_PICT_FILE_ENTRY MakeEntry(uint16_t format, const std::string& name, uint32_t size,
                              uint32_t objectId);
// Deterministic picture bytes.
std::vector<uint8_t> PictureBytes(size_t size, uint32_t seed);
void PutMultiPartInfo(uint8_t* out28, uint16_t part, uint16_t parts, uint32_t headerOffset,
                      uint32_t a, uint32_t b, uint32_t trailerOffset, uint32_t trailerLength);

class FakeCamera final : public kvx::engine::NullCameraLink {
public:
    // A piece reply the test builds itself: return false to let the default
    // reply go out. Fills reply (the whole record) and hr.
    using PieceHook = std::function<bool(int call, const PieceRequest&, std::vector<uint8_t>& reply,
                                         HResult& hr)>;

    std::map<uint32_t, std::vector<uint8_t>> objects;
    std::vector<ListReply> lists;  // served in order; none left: E_FAIL
    size_t nextList = 0;
    bool firstForm = false;  // lists come through GetPictFileInfo
    PieceHook pieceHook;
    std::vector<PieceRequest> pieces;

    std::map<int, std::vector<uint8_t>> captureStatus;  // id -> 8-byte record
    std::map<int, HResult> captureStatusFails;
    std::vector<int> captureStatusReads;
    std::vector<int> cleared;

    // The default piece reply: up to size bytes of the object at offset, the
    // more-data flag set while bytes remain after them.
    static std::vector<uint8_t> PieceReply(const std::vector<uint8_t>& object, uint32_t offset,
                                           uint32_t size);

    HResult InitPTPMode() override { return 0; }
    HResult ReleaseDevInfo() override { return 0; }
    HResult GetCaptureStatus(int32_t id, uint8_t* out) override;
    HResult GetPictFileInfo(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries, uint32_t* count,
                            uint8_t** raw, uint32_t* rawLength) override;
    HResult GetPictFileInfo2(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries, uint32_t* count,
                             uint8_t* isMultiPart, uint8_t* multiPartInfo, uint8_t** raw,
                             uint32_t* actualSize) override;
    HResult GetBigPartialPictFile(uint32_t objectId, uint32_t offset, uint32_t size, uint8_t** data,
                                  uint32_t* actualSize) override;
    HResult ClearImageDBSignle(int32_t id) override {
        cleared.push_back(id);
        return 0;
    }
    HResult CloseApplication() override { return 0; }
    HResult SetDataGroup1(uint8_t*) override { return 0; }
    HResult SetDataGroup2(uint8_t*) override { return 0; }
    HResult SetDataGroup3(uint8_t*) override { return 0; }
    HResult SetDataGroup4(uint8_t*) override { return 0; }
    HResult SetDataGroup5(uint8_t*) override { return 0; }
    HResult SetDataGroup6(uint8_t*) override { return 0; }
    HResult Snap(uint8_t*) override { return 0; }
    HResult ClockAdjust(uint8_t*) override { return 0; }

private:
    std::vector<uint8_t> listBuffer_;   // as large as the library's reply record
    std::vector<uint8_t> pieceBuffer_;  // valid until the next call
};

class FakeHost final : public ITransferHost {
public:
    struct Posted {
        int target;
        uint32_t msg;
        uintptr_t wParam;
    };

    int state = 3;
    bool extended = true;
    int major = 4;
    uint16_t changeFlags = 0x0008;
    int execCommands = 0;
    std::vector<int> stateRequests;
    std::vector<Posted> posted;
    int overrideCalls = 0;
    bool overrideActive = false;
    std::function<void()> onExecCommand;

    int CommState() const override { return state; }
    void SetCommStateIfRunning(int s) override {
        stateRequests.push_back(s);
        if (state != 0) state = s;
    }
    bool ExecCommand() override {
        ++execCommands;
        if (onExecCommand) onExecCommand();
        return true;
    }
    bool IsExtendedCamera() const override { return extended; }
    int ProtocolMajor() const override { return major; }
    uint16_t LastChangeFlags() const override { return changeFlags; }
    void PostMessage(int target, uint32_t msg, uintptr_t wParam, intptr_t) override {
        posted.push_back({target, msg, wParam});
    }
    bool ActivateAutofocusOverride() override {
        ++overrideCalls;
        if (overrideActive) return false;
        overrideActive = true;
        return true;
    }
};

}  // namespace kvx::engine::test
