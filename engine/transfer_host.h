// What the picture transfer side needs from the engine that runs it, and the
// communication states the thread moves through.
#pragma once

#include <cstdint>

namespace kvx::engine {

// Communication states of the thread's loop.
enum CommState : int {
    kCommStopped = 0,        // stopped, or asked to stop: nothing may overwrite it
    kCommPolling = 1,        // status polling and the live view tick
    kCommFetchRecords = 2,   // fetch the records the change flags name (protocol 3.x)
    kCommTransfer = 3,       // read the ready pictures
    kCommCaptureStatus = 4,  // read the capture status of the pictures reported
};

class ITransferHost {
public:
    virtual ~ITransferHost() = default;
    // Current state of the communication thread. Any thread; an atomic read.
    virtual int CommState() const = 0;
    // Sets the state under the application lock, only when it is not
    // kCommStopped, so a stop request is never overwritten.
    virtual void SetCommStateIfRunning(int state) = 0;
    // Communication thread only: sends the queued commands, at most one per
    // call. Returns false when nothing was sent: the queue was empty, the
    // window is gone, or the thread is stopping (a command taken just then
    // goes with the link). True when a command was taken and handed to the
    // camera, whatever the camera answered: a failed send is logged, never
    // reported here.
    virtual bool ExecCommand() = 0;
    // True for cameras that speak the extended (5ex/6ex) records.
    virtual bool IsExtendedCamera() const = 0;
    virtual int ProtocolMajor() const = 0;
    // Change flags of the last camera status record.
    virtual uint16_t LastChangeFlags() const = 0;
    // Posts through the message port; any thread, never blocks.
    virtual void PostMessage(int target, uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
    // True when the autofocus override became active by this call; the engine
    // then posts WM_USER+105 with wParam 0 to the main window.
    virtual bool ActivateAutofocusOverride() = 0;
};

}  // namespace kvx::engine
