// The live view window wired as the main window wires it: the engine on the
// camera link library, its message glue, the live view step, and the window
// thread's pump. Shared by the virtual-camera test and the screenshot renderer.
#pragma once

#include <QCoreApplication>
#include <functional>
#include <memory>
#include <string>

#include "dialog_live_view.h"
#include "engine/engine_message_glue.h"
#include "engine/library_camera_link.h"
#include "engine/main_engine.h"
#include "engine/queued_message_port.h"
#include "live_view_step.h"
#include "model/camera.h"
#include "tests/engine/engine_fakes.h"
#include "ui/command_sink.h"
#include "vcam/virtual_camera.h"

namespace kvx::test {

class EngineSink final : public kvx::ui::ICommandSink {
public:
    explicit EngineSink(kvx::engine::CMainEngine& e) : engine_(e) {}
    bool QueueCommand(const tag_CAM_COMMAND& c) override { return engine_.QueueCommand(c); }

private:
    kvx::engine::CMainEngine& engine_;
};

class LiveViewRig {
public:
    // Starts a virtual camera registered in `deviceDir` and links to it.
    bool StartAndLink(const std::string& deviceDir) {
        port.Register(VARNO::kTargetMainWindow);
        engine.SetLiveViewStep(&step);
        kvx::vcam::VirtualCameraOptions o;
        o.deviceDir = deviceDir;
        cam = std::make_unique<kvx::vcam::VirtualCamera>(o);
        return cam->Start() && engine.StartCommThread() &&
               Pump([&] { return engine.LinkReady() && camera.CanSetInfoReceived(4); });
    }

    // The window thread: messages to the main window and the live view
    // window, and Qt's own events (the queued repaints).
    bool Pump(const std::function<bool()>& pred, int timeoutMs = 20000) {
        return WaitUntil(
            [&] {
                for (const auto& m : port.Drain()) {
                    if (m.target == VARNO::kTargetLiveView) {
                        if (window) window->HandleMessage(m.message, m.wParam, m.lParam);
                    } else {
                        glue.Handle(m);
                    }
                }
                QCoreApplication::processEvents();
                return pred();
            },
            timeoutMs);
    }

    void OpenWindow(const kvx::liveview::LiveViewSettings& s) {
        window = std::make_unique<kvx::liveview::CDialogLiveView>(sink, step, camera, s);
        port.Register(VARNO::kTargetLiveView);
        glue.Dispatcher().SetLiveViewWindow(window.get());
        window->Open(engine.ProtocolMajor() >= 4);
    }
    void CloseWindow() {
        if (!window) return;
        window->close();
        glue.Dispatcher().SetLiveViewWindow(nullptr);
        port.Unregister(VARNO::kTargetLiveView);
        window.reset();
    }

    kvx::engine::LibraryCameraLink link;
    kvx::engine::QueuedMessagePort port;
    FakeMainWindow mainWindow;
    VARNO::CCamera camera;
    kvx::engine::CMainEngine engine{link, port, mainWindow, camera};
    kvx::engine::CEngineMessageGlue glue{engine, port, camera};
    kvx::liveview::CLiveViewStep step{link, [this] { return int(glue.LiveViewAspect()); }};
    EngineSink sink{engine};
    std::unique_ptr<kvx::vcam::VirtualCamera> cam;
    std::unique_ptr<kvx::liveview::CDialogLiveView> window;
};

}  // namespace kvx::test
