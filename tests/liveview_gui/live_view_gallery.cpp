// kvx-liveview-gallery DIR: the live view window on real frames from the
// in-process virtual camera, written as PNG files: every grid in white and
// black, the mask and the crop, each zoom, rotation, and the focus frame in
// free and nine-point mode. It also prints the frame rate and the CPU time
// the communication thread spent per frame from record to composed picture.
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "dialog_live_view.h"
#include "engine/engine_message_glue.h"
#include "engine/library_camera_link.h"
#include "engine/main_engine.h"
#include "engine/queued_message_port.h"
#include "live_view_step.h"
#include "model/camera.h"
#include "platform/clock.h"
#include "tests/engine/engine_fakes.h"
#include "ui/command_sink.h"
#include "vcam/virtual_camera.h"

using namespace kvx::engine;
using namespace kvx::liveview;
namespace fs = std::filesystem;

namespace {

class EngineSink final : public kvx::ui::ICommandSink {
public:
    explicit EngineSink(CMainEngine& e) : engine_(e) {}
    bool QueueCommand(const tag_CAM_COMMAND& c) override { return engine_.QueueCommand(c); }

private:
    CMainEngine& engine_;
};

struct Rig {
    LibraryCameraLink link;
    QueuedMessagePort port;
    kvx::test::FakeMainWindow mainWindow;
    VARNO::CCamera camera;
    CMainEngine engine{link, port, mainWindow, camera};
    CEngineMessageGlue glue{engine, port, camera};
    CLiveViewStep step{link, [this] { return int(glue.LiveViewAspect()); }};
    EngineSink sink{engine};
    std::unique_ptr<kvx::vcam::VirtualCamera> cam;
    std::unique_ptr<CDialogLiveView> window;

    bool Pump(const std::function<bool()>& pred, int ms = 20000) {
        return kvx::test::WaitUntil(
            [&] {
                for (const auto& m : port.Drain()) {
                    if (m.target == kTargetLiveView) {
                        if (window) window->HandleMessage(m.message, m.wParam, m.lParam);
                    } else {
                        glue.Handle(m);
                    }
                }
                QCoreApplication::processEvents();
                return pred();
            },
            ms);
    }
    // Lets a few fresh frames through, so the picture shows the last change.
    void Settle() {
        const uint64_t target = step.FrameCost().frames + 4;
        Pump([&] { return step.FrameCost().frames >= target; });
        QCoreApplication::processEvents();
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvx-liveview-gallery DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    char tmpl[] = "/tmp/kvx-liveview-gallery-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) return 1;
    const fs::path root = tmpl;
    fs::create_directories(root / "devices");
    ::setenv("KVX_DEVICE_DIR", (root / "devices").c_str(), 1);
    ::setenv("KVX_DEVICE_USB", "0", 1);
    kvx::SetClock(std::make_shared<kvx::ScaledClock>(100));

    int failures = 0;
    {
        Rig rig;
        rig.port.Register(kTargetMainWindow);
        rig.engine.SetLiveViewStep(&rig.step);
        kvx::vcam::VirtualCameraOptions o;
        o.deviceDir = (root / "devices").string();
        rig.cam = std::make_unique<kvx::vcam::VirtualCamera>(o);
        if (!rig.cam->Start() || !rig.engine.StartCommThread() ||
            !rig.Pump([&] { return rig.engine.LinkReady() && rig.camera.CanSetInfoReceived(4); })) {
            std::fprintf(stderr, "kvx-liveview-gallery: the virtual camera did not link\n");
            return 1;
        }
        LiveViewSettings s;
        s.width = 900;
        s.height = 700;
        s.focusSelect = 4;  // free range always shown
        rig.window = std::make_unique<CDialogLiveView>(rig.sink, rig.step, rig.camera, s);
        rig.port.Register(kTargetLiveView);
        rig.glue.Dispatcher().SetLiveViewWindow(rig.window.get());
        rig.window->Open(true);
        CDialogLiveView& w = *rig.window;
        if (!rig.Pump([&] { return w.Canvas()->HasPicture(); })) {
            std::fprintf(stderr, "kvx-liveview-gallery: no frame arrived\n");
            return 1;
        }

        // The frame rate and CPU cost over two seconds of plain live view.
        rig.Settle();
        const auto c0 = rig.step.FrameCost();
        const auto t0 = std::chrono::steady_clock::now();
        rig.Pump([&] { return std::chrono::steady_clock::now() - t0 > std::chrono::seconds(2); });
        const auto c1 = rig.step.FrameCost();
        const double secs =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double frames = double(c1.frames - c0.frames);
        if (frames > 0) {
            std::printf(
                "live view: %.1f frames/s, %.2f ms CPU per frame (record to composed picture), "
                "%.1f %% of one core\n",
                frames / secs, double(c1.cpuNs - c0.cpuNs) / frames / 1e6,
                double(c1.cpuNs - c0.cpuNs) / 1e9 / secs * 100);
        }

        auto shot = [&](const QString& name) {
            rig.Settle();
            w.repaint();
            if (!w.grab().save(out.filePath("liveview_" + name + ".png"))) ++failures;
        };
        shot("plain");
        for (int pattern : {1, 2}) {
            w.SetGridPattern(pattern);
            for (int n : {2, 3, 4, 6, 8}) {
                w.SetGridDivisions(n);
                shot(QString("grid%1_%2").arg(n).arg(pattern == 1 ? "white" : "black"));
            }
        }
        w.SetGridPattern(0);
        // The 1:1 aspect: cropped to it, then shaded around it.
        rig.cam->SetDataGroupFieldOnBody(5, 0x08, 0x00, {6});
        rig.Pump([&] { return rig.glue.LiveViewAspect() == 6; }, 3000);
        shot("crop_1x1");
        w.SetUseMask(true);
        w.SetGridPattern(1);
        w.SetGridDivisions(3);
        shot("mask_1x1_grid");
        w.SetGridPattern(0);
        w.SetUseMask(false);
        rig.cam->SetDataGroupFieldOnBody(5, 0x08, 0x00, {3});
        rig.Pump([&] { return rig.glue.LiveViewAspect() == 3; }, 3000);

        shot("focus_free");
        w.Rotate(true);
        shot("rotated_left_focus_free");
        w.Rotate(false);
        // Nine-point mode, the middle of the right column chosen.
        rig.cam->SetDataGroupFieldOnBody(5, 0x00, 0x08, {1, 46, 21, 2});
        rig.Pump([&] { return w.FocusDisplayMode() == 2; }, 5000);
        shot("focus_nine_point");

        for (int zoom : {2, 3}) {
            w.SetZoom(zoom, true);
            shot(zoom == 2 ? "zoom_x4" : "zoom_x8");
        }
        w.SetZoom(1, true);
        w.SetRunning(false);
        shot("not_running");

        rig.window->close();
        rig.glue.Dispatcher().SetLiveViewWindow(nullptr);
        rig.port.Unregister(kTargetLiveView);
        rig.window.reset();
        rig.engine.StopCommThread();
    }
    kvx::SetClock(nullptr);
    std::error_code ec;
    fs::remove_all(root, ec);
    return failures == 0 ? 0 : 1;
}
