// kvx-panel-gallery OUTDIR: renders the six setting panels filled from the
// in-process virtual camera through the real dispatcher, a panel with a drop
// list open, the focus-frame selector in each of its modes and the white
// balance adjust grid with a bracketing series, into PNG files.
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QSaveFile>
#include <cstdio>

#include "dialog_combo_list.h"
#include "panel_rig.h"
#include "static_a_farea2.h"
#include "static_combo.h"
#include "static_wb_adjust.h"

namespace {

QDir g_out;
bool g_ok = true;

void Save(const QImage& image, const QString& name) {
    const QString path = g_out.filePath(name + ".png");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        std::fprintf(stderr, "kvx-panel-gallery: cannot write %s\n", qPrintable(path));
        g_ok = false;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

QImage Grab(QWidget* w) {
    w->show();
    QApplication::processEvents();
    QEvent leave(QEvent::Leave);  // as it looks with the pointer elsewhere
    QApplication::sendEvent(w, &leave);
    return w->grab().toImage();
}

// A panel as the accordion shows it: under its header, on the window colour.
QImage InFrame(QWidget* panel, const QString& header) {
    QImage shot = Grab(panel);
    QImage frame(393 + 16, 21 + shot.height() + 16, QImage::Format_RGB32);
    frame.fill(QColor(62, 60, 58));
    QPainter p(&frame);
    QLinearGradient g(0, 8, 0, 29);
    g.setColorAt(0, QColor(78, 76, 73));
    g.setColorAt(1, QColor(52, 50, 48));
    p.fillRect(QRect(8, 8, 393, 21), g);
    p.setPen(Qt::white);
    p.drawText(QRect(16, 8, 380, 21), Qt::AlignVCenter | Qt::AlignLeft, header);
    p.drawImage(8, 29, shot);
    return frame;
}

// A panel with one selector's drop list open, the pop-up painted where it stands.
QImage WithListOpen(QWidget* panel, CStaticCombo* combo) {
    panel->show();
    QApplication::processEvents();
    combo->OpenList();
    QApplication::processEvents();
    QImage shot = panel->grab().toImage();
    if (CDialogComboList* list = combo->DropList()) {
        const QImage popup = list->grab().toImage();
        const QPoint at = list->mapToGlobal(QPoint(0, 0)) - panel->mapToGlobal(QPoint(0, 0));
        QImage canvas(shot.width(), std::max(shot.height(), at.y() + popup.height()),
                      QImage::Format_RGB32);
        canvas.fill(QColor(62, 60, 58));
        QPainter p(&canvas);
        p.drawImage(0, 0, shot);
        p.drawImage(at, popup);
        shot = canvas;
        list->close();
    }
    return shot;
}

QImage Row(const std::vector<QImage>& images, int gap = 12) {
    int w = gap, h = 0;
    for (const QImage& i : images) {
        w += i.width() + gap;
        h = std::max(h, i.height());
    }
    QImage row(w, h + 2 * gap, QImage::Format_RGB32);
    row.fill(QColor(0x2C, 0x2C, 0x2C));
    QPainter p(&row);
    int x = gap;
    for (const QImage& i : images) {
        p.drawImage(x, gap, i);
        x += i.width() + gap;
    }
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvx-panel-gallery OUTDIR\n");
        return 2;
    }
    g_out = QDir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(g_out.path());

    {
        kvx::test::PanelRig rig;
        rig.ConnectToVirtualCamera(7);              // interval timer: its fields show
        rig.FeedField(5, 0, 0x08, {1, 32, 21, 2});  // centre point, regular frame
        Save(InFrame(rig.exposure.get(), "Exposure Setting"), "panel_exposure");
        Save(InFrame(rig.cameraPanel.get(), "Camera Setting"), "panel_camera");
        Save(InFrame(rig.image1.get(), "Image Setting 1"), "panel_image1");
        Save(InFrame(rig.image2.get(), "Image Setting 2"), "panel_image2");
        Save(InFrame(rig.setup.get(), "Setup"), "panel_setup");
        Save(InFrame(rig.flash.get(), "Flash Setting"), "panel_flash");
        Save(WithListOpen(rig.image1.get(), rig.image1->SelectorAt(CDialogImage1::kWhiteBalance)),
             "panel_image1_list_open");
        rig.EnableAll(false);
        Save(InFrame(rig.exposure.get(), "Exposure Setting"), "panel_exposure_disabled");
        Save(InFrame(rig.image2.get(), "Image Setting 2"), "panel_image2_disabled");
    }
    {
        kvx::test::PanelRig rig;
        rig.ConnectToVirtualCamera(1);
        rig.FeedField(3, 0x10, 0, {2});  // black and white: filter and toning come alive
        Save(InFrame(rig.image2.get(), "Image Setting 2"), "panel_image2_bw");
        Save(InFrame(rig.cameraPanel.get(), "Camera Setting"), "panel_camera_single");
    }
    {
        // The focus-frame selector in each mode.
        std::vector<QImage> shots;
        for (int size = 0; size < 3; ++size) {
            CStaticAFarea2 area;
            area.SetFrameSize(size);
            area.SelectCell(size, 1);
            shots.push_back(Grab(&area));
        }
        CStaticAFarea2 free_move;
        free_move.SetFrameSize(CStaticAFarea2::kRegular);
        free_move.SetFreeMove(true);
        free_move.SetFreePoint(120, 50);
        shots.push_back(Grab(&free_move));
        CStaticAFarea2 face;
        face.SetFaceMode(true);
        face.SelectCell(1, 1);
        shots.push_back(Grab(&face));
        CStaticAFarea2 disabled;
        disabled.SelectCell(1, 1);
        disabled.Enable(false);
        shots.push_back(Grab(&disabled));
        Save(Row(shots), "focus_area_modes");
    }
    {
        std::vector<QImage> shots;
        CStaticWbAdjust plain;
        plain.SetAdjustValue(4, -6);
        shots.push_back(Grab(&plain));
        CStaticWbAdjust bracket;
        bracket.SetAdjustValue(-2, 2);
        bracket.SetBracketMarks(1, 2, 4);
        shots.push_back(Grab(&bracket));
        CStaticWbAdjust vertical;
        vertical.SetAdjustValue(0, 0);
        vertical.SetBracketMarks(2, 1, 6);
        shots.push_back(Grab(&vertical));
        CStaticWbAdjust dim;
        dim.SetDisabledLook(true);
        dim.setEnabled(false);
        shots.push_back(Grab(&dim));
        Save(Row(shots), "wb_adjust_grid");
    }
    return g_ok ? 0 : 1;
}
