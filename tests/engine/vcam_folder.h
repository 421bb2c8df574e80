// A private device folder with virtual cameras in it, for tests that drive
// the engine through the real camera link library: the folder, the device
// layer pointed at it (no USB), a fast clock, and the cameras started there.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "engine/main_engine.h"
#include "platform/clock.h"
#include "vcam/virtual_camera.h"

namespace kvx::test {

class VcamFolder {
public:
    // Makes the folder with "devices" and "pictures" in it.
    void SetUp(const char* prefix) {
        std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        root = tmpl;
        std::filesystem::create_directories(root / "devices");
        std::filesystem::create_directories(root / "pictures");
        ::setenv("KVX_DEVICE_DIR", (root / "devices").c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
        kvx::SetClock(std::make_shared<kvx::ScaledClock>(100));
        kvx::engine::CMainEngine::ResetStatusFailureCount();
    }
    // Call after whatever used the camera has stopped.
    void TearDown() {
        camera.reset();
        kvx::SetClock(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    kvx::vcam::VirtualCamera& StartCamera(kvx::vcam::VirtualCameraOptions o) {
        o.deviceDir = (root / "devices").string();
        camera = std::make_unique<kvx::vcam::VirtualCamera>(o);
        EXPECT_TRUE(camera->Start());
        return *camera;
    }

    std::filesystem::path root;
    std::unique_ptr<kvx::vcam::VirtualCamera> camera;
};

}  // namespace kvx::test
