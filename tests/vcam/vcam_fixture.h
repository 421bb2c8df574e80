// A private device folder per test and a camera opened by a bare host: the
// fixture of the virtual camera tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "vcam/virtual_camera.h"
#include "vcam_host.h"

namespace vcamtest {

class VcamFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vcam-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    kvx::vcam::VirtualCameraOptions Options() {
        kvx::vcam::VirtualCameraOptions o;
        o.deviceDir = dir_;
        o.pictureBytes = 100'000;
        return o;
    }
    // Starts the camera and opens a session.
    void Open(kvx::vcam::VirtualCamera& cam, Host& h) {
        ASSERT_TRUE(cam.Start());
        ASSERT_TRUE(h.Connect(cam.SocketPath()));
        ASSERT_TRUE(h.OpenSession());
    }
    std::string dir_;
};

}  // namespace vcamtest
