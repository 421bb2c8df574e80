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
#include "live_view_rig.h"
#include "live_view_step.h"
#include "platform/clock.h"

using namespace kvx::engine;
using namespace kvx::liveview;
namespace fs = std::filesystem;

namespace {

// Lets a few fresh frames through, so the picture shows the last change.
void Settle(kvx::test::LiveViewRig& rig) {
    const uint64_t target = rig.step.FrameCost().frames + 4;
    rig.Pump([&] { return rig.step.FrameCost().frames >= target; });
    QCoreApplication::processEvents();
}

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
        kvx::test::LiveViewRig rig;
        if (!rig.StartAndLink((root / "devices").string())) {
            std::fprintf(stderr, "kvx-liveview-gallery: the virtual camera did not link\n");
            return 1;
        }
        LiveViewSettings s;
        s.width = 900;
        s.height = 700;
        s.focusSelect = 4;  // free range always shown
        rig.OpenWindow(s);
        CDialogLiveView& w = *rig.window;
        if (!rig.Pump([&] { return w.Canvas()->HasPicture(); })) {
            std::fprintf(stderr, "kvx-liveview-gallery: no frame arrived\n");
            return 1;
        }

        // The frame rate and CPU cost over two seconds of plain live view.
        Settle(rig);
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
            Settle(rig);
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
        // Peaking on in red as the camera reports it, then its colour list
        // open (the pop-up on its own).
        w.ShowPeakingLevel(4);
        shot("peaking_red");
        w.PeakingSelector()->OpenList();
        if (CDialogComboList* list = w.PeakingSelector()->DropList()) {
            Settle(rig);
            if (!list->grab().save(out.filePath("liveview_peaking_list.png"))) ++failures;
            list->close();
        } else {
            ++failures;
        }
        w.SetRunning(false);
        shot("not_running");

        rig.CloseWindow();
        rig.engine.StopCommThread();
    }
    kvx::SetClock(nullptr);
    std::error_code ec;
    fs::remove_all(root, ec);
    return failures == 0 ? 0 : 1;
}
