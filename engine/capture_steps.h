// The two capture steps the communication thread runs in its states 4 and 3,
// and the bits of status it hands over after each status read. The picture
// transfer side implements this; the engine only calls it from its thread.
//
// Picture ids: the capture status table holds ids 0..63. Ids handed over by
// SetPictureIdList come straight from the camera and may be larger; the
// implementation must ignore any id above 63 (the engine never indexes the
// table with them, and keeps them in the list so nothing is silently lost).
#pragma once

#include <cstdint>

namespace kvx::engine {

class ICaptureSteps {
public:
    virtual ~ICaptureSteps() = default;
    // State 4: read the capture status of the pictures the camera reported.
    virtual void OnUpdateCaptureStatus() = 0;
    // State 3: fetch the picture file list and transfer the pictures.
    virtual void GetPictFileInfo() = 0;
    // Pictures known to the camera that still wait for transfer.
    virtual int PendingPictureCount() = 0;
    // Sets every capture status code to 0 (the linked camera has gone, or a
    // transfer gave up); called on the window thread by the camera search.
    virtual void ClearCaptureStatusTable() = 0;
    // Forgets the last capture status record: a new link starts without
    // the previous camera's record.
    virtual void ClearLastCaptureStatus() = 0;
    // Picture bits of the camera status record (bit n = picture id n ready).
    virtual void SetPictureBits(uint32_t bits) = 0;
    // Picture ids of status record 2; count is bounded by the received bytes.
    // Ids above 63 are passed on unchanged and must be ignored by the callee.
    virtual void SetPictureIdList(const uint16_t* ids, int count) = 0;
    // The link ends: the thread's last step before it lets go of the camera.
    // What was only partly received is settled and reported now, not when
    // the program ends.
    virtual void OnLinkEnded() {}
};

}  // namespace kvx::engine
