// Screenshots of the main window for a person to look at: without a camera,
// with the virtual camera attached and each of the six panels open, with the
// live view window open beside it, and the notice box over the window.
// Usage: kvx-main-window-shots DIR
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "model/string_table.h"
#include "tests/ui/main_dlg_bench.h"
#include "ui/dialog_message_box.h"
#include "ui/live_view_controller.h"
#include "ui/main_dlg_hooks.h"

namespace {

bool Save(const QImage& img, const QString& dir, const QString& name) {
    const QString path = QDir(dir).filePath(name);
    if (!img.save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The window with its menu bar, as it stands on the screen.
QImage Shot(QWidget& w) {
    return w.grab().toImage();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);

    kvx::test::MainDlgBench bench;
    if (!bench.SetUp("kvx-mainwin-shots")) return 1;
    kvx::ui::CMainDlg& w = bench.MakeWindow();
    // Wired as the program wires it; the live view window opens beside it.
    kvx::engine::AppSettings settings;
    settings.live.left = w.frameGeometry().right() + 20;
    settings.live.top = w.y();
    kvx::ui::WireMainDlgHooks(w, settings, (bench.root / "Varno_Kolvex.ini").string(),
                              std::nullopt);
    w.show();
    w.Start();
    bench.Pump([] { return false; }, 400);
    bool ok = Save(Shot(w), dir, "main-window-disconnected.png");

    bench.StartCamera();
    if (!bench.WaitConnected()) {
        std::fprintf(stderr, "the virtual camera did not connect\n");
        return 1;
    }
    // Let the readout timer run a few ticks.
    bench.Pump([] { return false; }, 1000);
    for (int k = 0; k < 6; ++k) {
        w.OpenPanel(k);
        bench.Pump([] { return false; }, 100);
        ok &= Save(Shot(w), dir, QStringLiteral("main-window-connected-panel%1.png").arg(k + 1));
    }

    // The Live View button: the window beside the main window, with frames.
    w.OpenPanel(0);
    w.Button(kvx::ui::CMainDlg::kIdLiveView)->click();
    auto* live = w.findChild<kvx::ui::CLiveViewController*>();
    if (live && live->View() &&
        bench.Pump([&] { return live->View()->Canvas()->HasPicture(); }, 15000)) {
        bench.Pump([] { return false; }, 300);
        const QImage main = Shot(w);
        const QImage view = live->View()->grab().toImage();
        ok &= Save(view, dir, "live-view-from-main-window.png");
        QImage both(main.width() + 20 + view.width(), std::max(main.height(), view.height()),
                    QImage::Format_RGB32);
        both.fill(QColor(40, 40, 40));
        {
            QPainter p(&both);
            p.drawImage(0, 0, main);
            p.drawImage(main.width() + 20, 0, view);
        }
        ok &= Save(both, dir, "main-window-live-view.png");
    } else {
        std::fprintf(stderr, "the live view window showed no frame\n");
        ok = false;
    }
    w.Button(kvx::ui::CMainDlg::kIdLiveView)->click();

    // The notice box as the close path shows it, centred on the window.
    w.OpenPanel(0);
    kvx::ui::CDialogMessageBox box(&w);
    box.SetCaption(QString::fromUtf8(VARNO::StringText(103)));
    box.SetMessage(QString::fromUtf8(VARNO::StringText(10200)));
    box.SetOwnerRect(w.frameGeometry());
    box.Open();
    bench.Pump([] { return false; }, 200);
    const QImage boxShot = box.grab().toImage();
    ok &= Save(boxShot, dir, "notice-box.png");
    QImage composite = Shot(w);
    {
        QPainter p(&composite);
        p.fillRect(composite.rect(), QColor(0, 0, 0, 90));
        const QPoint at((composite.width() - boxShot.width()) / 2,
                        (composite.height() - boxShot.height()) / 2);
        p.drawImage(at, boxShot);
    }
    ok &= Save(composite, dir, "main-window-notice.png");
    box.done(0);

    // Unplugged: the controls go off again.
    bench.camera->Unplug();
    bench.Pump([&] { return !w.ControlsEnabled() && !w.Session().ThreadRunning(); }, 15000);
    bench.Pump([] { return false; }, 200);
    ok &= Save(Shot(w), dir, "main-window-unplugged.png");
    return ok ? 0 : 1;
}
