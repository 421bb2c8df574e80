// Per-test private device folder with scripted cameras, and a reader of the
// library's log beside this test executable (its Varno_Kolvex.ini sets level 5).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "camlink/varno_usb.h"
#include "platform/paths.h"
#include "scripted_peer.h"

namespace kvx::test {

#if KVX_TEST_MODEL_CODE == 130
inline constexpr const char* kOwnProduct = "PID_5E30";
inline constexpr const char* kOwnProduct2 = "PID_5E40";
inline constexpr const char* kOtherProduct = "PID_5D10";
#else
inline constexpr const char* kOwnProduct = "PID_5D10";
inline constexpr const char* kOwnProduct2 = "PID_5D20";
inline constexpr const char* kOtherProduct = "PID_5E30";
#endif

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvxcl-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        deviceDir_ = root_ + "/devices";
        std::filesystem::create_directories(deviceDir_);
        ::setenv("KVX_DEVICE_DIR", deviceDir_.c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
        logPath_ = kvx::ExecutableFolder() + "kvx.log";
        std::error_code ec;
        logStart_ =
            std::filesystem::exists(logPath_, ec) ? std::filesystem::file_size(logPath_, ec) : 0;
    }
    void TearDown() override {
        ReleaseDevInfo_Parts();
        peers_.clear();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    ScriptedPeer& AddCamera(const std::string& instance, const std::string& product) {
        return AddCamera(CameraRegistration(instance, product));
    }
    ScriptedPeer& AddCamera(kvx::device::VirtualRegistration r) {
        peers_.push_back(std::make_unique<ScriptedPeer>(deviceDir_, root_, std::move(r)));
        return *peers_.back();
    }

    // Lines the library logged since this test began (text after the level field).
    std::vector<std::string> LogLines() const {
        std::vector<std::string> out;
        std::ifstream in(logPath_, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(logStart_));
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            auto bar = line.find(" | ");
            out.push_back(bar == std::string::npos ? line : line.substr(bar + 3));
        }
        return out;
    }
    bool Logged(const std::string& text) const {
        for (auto& l : LogLines())
            if (l == text) return true;
        return false;
    }
    std::string ActiveInstance() const {
        char id[KVX_ACTIVE_INSTANCE_SIZE];
        std::memset(id, 'x', sizeof id);
        if (ZR4_GetActiveDriverInstance(id, sizeof id) != 0) return "<none>";
        return std::string(id, strnlen(id, sizeof id));
    }

    std::string root_, deviceDir_, logPath_;
    uintmax_t logStart_ = 0;
    std::vector<std::unique_ptr<ScriptedPeer>> peers_;
};

}  // namespace kvx::test
