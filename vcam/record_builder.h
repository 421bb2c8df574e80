// Builds the records the camera sends, from its own reading of the layouts:
// configuration, camera status and status record 2, capture status,
// settable info of each generation, both picture list forms and live view
// frames. Every record carries its checksum; bad = true puts a wrong one in.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "vcam/camera_settings.h"
#include "vcam/picture_store.h"
#include "vcam/virtual_camera.h"

namespace kvx::vcam {

class RecordBuilder {
public:
    static std::vector<uint8_t> Config(const VirtualCameraOptions& o, bool bad);
    // The change flags and picture bits of what changed since the last status.
    static std::vector<uint8_t> Status(int16_t state, const CameraSettings& settings,
                                       const std::set<int>& changedIds, int generation, bool bad);
    static std::vector<uint8_t> Status2(int16_t state, const CameraSettings& settings,
                                        const std::set<int>& changedIds, int generation);
    static std::vector<uint8_t> CaptureStatus(int id, const PictureStore& store, bool bad);
    // Settable info of version 1..4; program shift is offered in P only.
    static std::vector<uint8_t> SetInfo(int version, const CameraSettings& settings, bool bad);
    static std::vector<uint8_t> ListFirstForm(const PictureEntry* e,
                                              const std::vector<PictureFile>& files, bool bad);
    static std::vector<uint8_t> ListSecondForm(const PictureEntry* e,
                                               const std::vector<PictureFile>& files, bool bad);
    static std::vector<uint8_t> LiveViewFrame(uint32_t frame, uint16_t displayWidth,
                                              uint16_t displayHeight);
};

}  // namespace kvx::vcam
