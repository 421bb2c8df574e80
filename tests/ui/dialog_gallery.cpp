// kvx-dialog-gallery OUTDIR: renders the special capture settings dialog
// (each page), the custom white-balance capture dialog and its result boxes,
// the ISO function dialog and the date dialog into PNG files, with a camera
// whose records hold realistic values.
#include <QApplication>
#include <QDir>
#include <QSaveFile>
#include <cstdio>

#include "model/camera.h"
#include "model/record_layout.h"
#include "model/window_messages.h"
#include "ui/dialog_date_time.h"
#include "ui/dialog_iso_setting.h"
#include "ui/dialog_look.h"
#include "ui/dialog_message_box.h"
#include "ui/dialog_white_balance.h"
#include "ui/special_dialog_color.h"
#include "ui/special_dialog_setting.h"

namespace {

class NullSink final : public kvx::ui::ICommandSink {
public:
    bool QueueCommand(const tag_CAM_COMMAND&) override { return true; }
};

bool Save(QWidget& w, const QString& path) {
    w.show();
    QApplication::processEvents();
    const QImage image = w.grab().toImage();
    w.hide();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        std::fprintf(stderr, "kvx-dialog-gallery: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

void Set(VARNO::CCamera& cam, int group, size_t at, std::initializer_list<uint8_t> v) {
    cam.SetDataGroupBytes(group, at, v.begin(), v.size());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvx-dialog-gallery OUTDIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(dir.path());
    NullSink sink;
    VARNO::CCamera cam;
    Set(cam, 2, VARNO::dg2::kWhiteBalance, {2});
    Set(cam, 3, VARNO::dg3::kContrast, {2, 0, 0xFE});
    Set(cam, 3, VARNO::dg3::kColorMode, {4});
    Set(cam, 4, VARNO::dg4::kIsoStep, {2, 64, 35});
    Set(cam, 5, VARNO::dg5::kWbAdjust, {4, 0xFA});
    Set(cam, 5, VARNO::dg5::kFilterEffect, {1, 1});
    // White-balance bracketing: 5 frames of 4 along blue-amber; colour frames.
    Set(cam, 6, VARNO::dg6::kBracketKind, {1, 5, 4, 1});
    Set(cam, 6, 7, {3, 0, 0, 0, 1, 1, 4, 2, 2, 2, 1, 1, 2, 0, 0, 0, 3, 4, 7, 0, 2, 0xFE, 1, 1, 0});
    bool ok = true;

    kvx::ui::CDialogSpecialSetting::Handover h;
    h.amount = 8;
    h.setting = 5;
    h.autoBracketAvailable = true;
    h.wbBracketAvailable = true;
    h.colorBracketAvailable = true;
    h.connected = true;
    h.protocolMajor = 4;
    {
        kvx::ui::CDialogSpecialSetting dlg(sink, cam, h);
        ok = Save(dlg, dir.filePath("special_dialog_ab.png")) && ok;
        dlg.OpenPage(1);
        ok = Save(dlg, dir.filePath("special_dialog_wb.png")) && ok;
        dlg.OpenPage(2);
        dlg.ShowColorBracketActive(2);
        dlg.ShowWbBracketActive(2);
        dlg.ColorPage()->SelectRow(3);
        ok = Save(dlg, dir.filePath("special_dialog_color.png")) && ok;
        dlg.ColorPage()->SelectRow(0);
        ok = Save(dlg, dir.filePath("special_dialog_color_base.png")) && ok;
    }
    {
        // QMD on and the camera gone: what the disabled look is.
        kvx::ui::CDialogSpecialSetting::Handover off = h;
        off.qmd = true;
        off.connected = false;
        kvx::ui::CDialogSpecialSetting dlg(sink, cam, off);
        dlg.ShowQmdMode(1);
        ok = Save(dlg, dir.filePath("special_dialog_ab_qmd.png")) && ok;
    }
    {
        kvx::ui::CDialogWhiteBalance dlg(sink, 11);
        ok = Save(dlg, dir.filePath("dialog_white_balance.png")) && ok;
        for (auto [id, name] : {std::pair{34001, "dialog_white_balance_success.png"},
                                std::pair{34002, "dialog_white_balance_failure.png"}}) {
            kvx::ui::CDialogMessageBox box;
            box.SetCaption(kvx::ui::CDialogLook::Text(34000));
            box.SetMessage(kvx::ui::CDialogLook::Text(uint32_t(id)));
            ok = Save(box, dir.filePath(name)) && ok;
        }
    }
    {
        kvx::ui::CDialogIsoSetting dlg(sink, cam);
        ok = Save(dlg, dir.filePath("dialog_iso_setting.png")) && ok;
        dlg.HandleMessage(VARNO::kMsgIsoDialogDisable, 0, 0);
        ok = Save(dlg, dir.filePath("dialog_iso_setting_disabled.png")) && ok;
    }
    {
        kvx::ui::CDialogDateTime dlg(sink, true);
        ok = Save(dlg, dir.filePath("dialog_date_time.png")) && ok;
    }
    return ok ? 0 : 1;
}
