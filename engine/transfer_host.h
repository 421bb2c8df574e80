// What the picture transfer side needs from the engine that runs it.
#pragma once

#include <cstdint>

namespace kvx::engine {

class ITransferHost {
public:
    virtual ~ITransferHost() = default;
    // Current state of the communication thread (0 = stopped).
    virtual int CommState() const = 0;
    // Sets the state under the application lock, only when it is not 0, so a
    // stop request is never overwritten.
    virtual void SetCommStateIfRunning(int state) = 0;
    // Sends the queued commands; false when a command failed.
    virtual bool ExecCommand() = 0;
    // True for cameras that speak the extended (5ex/6ex) records.
    virtual bool IsExtendedCamera() const = 0;
    virtual int ProtocolMajor() const = 0;
    // Change flags of the last camera status record.
    virtual uint16_t LastChangeFlags() const = 0;
    virtual void PostMessage(int target, uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
    // True when the autofocus override became active by this call; the engine
    // then posts WM_USER+105 with wParam 0 to the main window.
    virtual bool ActivateAutofocusOverride() = 0;
};

}  // namespace kvx::engine
