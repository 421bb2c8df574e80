// The live view half of the communication thread's tick: the engine paces,
// the live view side fetches and shows the frames.
#pragma once

namespace kvx::engine {

class ILiveViewStep {
public:
    virtual ~ILiveViewStep() = default;
    // Communication starts: write and display slot index -1, composition index 0.
    virtual void OnCommunicationStart() = 0;
    // One due tick with the live view window open on a protocol 4 camera:
    // fetch, convert, compose and paint one frame. 0 drawn or dropped, 1 no
    // window, 2 wrong format, -1 the camera refused the frame (the link ends).
    virtual int GetLiveViewFrame() = 0;
    // The link is ready and the live view window is open: refresh it.
    virtual void RefreshAfterLink() = 0;
};

}  // namespace kvx::engine
