// A bench for the main window against the in-process virtual camera: a
// private device folder (no USB), a pictures folder, the engine's waits
// shortened, and a pump that turns the Qt event loop until something holds.
// Used by the window's tests and by its screenshot renderer.
#pragma once

#include <stdlib.h>

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "engine/main_engine.h"
#include "platform/clock.h"
#include "ui/main_dlg.h"
#include "vcam/virtual_camera.h"

namespace kvx::test {

class MainDlgBench {
public:
    ~MainDlgBench() { TearDown(); }

    bool SetUp(const char* prefix) {
        std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
        if (!::mkdtemp(tmpl.data())) return false;
        root = tmpl;
        std::filesystem::create_directories(root / "devices");
        std::filesystem::create_directories(root / "pictures");
        ::setenv("KVX_DEVICE_DIR", (root / "devices").c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
        clock = std::make_shared<kvx::ScaledClock>(100);
        kvx::engine::CMainEngine::ResetStatusFailureCount();
        return true;
    }

    void TearDown() {
        window.reset();
        camera.reset();
        if (!root.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(root, ec);
            root.clear();
        }
    }

    ui::CMainDlg::Options WindowOptions(bool toComputer = true) const {
        ui::CMainDlg::Options o;
        o.naming.destinationFolder = (root / "pictures").string() + "/";
        o.naming.inPC = toComputer;
        o.naming.inCamera = !toComputer;
        o.clock = clock;
        return o;
    }

    ui::CMainDlg& MakeWindow(bool toComputer = true) {
        window = std::make_unique<ui::CMainDlg>(WindowOptions(toComputer));
        return *window;
    }

    kvx::vcam::VirtualCamera& StartCamera(kvx::vcam::VirtualCameraOptions o = {}) {
        o.deviceDir = (root / "devices").string();
        camera = std::make_unique<kvx::vcam::VirtualCamera>(o);
        camera->Start();
        return *camera;
    }

    // Turns the event loop until pred holds; false when it never did.
    static bool Pump(const std::function<bool()>& pred, int timeoutMs = 30000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            if (pred()) return true;
            QThread::msleep(2);
        }
        return pred();
    }

    // Linked, every setting record merged, and the controls on.
    bool WaitConnected() {
        return Pump([this] {
            return window->Session().Linked() && window->Session().SettingsComplete() &&
                   window->ControlsEnabled();
        });
    }

    std::filesystem::path root;
    std::shared_ptr<kvx::Clock> clock;
    std::unique_ptr<kvx::vcam::VirtualCamera> camera;
    std::unique_ptr<ui::CMainDlg> window;
};

}  // namespace kvx::test
